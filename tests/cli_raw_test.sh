#!/usr/bin/env bash
# Raw VRAM dumps (no BSAVE header): a dump made by cutting a BSAVE file's 7-byte header shows the
# same pixels as the file; a partial dump shows what a BSAVE file of the same bytes shows; a long
# dump's pages; the names that are read raw by themselves and those that need --raw.
# Usage: cli_raw_test.sh PATH/TO/vramoria-convert SAMPLES-FOLDER
set -u
tool=$1
samples=$2
source "$(dirname "$0")/cli_lib.sh"

# same_png NAME A B: the two pictures' PNG renders are the same bytes.
same_png() {
  "$tool" "$2" -o "$work/a.png" 2>/dev/null && "$tool" "$3" -o "$work/b.png" 2>/dev/null
  check "$1" same "$(cmp -s "$work/a.png" "$work/b.png" && echo same || echo different)"
}
# plain BODY-FILE OUT: a plain BSAVE file of BODY-FILE's bytes from address 0.
plain() {
  python3 -c 'import sys, struct; b = open(sys.argv[1], "rb").read(); open(sys.argv[2], "wb").write(struct.pack("<BHHH", 0xFE, 0, len(b) - 1, 0) + b)' "$1" "$2"
}

# Headers cut off: the bundled plain test cards, and the real plain pictures where present.
sources=("$samples"/testcard.sc[5678ac])
if [ -d "$pictures" ]; then
  sources+=("$pictures"/msxgl_IMAGE01.sc[5678] "$pictures"/msxgl_IMAGE01.s12 "$pictures"/fusionc_mona.sc5)
else
  echo "skipped: $pictures is absent, real pictures not cut"
fi
for picture in "${sources[@]}"; do
  [ "$(head -c 1 "$picture" | od -An -tx1 | tr -d ' ')" = fe ] || continue
  name=$(basename "$picture")
  tail -c +8 "$picture" >"$work/raw-$name"
  same_png "$name without its header: same pixels" "$picture" "$work/raw-$name"
  err=$("$tool" "$work/raw-$name" --info 2>&1 >/dev/null)
  check "$name without its header: the note" \
    "vramoria-convert: warning: $work/raw-$name: read as raw VRAM (no BSAVE header): $(stat -c %s "$work/raw-$name") bytes" "$err"
done

