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

# --thumbnail needs its -o; its -o is a PNG whatever the name.
"$tool" "$samples/testcard.sc5" --thumbnail 64 2>/dev/null
check "--thumbnail without -o: usage" 2 "$?"
"$tool" "$samples/testcard.sc5" --thumbnail 0 -o "$work/t.png" 2>/dev/null
check "--thumbnail 0: usage" 2 "$?"

cli_summary "cli import"
