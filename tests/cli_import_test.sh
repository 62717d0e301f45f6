#!/usr/bin/env bash
# vramoria-convert with PNG and BMP pictures: recognised by their bytes, imported only when
# asked, exact for pictures the mode can show, and bad images refused with a message.
# Usage: cli_import_test.sh PATH/TO/vramoria-convert SAMPLES-FOLDER
set -u
tool=$1
samples=$2
source "$(dirname "$0")/cli_lib.sh"

# A picture rendered by the tool and imported again into its mode, without dithering, renders
# to the same pixels: through the CLI, for a sample of each palette mode.
for card in sc5 sc7 sc8; do
  "$tool" "$samples/testcard.$card" -o "$work/$card.png"
  cp "$work/$card.png" "$work/$card.data"  # the extension does not matter: the bytes do
  "$tool" "$work/$card.data" --import "${card#sc}" --dither none -o "$work/again.$card" -o "$work/again-$card.png"
  check "testcard.$card: import exit status" 0 "$?"
  "$tool" "$work/again.$card" -o "$work/reloaded-$card.png"
  check "testcard.$card: round trip, same pixels" 0 \
    "$(python3 - "$work/$card.png" "$work/reloaded-$card.png" <<'PY'
import sys, subprocess
a, b = (subprocess.run(["convert", p, "rgb:-"], capture_output=True).stdout for p in sys.argv[1:3])
print(0 if a and a == b else 1)
PY
)"
done

# Our own 512-wide pictures say their pixels are half as wide as high (the PNG's pHYs 18000 x
# 9000 per metre, the BMP's 16000 x 9000): into SCREEN 5 they fill all 212 lines, a line black
# only where the picture's is (they came in as 106 lines between black bars); into SCREEN 7 they
# come back pixel for pixel.
"$tool" "$samples/testcard.sc7" --view full -o "$work/full7.png" -o "$work/full7.bmp"
for ext in png bmp; do
  "$tool" "$work/full7.$ext" --import 5 -o "$work/shape-$ext.png"
  "$tool" "$work/full7.$ext" --import 7 --dither none -o "$work/same-$ext.png"
  check "testcard.sc7 full view as $ext into SCREEN 5: lines shown, lines newly black" "212 212 0" \
    "$(python3 - "$work/full7.png" "$work/shape-$ext.png" <<'PY'
import sys, subprocess
def lines(path):  # each line of the picture: whether it is all black
    out = subprocess.run(["convert", path, "-depth", "8", "rgb:-"], capture_output=True).stdout
    width = len(out) // 212 // 3
    return [not any(out[y * width * 3:(y + 1) * width * 3]) for y in range(212)] if out else []
source, imported = lines(sys.argv[1]), lines(sys.argv[2])
print(source.count(False), imported.count(False),
      sum(1 for s, i in zip(source, imported) if i and not s) if source and imported else "-")
PY
)"
  check "testcard.sc7 full view as $ext into SCREEN 7: pixel for pixel" same \
    "$(cmp -s <(convert "$work/full7.png" rgb:-) <(convert "$work/same-$ext.png" rgb:-) && echo same)"
done

# Without --import a modern picture is an error that says what to add; nothing is written.
err=$("$tool" "$work/sc5.png" -o "$work/none.sc5" 2>&1)
check "PNG without --import: status" 1 "$?"
check "PNG without --import: message" "vramoria-convert: $work/sc5.png: a PNG picture: add --import M (5, 6, 7, 8, 10 or 12) to import it into SCREEN M" "$err"
check "PNG without --import: nothing written" no "$([ -e "$work/none.sc5" ] && echo yes || echo no)"

# BMP in, every mode out, with the mode's BSAVE size and --info's view of it.
convert -size 40x30 gradient:red-blue "BMP3:$work/small.bmp"
for entry in 5:30375 6:30375 7:64167 8:64167 10:64167 12:64167; do
  mode=${entry%%:*}
  "$tool" "$work/small.bmp" --import "$mode" -o "$work/small.$mode.bin" 2>/dev/null
  check "BMP into SCREEN $mode: BSAVE size" "${entry##*:}" "$(stat -c %s "$work/small.$mode.bin" 2>/dev/null)"