# Partial dumps: the first 32 lines of SCREEN 8 (8192 bytes), 128 lines of SCREEN 5 (16384).
python3 - "$work" <<'PY'
import sys
d = sys.argv[1]
open(d + "/part.sr8", "wb").write(bytes((i * 37 + i // 256) & 0xFF for i in range(8192)))
open(d + "/part.sc5", "wb").write(bytes((i * 11 + i // 128) & 0xFF for i in range(16384)))
# Four 64 KiB pages of SCREEN 10, each a different picture, and the last one partial.
pages = [bytes((i * (p + 3) + p) & 0xF7 for i in range(65536)) for p in range(4)]
open(d + "/map.bin", "wb").write(b"".join(pages)[:3 * 65536 + 20000])
for p in range(4):
    open(d + "/page%d.raw" % p, "wb").write(pages[p][:20000] if p == 3 else pages[p])
# Four SCREEN 5 pages of 32 KiB: SET PAGE 0 to 3.
open(d + "/vram.sc5", "wb").write(b"".join(bytes([(p * 0x11 + i) & 0xFF]) * 1 for p in range(4) for i in range(32768)))
for p in range(4):
    open(d + "/s5page%d.raw" % p, "wb").write(bytes((p * 0x11 + i) & 0xFF for i in range(32768)))
open(d + "/junk.bin", "wb").write(b"junk")
open(d + "/data.pl5", "wb").write(bytes(range(64)) * 40)
open(d + "/damaged.sc5", "wb").write(b"\xfe\x00\x00\x00\x00")
PY
for part in part.sr8 part.sc5; do
  plain "$work/$part" "$work/bsave-$part"
  same_png "$part: the lines a BSAVE file of the same bytes shows" "$work/bsave-$part" "$work/$part"
done
out=$("$tool" "$work/part.sr8" --info --json 2>/dev/null)
check "part.sr8: SCREEN 8 by its name" '"SCREEN 8"' "$(field mode <<<"$out")"
check "part.sr8: 8192 bytes" 8192 "$(field dataSize <<<"$out")"

out=$("$tool" "$work/map.bin" --raw --mode 10 --info --json 2>/dev/null)
check "map: four pages" 4 "$(field rawPages <<<"$out")"
for p in 0 1 2 3; do
  plain "$work/page$p.raw" "$work/page$p.sca"
  "$tool" "$work/page$p.sca" -o "$work/want.png" 2>/dev/null
  "$tool" "$work/map.bin" --raw --mode 10 --page "$p" -o "$work/got.png" 2>/dev/null
  check "map: --page $p" same "$(cmp -s "$work/want.png" "$work/got.png" && echo same || echo different)"
done
err=$("$tool" "$work/map.bin" --raw --mode 10 --page 4 --info 2>&1 >/dev/null); rc=$?
check "map: --page 4 status" 1 "$rc"
check "map: --page 4 message" "vramoria-convert: $work/map.bin: the raw VRAM dump has no page 4 in SCREEN 10/11 (it holds 4)" "$err"
"$tool" "$work/map.bin" --raw --mode 10 --page 32 --info >/dev/null 2>&1
check "--page 32: usage error" 2 "$?"
out=$("$tool" - --raw --mode 10 --page 2 --info --json <"$work/map.bin" 2>/dev/null)
check "map from standard input: page 2 of 4" "2 4" "$(field rawPage <<<"$out") $(field rawPages <<<"$out")"

for p in 0 3; do
  plain "$work/s5page$p.raw" "$work/s5page$p.sc5"
  "$tool" "$work/s5page$p.sc5" -o "$work/want.png" 2>/dev/null
  "$tool" "$work/vram.sc5" --page "$p" -o "$work/got.png" 2>/dev/null
  check "SCREEN 5 dump: SET PAGE $p is its 32 KiB page" same "$(cmp -s "$work/want.png" "$work/got.png" && echo same || echo different)"
done

# Names: an unknown extension needs --raw; a damaged BSAVE file is never read raw.
err=$("$tool" "$work/junk.bin" --info 2>&1 >/dev/null); rc=$?
check "junk.bin: status" 1 "$rc"
check "junk.bin: says --raw" "vramoria-convert: $work/junk.bin: not a BSAVE file (4 bytes, shorter than the 7-byte header) (use --raw to read it as raw VRAM)" "$err"
out=$("$tool" "$work/junk.bin" --raw --info --json 2>/dev/null)
check "junk.bin --raw: 4 bytes in SCREEN 5 by the size" '4 "SCREEN 5"' "$(field dataSize <<<"$out") $(field mode <<<"$out")"
"$tool" "$work/data.pl5" --info >/dev/null 2>&1
check "data.pl5: a palette file's name is no VRAM dump" 1 "$?"
err=$("$tool" "$work/damaged.sc5" --info 2>&1 >/dev/null); rc=$?
check "damaged.sc5: still refused" 1 "$rc"
check "damaged.sc5: no --raw advice" "vramoria-convert: $work/damaged.sc5: not a BSAVE" "${err%% file*}"

# BASIC's COPY blocks: recognised by their exact size for the mode the name gives, shown at
# their size; the same pixels as a BSAVE screen holding them at the top left.
python3 - "$work" <<'PY'
import struct, sys
d = sys.argv[1]
w, h = 100, 100
px = [((x + y) // 10) % 16 for y in range(h) for x in range(w)]
open(d + "/block.sc5", "wb").write(struct.pack("<HH", w, h) + bytes(px[i] << 4 | px[i + 1] for i in range(0, w * h, 2)))
vram = bytearray(0x6A00)
for y in range(h):
    for x in range(w):
        vram[y * 128 + x // 2] |= px[y * w + x] << (4 if x % 2 == 0 else 0)
open(d + "/screen.sc5", "wb").write(struct.pack("<BHHH", 0xFE, 0, 0x69FF, 0) + bytes(vram))
PY
out=$("$tool" "$work/block.sc5" --info --json 2>/dev/null)
check "COPY block: its type and size" '"block" 100 100' \
  "$(field type <<<"$out") $(field blockWidth <<<"$out") $(field blockHeight <<<"$out")"
err=$("$tool" "$work/block.sc5" -o "$work/block.bmp" --thumbnail 50 -o "$work/block-thumb.png" 2>&1)
check "COPY block: the note" "vramoria-convert: warning: $work/block.sc5: read as a block saved by BASIC's COPY: 100 x 100 pixels" "$err"
"$tool" "$work/screen.sc5" -o "$work/screen.bmp" 2>/dev/null
check "COPY block: the screen's top left, pixel for pixel" "100 x 100, same" "$(python3 - "$work" <<'PY'
import struct, sys
d = sys.argv[1]
def pixels(path):
    b = open(path, "rb").read()
    off, = struct.unpack_from("<I", b, 10)
    w, h, _, bits = struct.unpack_from("<iiHH", b, 18)
    stride = (w * bits + 31) // 32 * 4
    table = [tuple(b[54 + 4 * i:57 + 4 * i]) for i in range((off - 54) // 4)]
    def at(x, y):
        row = off + (h - 1 - y) * stride
        if bits == 24:
            return tuple(b[row + 3 * x:row + 3 * x + 3])
        v = b[row + x // 2]
        return table[v >> 4 if x % 2 == 0 else v & 15]
    return w, h, at
bw, bh, block = pixels(d + "/block.bmp")
_, _, screen = pixels(d + "/screen.bmp")
same = all(block(x, y) == screen(x, y) for y in range(bh) for x in range(bw))
print("%d x %d, %s" % (bw, bh, "same" if same else "different"))
PY
)"
check "COPY block: thumbnail of the block" "50 50" \
  "$(python3 -c 'import struct,sys; print(*struct.unpack(">II", open(sys.argv[1],"rb").read(24)[16:24]))' "$work/block-thumb.png")"
cp "$work/block.sc5" "$work/block.sc8"
out=$("$tool" "$work/block.sc8" --info --json 2>/dev/null)
check "COPY block: another mode's size is no block (a raw dump)" '"raw"' "$(field type <<<"$out")"

cli_summary "cli raw"
