#!/usr/bin/env bash
# End-to-end checks of vramoria-convert's --convert, --format and BSAVE output (-o FILE).
# Usage: cli_convert_test.sh PATH/TO/vramoria-convert
set -u
tool=$1
source "$(dirname "$0")/cli_lib.sh"

# hexat FILE OFFSET COUNT: bytes of a file in hex.
hexat() { python3 -c 'import sys; d=open(sys.argv[1],"rb").read(); o=int(sys.argv[2]); print(d[o:o+int(sys.argv[3])].hex())' "$@"; }
size() { stat -c %s "$1"; }

# Pictures made here. pixels.sc5: a SCREEN 5 BSAVE with its palette table, first bytes 1F 2F 5C 7A
# and a palette table 20..3F. pixels.sc6: SCREEN 6 bytes 1B, no palette table. The conversions'
# expected bytes are worked out by hand from the MSX2 power-on palette and the pixel layouts.
python3 - "$work" <<'PY'
import sys, struct
d = sys.argv[1]
body = bytearray(0x76A0)
body[0:4] = b"\x1f\x2f\x5c\x7a"
body[0x7680:0x76A0] = bytes(range(0x20, 0x40))
open(d + "/pixels.sc5", "wb").write(struct.pack("<BHHH", 0xFE, 0, 0x769F, 0x1234) + body)
six = bytearray(0x6A00)
six[0] = 0x1B
open(d + "/pixels.sc6", "wb").write(struct.pack("<BHHH", 0xFE, 0, 0x69FF, 0) + six)
seven = bytearray(0xD400)
seven[0:2] = b"\x5a\xc3"
open(d + "/pixels.sc7", "wb").write(struct.pack("<BHHH", 0xFE, 0, 0xD3FF, 0) + seven)
PY

# Save As without a change gives the loaded file back, execution address 0.
"$tool" "$work/pixels.sc5" -o "$work/copy.sc5"; check "save: status" 0 "$?"
check "save: size" 30375 "$(size "$work/copy.sc5")"
check "save: header" fe00009f760000 "$(hexat "$work/copy.sc5" 0 7)"
check "save: body unchanged" "$(hexat "$work/pixels.sc5" 7 30368)" "$(hexat "$work/copy.sc5" 7 30368)"

# Conversions, by hand: SCREEN 5 1F -> SCREEN 7 11 FF; 2F -> SCREEN 8 C4 FF (power-on colours 2
# and 15 as GGGRRRBB); 5C -> SCREEN 10 58 C8 (attribute bit 3 set); 7A -> SCREEN 6 FA.
"$tool" "$work/pixels.sc5" --convert 7 -o "$work/c7.sc7"; check "5 to 7: status" 0 "$?"
check "5 to 7: size" 64167 "$(size "$work/c7.sc7")"
check "5 to 7: header" fe00009ffa0000 "$(hexat "$work/c7.sc7" 0 7)"
check "5 to 7: pixels doubled" 11ff "$(hexat "$work/c7.sc7" 7 2)"
check "5 to 7: palette moved to 0xFA80" "$(hexat "$work/pixels.sc5" $((7 + 0x7680)) 32)" "$(hexat "$work/c7.sc7" $((7 + 0xFA80)) 32)"
"$tool" "$work/pixels.sc5" --palette standard --convert 8 -o "$work/c8.sc8"
check "5 to 8: colour bytes" c4ff "$(hexat "$work/c8.sc8" 9 2)"
"$tool" "$work/pixels.sc5" --convert 10 -o "$work/c10.sca"
check "5 to 10: palette pixels" 58c8 "$(hexat "$work/c10.sca" 11 2)"
"$tool" "$work/pixels.sc5" --convert 6 -o "$work/c6.sc6"
check "5 to 6: size" 30375 "$(size "$work/c6.sc6")"
check "5 to 6: low bits doubled" fa "$(hexat "$work/c6.sc6" 10 1)"
# SCREEN 6 1B -> SCREEN 8 25 DA (chain 5 then 7), -> SCREEN 10 18 B8 (chain 9 then 3).
"$tool" "$work/pixels.sc6" --convert 8 -o "$work/s6.sc8"
check "6 to 8: averaged pairs" 25da "$(hexat "$work/s6.sc8" 7 2)"
out=$("$tool" "$work/pixels.sc6" --convert 10 -o "$work/s6.sca" --info --json)
check "6 to 10: bytes" 18b8 "$(hexat "$work/s6.sca" 7 2)"
check "6 to 10: dataSize" 64160 "$(field dataSize <<<"$out")"
check "6 to 10: internal palette selected" 1 "$(field paletteIndex <<<"$out")"
check "6 to 10: mode" 4 "$(field screenMode <<<"$out")"
# SCREEN 7 5A C3 -> SCREEN 6 63.
"$tool" "$work/pixels.sc7" --convert 6 -o "$work/s7.sc6"
check "7 to 6: compacted" 63 "$(hexat "$work/s7.sc6" 7 1)"
# Two conversions in a row: the second starts from the mode the first left.
out=$("$tool" "$work/pixels.sc5" --convert 7 --convert 8 --info --json)
check "5 to 7 to 8: mode" 3 "$(field screenMode <<<"$out")"

