#!/usr/bin/env bash
# The MSX1 pattern modes in vramoria-convert: SCREEN 1-4 by extension and by a BSAVE range of
# exactly their tables; 256 x 192 PNG, BMP and thumbnails; --colors hardware; BSAVE saving that
# opens again as the same screen; a dump made by cutting the header shows the same pixels; no
# conversion offered.
# Usage: cli_pattern_test.sh PATH/TO/vramoria-convert
set -u
tool=$1
source "$(dirname "$0")/cli_lib.sh"

# png_size FILE: "WIDTH HEIGHT" from the PNG's IHDR.
png_size() { python3 -c 'import struct,sys; d=open(sys.argv[1],"rb").read(24); print(*struct.unpack(">II", d[16:24]))' "$1"; }
# bmp_size FILE: "WIDTH HEIGHT" from the BMP's info header.
bmp_size() { python3 -c 'import struct,sys; d=open(sys.argv[1],"rb").read(26); print(*struct.unpack("<ii", d[18:26]))' "$1"; }
same() { cmp -s "$1" "$2" && echo same || echo different; }

# Made-up tables (a glyph in every cell, names counting up), saved under each name.
python3 - "$work" <<'PY'
import struct, sys
d = sys.argv[1]
vram = bytearray(0x3800)
glyph = [0xFE, 0x80, 0x80, 0xF8, 0x80, 0x80, 0x80, 0x01]
for i in range(768): vram[0x1800 + i] = i & 255
for t in range(3):
    for n in range(256):
        for l in range(8):
            vram[0x800 * t + 8 * n + l] = glyph[l]
            vram[0x2000 + 0x800 * t + 8 * n + l] = n
def bsave(name, end):
    open(d + "/" + name, "wb").write(struct.pack("<BHHH", 0xFE, 0, end, 0) + bytes(vram[:end + 1]))
for name in ["t.sc2", "t.grp", "T.S02", "t.sc4", "t.s04", "t.sc1", "t.sc3", "t.bin"]: bsave(name, 0x37FF)
bsave("t1.bin", 0x203F)
bsave("t3.bin", 0x0AFF)
bsave("t5.bin", 0x37FE)
PY
for c in "t.sc2:SCREEN 2:7" "t.grp:SCREEN 2:7" "T.S02:SCREEN 2:7" "t.sc4:SCREEN 4:9" "t.s04:SCREEN 4:9" \
         "t.sc1:SCREEN 1:6" "t.sc3:SCREEN 3:8" "t.bin:SCREEN 2:7" "t1.bin:SCREEN 1:6" "t3.bin:SCREEN 3:8" \
         "t5.bin:SCREEN 5:0"; do
  IFS=: read -r file mode index <<<"$c"
  out=$("$tool" "$work/$file" --info --json 2>/dev/null)
  check "$file: its mode" "\"$mode\" $index" "$(field mode <<<"$out") $(field screenMode <<<"$out")"
done

"$tool" "$work/t.sc2" -o "$work/t.png" -o "$work/t.bmp" --view large -o "$work/large.png" \
  --thumbnail 128 -o "$work/thumb.png" 2>/dev/null
check "PNG: 256 x 192" "256 192" "$(png_size "$work/t.png")"
check "BMP: 256 x 192" "256 192" "$(bmp_size "$work/t.bmp")"
check "large view: 512 x 384" "512 384" "$(png_size "$work/large.png")"
check "thumbnail: 128 across, in proportion" "128 96" "$(png_size "$work/thumb.png")"
"$tool" "$work/t.sc2" --colors hardware -o "$work/hw.png" 2>/dev/null
check "--colors hardware: other colours" different "$(same "$work/t.png" "$work/hw.png")"
"$tool" "$work/t.sc2" --mode 5 -o "$work/as5.png" 2>/dev/null
check "--mode 5: the bytes as SCREEN 5" "256 212" "$(png_size "$work/as5.png")"
"$tool" "$work/t.sc2" --mode 5 --mode 2 -o "$work/back.png" 2>/dev/null
check "--mode 5 then --mode 2: the screen again" same "$(same "$work/t.png" "$work/back.png")"

err=$("$tool" "$work/t.sc2" --convert 5 -o "$work/c.sc5" 2>&1 >/dev/null); rc=$?
check "--convert 5: refused" 1 "$rc"
check "--convert 5: says why" "vramoria-convert: $work/t.sc2: SCREEN 2 cannot be converted to SCREEN 5" "$err"
check "--convert 5: nothing written" absent "$([ -e "$work/c.sc5" ] && echo present || echo absent)"

# BSAVE saving: the tables again, {ext} = sc2, and the same screen when opened again.
"$tool" "$work/t.bin" -o "$work/saved.{ext}" 2>/dev/null
check "saved as .sc2 by {ext}" "14343" "$(stat -c %s "$work/saved.sc2" 2>/dev/null)"
"$tool" "$work/saved.sc2" -o "$work/saved.png" 2>/dev/null
check "saved SCREEN 2 opens as the same screen" same "$(same "$work/t.png" "$work/saved.png")"
"$tool" "$work/t.sc1" -o "$work/saved1.sc1" 2>/dev/null
check "SCREEN 1 saves its tables and palette (0x0000-0x203F)" "8263" "$(stat -c %s "$work/saved1.sc1" 2>/dev/null)"

# The real SCREEN 2 pictures: mode, size, a dump without the header, a save.
if [ -d "$pictures" ]; then
  for picture in "$pictures"/msxgl_*.sc2; do
    [ -f "$picture" ] || continue
    name=$(basename "$picture")
    out=$("$tool" "$picture" --info --json 2>/dev/null)
    check "$name: SCREEN 2 in the standard palette" '"SCREEN 2" 0' "$(field mode <<<"$out") $(field paletteIndex <<<"$out")"
    "$tool" "$picture" -o "$work/real.png" -o "$work/real.sc2" 2>/dev/null
    check "$name: 256 x 192" "256 192" "$(png_size "$work/real.png")"
    tail -c +8 "$picture" >"$work/raw-$name"
    "$tool" "$work/raw-$name" -o "$work/raw.png" 2>/dev/null
    check "$name without its header: same pixels" same "$(same "$work/real.png" "$work/raw.png")"
    "$tool" "$work/real.sc2" -o "$work/again.png" 2>/dev/null
    check "$name saved and opened again: same pixels" same "$(same "$work/real.png" "$work/again.png")"
  done
else
  echo "skipped: $pictures is absent, real SCREEN 2 pictures not tested"
fi

cli_summary "cli pattern"
