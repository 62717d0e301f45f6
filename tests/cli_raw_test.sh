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

cli_summary "cli raw"