done
out=$("$tool" "$work/small.bmp" --import 12 --fit stretch --info --json)
check "imported SCREEN 12: --info mode" '"SCREEN 12"' "$(field mode <<<"$out")"

# Usage errors and bad images.
for args in "--import 9" "--import 11" "--fit wide" "--dither random"; do
  "$tool" "$work/small.bmp" $args -o "$work/x.sc5" 2>/dev/null
  check "usage: $args" 2 "$?"
done
head -c 100 "$work/sc5.png" > "$work/cut.png"
printf 'BM\x00\x00\x00\x00\x00\x00\x00\x00\x36\x00\x00\x00' > "$work/cut.bmp"
for bad in cut.png cut.bmp; do
  err=$("$tool" "$work/$bad" --import 5 -o "$work/bad.sc5" 2>&1)
  check "$bad: status" 1 "$?"
  check "$bad: names the file" 1 "$(grep -c "^vramoria-convert: $work/$bad: " <<<"$err")"
  check "$bad: nothing written" no "$([ -e "$work/bad.sc5" ] && echo yes || echo no)"
done

# Damaged files are refused with a message that names the damage, and nothing is written;
# damage the picture survives (an ancillary chunk's CRC) converts with a warning.
python3 - "$work" <<'PY'
import struct, sys, zlib
d = sys.argv[1]
png = open(d + "/sc5.png", "rb").read()
open(d + "/empty.png", "wb").write(b"")
open(d + "/empty.bmp", "wb").write(b"")
open(d + "/no-iend.png", "wb").write(png[:-12])
open(d + "/text.png", "wb").write(png)  # the same picture with a tEXt chunk added
chunk = b"tEXt" + b"Comment\0damaged"
bad = struct.pack(">I", len(chunk) - 4) + chunk + struct.pack(">I", zlib.crc32(chunk) ^ 1)
open(d + "/bad-text.png", "wb").write(png[:33] + bad + png[33:])
bmp = bytearray(open(d + "/small.bmp", "rb").read())
bmp[10:14] = struct.pack("<I", 0)
open(d + "/offset0.bmp", "wb").write(bmp)
# An 8-bit BMP with two colours used: one with 100,000, one whose pixel 7 is past the table.
def bmp8(used, pixel):
    header = struct.pack("<IiiHHIIiiII", 40, 1, 1, 1, 8, 0, 4, 0, 0, used, 0)
    table = bytes(8)
    offset = 14 + 40 + len(table)
    return b"BM" + struct.pack("<IHHI", offset + 4, 0, 0, offset) + header + table + bytes([pixel, 0, 0, 0])
open(d + "/colours.bmp", "wb").write(bmp8(100000, 0))
open(d + "/index.bmp", "wb").write(bmp8(2, 7))
PY
while IFS='|' read -r bad message; do
  rm -f "$work/bad.sc5"
  err=$("$tool" "$work/$bad" --import 5 -o "$work/bad.sc5" 2>&1); rc=$?
  check "$bad: refused, nothing written" "1 no" "$rc $([ -e "$work/bad.sc5" ] && echo yes || echo no)"
  check "$bad: the damage named" "vramoria-convert: $work/$bad: $message" "$err"