# A conversion that the mode does not offer: both modes named, exit 1, and nothing written,
# not even by an -o given before it.
err=$("$tool" "$work/pixels.sc5" -o "$work/early.sc5" --convert 8 --convert 5 2>&1 >/dev/null); rc=$?
check "8 to 5: status" 1 "$rc"
check "8 to 5: message" "vramoria-convert: $work/pixels.sc5: SCREEN 8 cannot be converted to SCREEN 5" "$err"
check "8 to 5: nothing written" no "$([ -e "$work/early.sc5" ] && echo yes || echo no)"
err=$("$tool" "$work/pixels.sc7" --convert 10 2>&1 >/dev/null); rc=$?
check "7 to 10: message" "vramoria-convert: $work/pixels.sc7: SCREEN 7 cannot be converted to SCREEN 10" "$err"
# A picture already in the target mode: nothing to convert, a note, the picture unchanged.
for mode in 5 6 7 8 12; do
  "$tool" "$work/pixels.sc5" --mode $mode -o "$work/as-is.bin"
  err=$("$tool" "$work/pixels.sc5" --mode $mode --convert $mode -o "$work/same.bin" 2>&1); rc=$?
  check "$mode to $mode: status, unchanged" "0 same" "$rc $(cmp -s "$work/as-is.bin" "$work/same.bin" && echo same)"
  check "$mode to $mode: note" 1 "$(grep -c "note: $work/pixels.sc5: already SCREEN $mode, nothing to convert" <<<"$err")"
done
err=$("$tool" "$work/pixels.sc5" --mode 10 --convert 5 2>&1 >/dev/null)
check "10/11 to 5: message" "vramoria-convert: $work/pixels.sc5: SCREEN 10/11 cannot be converted to SCREEN 5" "$err"
"$tool" "$work/pixels.sc5" --convert 11 >/dev/null 2>&1; check "convert 11: usage" 2 "$?"
"$tool" "$work/pixels.sc5" --convert >/dev/null 2>&1; check "convert without value: usage" 2 "$?"

# Output formats: any other extension is BSAVE of the current mode; --format overrides.
"$tool" "$work/pixels.sc5" --mode 8 -o "$work/as8.bin"
check "-o .bin: SCREEN 8 layout" 64167 "$(size "$work/as8.bin")"
"$tool" "$work/pixels.sc5" --format bsave -o "$work/bsave.bmp"
check "--format bsave over .bmp" fe00009f760000 "$(hexat "$work/bsave.bmp" 0 7)"
"$tool" "$work/pixels.sc5" --format bmp -o "$work/bmp.sc5"
check "--format bmp over .sc5" 424d "$(hexat "$work/bmp.sc5" 0 2)"
"$tool" "$work/pixels.sc5" --format png -o "$work/png.sc5"
check "--format png over .sc5" 89504e47 "$(hexat "$work/png.sc5" 0 4)"
"$tool" "$work/pixels.sc5" -o "$work/ext.BMP"
check ".BMP is a bitmap" 424d "$(hexat "$work/ext.BMP" 0 2)"
"$tool" "$work/pixels.sc5" --format gif -o "$work/x" >/dev/null 2>&1; check "--format gif: usage" 2 "$?"

# Writing replaces an existing file only once complete; a failure names the file.
printf 'old' >"$work/over.sc5"
"$tool" "$work/pixels.sc5" -o "$work/over.sc5"
check "existing file replaced" 30375 "$(size "$work/over.sc5")"
"$tool" "$work/pixels.sc5" -o "$work/nofolder/x.sc5"
check "missing folder: made" 30375 "$(size "$work/nofolder/x.sc5")"
mkdir "$work/folder.sc5"
err=$("$tool" "$work/pixels.sc5" -o "$work/folder.sc5" 2>&1 >/dev/null); rc=$?
check "folder as target: status" 1 "$rc"
check "folder as target: message" "vramoria-convert: $work/folder.sc5: cannot write the file" "${err%%: Is a dir*}"
check "no temporary files left" "" "$(find "$work" -name '*vramoria-*')"

# The real pictures: every conversion each one offers, saved and loaded back in the target mode.
if [ -d "$pictures" ]; then
  declare -A offered=([5]="6 7 8 10" [6]="5 7 8 10" [7]="6 8" [8]="" ["10/11"]="10" [12]="10" [1]="" [2]="" [3]="" [4]="")
  declare -A ext=([5]=sc5 [6]=sc6 [7]=sc7 [8]=sc8 [10]=sca [12]=scc)
  declare -A index=([5]=0 [6]=1 [7]=2 [8]=3 [10]=4 [12]=5)
  pairs=0
  for pic in "$pictures"/*; do
    case "$pic" in *.md) continue ;; esac
    info=$("$tool" "$pic" --info --json 2>/dev/null) || continue
    mode=$(field mode <<<"$info" | tr -d '"')
    mode=${mode#SCREEN }
    for target in ${offered[$mode]}; do
      name=$(basename "$pic")
      out="$work/real-$name.${ext[$target]}"
      "$tool" "$pic" --convert "$target" -o "$out" 2>&1
      back=$("$tool" "$out" --info --json)
      check "$name to $target: mode" "${index[$target]}" "$(field screenMode <<<"$back")"
      if [ "$target" -le 6 ]; then want=30375; else want=64167; fi
      check "$name to $target: size" "$want" "$(size "$out")"
      check "$name to $target: dataSize" $((want - 7)) "$(field dataSize <<<"$back")"
      # Saved again with its own palette it is the same file.
      "$tool" "$out" --palette internal -o "$out.again.${ext[$target]}"
      check "$name to $target: stable" "$(md5sum <"$out")" "$(md5sum <"$out.again.${ext[$target]}")"
      pairs=$((pairs + 1))
    done
  done
  check "real pictures: some pairs converted" yes "$([ "$pairs" -gt 10 ] && echo yes || echo no)"
  echo "real pictures: $pairs conversions saved and loaded back"
else
  echo "skipped: $pictures is absent, real pictures not tested"
fi

cli_summary "cli convert"