done <<'CASES'
empty.png|not a PNG file: it is empty
empty.bmp|not a BMP file: it is empty
no-iend.png|the PNG file ends without its IEND chunk (truncated?)
offset0.bmp|the BMP file's pixel offset 0 points into its headers (they end at byte 54)
colours.bmp|the BMP file's colour table claims 100000 colours (at most 256 at 8 bits a pixel)
index.bmp|the BMP file's pixel index 7 is past its colour table of 2 entries
CASES
"$tool" "$work/sc5.png" --import 5 -o "$work/clean.sc5"
err=$("$tool" "$work/bad-text.png" --import 5 -o "$work/damaged.sc5" 2>&1); rc=$?
check "bad ancillary CRC: converted as the clean file" "0 same" "$rc $(cmp -s "$work/clean.sc5" "$work/damaged.sc5" && echo same)"
check "bad ancillary CRC: warning" "vramoria-convert: warning: $work/bad-text.png: the PNG file's tEXt chunk is damaged (its CRC does not match); it was skipped" "$err"
: >"$work/empty.sc5"
"$tool" "$work/empty.sc5" --import 5 -o "$work/x.sc5" 2>/dev/null
check "an empty .sc5 with --import still loads as the viewer does" 0 "$?"

# Memory: an 8192 x 8192 1-bit PNG (19 KB) is decoded row by row into one RGB copy (192 MiB),
# not also a whole RGBA copy (it peaked at 463 MB); where memory runs out, that picture fails
# with a message and the batch goes on to its counting line.
free_kib=$(awk '/^MemAvailable:/ {print $2}' /proc/meminfo)
if [ "${free_kib:-0}" -lt $((2 << 20)) ]; then
  echo "memory: skipped (less than 2 GiB free)"
elif grep -q __asan_init "$tool"; then
  echo "memory: skipped under AddressSanitizer (its shadow memory)"
else
  big_png "$work/big.png"
  /usr/bin/time -f '%M' -o "$work/rss" "$tool" "$work/big.png" --import 5 -o "$work/big.sc5"
  kib=$(tail -n 1 "$work/rss")
  echo "8192 x 8192 PNG import: peak RSS ${kib} KiB"
  check "8192 x 8192 PNG: imported under 256 MiB" yes "$([ "$kib" -lt 262144 ] && echo yes || echo "no: $kib KiB")"
  # Eight at once share one budget for decoded pixels: the run stays under 1 GiB (1.6 GB
  # without it), whatever --jobs says.
  for i in 1 2 3 4 5 6 7 8; do cp "$work/big.png" "$work/j$i.png"; done
  /usr/bin/time -f '%M' -o "$work/rss8" "$tool" "$work"/j?.png --jobs 8 --import 5 -o "$work/oj{stem}.sc5" 2>/dev/null
  kib=$(tail -n 1 "$work/rss8")
  echo "eight 8192 x 8192 PNG imports, --jobs 8: peak RSS ${kib} KiB"
  check "--jobs 8 over eight 8192 x 8192 PNGs: all converted" 8 "$(ls "$work"/ojj?.sc5 2>/dev/null | wc -l)"
  check "--jobs 8 over eight 8192 x 8192 PNGs: under 1 GiB" yes "$([ "$kib" -lt 1048576 ] && echo yes || echo "no: $kib KiB")"
  for i in 1 2 3; do cp "$work/big.png" "$work/b$i.png"; done
  # Which of the three runs out depends on their timing: every one either converted or failed
  # with the message, at least one failed, and the counting line says so.
  err=$(ulimit -v 600000; "$tool" "$work"/b[123].png --jobs 3 --import 5 -o "$work/o{stem}.sc5" 2>&1); rc=$?
  refused=$(grep -c "not enough memory to import the image" <<<"$err")
  written=$(ls "$work"/ob[123].sc5 2>/dev/null | wc -l)
  check "out of memory: status, each picture accounted for" "1 3 yes" \
    "$rc $((refused + written)) $([ "$refused" -ge 1 ] && echo yes)"
  check "out of memory: the counting line" "$written converted, $refused failed" "$(tail -n 1 <<<"$err")"
fi

# --thumbnail needs its -o; its -o is a PNG whatever the name.
"$tool" "$samples/testcard.sc5" --thumbnail 64 2>/dev/null
check "--thumbnail without -o: usage" 2 "$?"
"$tool" "$samples/testcard.sc5" --thumbnail 0 -o "$work/t.png" 2>/dev/null
check "--thumbnail 0: usage" 2 "$?"

cli_summary "cli import"
