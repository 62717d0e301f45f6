#!/usr/bin/env bash
# vramoria-convert on pictures as people have them: MSX2+ names, a stored palette of sixteen
# blacks, the machine's colours, short palette files, and the reasons and warnings of bad files.
# Usage: cli_pictures_test.sh PATH/TO/vramoria-convert
set -u
tool=$1
source "$(dirname "$0")/cli_lib.sh"

python3 - "$work" <<'PY'
import sys, struct
d = sys.argv[1]
def plain(name, end, body):
    open(d + "/" + name, "wb").write(struct.pack("<BHHH", 0xFE, 0, end, 0) + body)
# A YJK-sized picture (0xD400 bytes, no palette table): only its name can say SCREEN 10 or 12.
yjk = bytes((i * 37) & 0xFF for i in range(0xD400))
for ext in ("SRA", "s10", "S11", "scb", "s12", "SRC", "xyz"):
    plain("yjk." + ext, 0xD3FF, yjk)
# SCREEN 7 with its palette table present but all zeros, and with a real one.
pic7 = bytes((i * 5) & 0xFF for i in range(0xFA80))
plain("blank.sc7", 0xFA9F, pic7 + bytes(32))
plain("own.sc7", 0xFA9F, pic7 + bytes(range(0x10, 0x30)))
# SCREEN 6 and 8 pictures with their own palette tables.
plain("four.sc6", 0x769F, bytes((i * 11) & 0xFF for i in range(0x7680)) + bytes(range(32)))
plain("eight.sc8", 0xFA9F, bytes(range(256)) * 250 + bytes(0xFA80 - 64000) + bytes(range(32)))
# Bad and short files.
open(d + "/typed.sc5", "wb").write(b"\x64\x00\x00\xff\x00\x00\x00")
open(d + "/shortbody.sc5", "wb").write(struct.pack("<BHHH", 0xFE, 0, 0x3FF, 0) + bytes(724))
open(d + "/cutrun.sr5", "wb").write(struct.pack("<BHHH", 0xFD, 0, 3, 0) + b"\x20\x21\x09")
open(d + "/header.sc5", "wb").write(struct.pack("<BHHH", 0xFE, 0, 0x69FF, 0))
open(d + "/empty.sc5", "wb").write(b"")
open(d + "/one.pl5", "wb").write(b"A")
open(d + "/two.pl5", "wb").write(bytes(range(64)))
PY

# The names of MSX2+ pictures, in any case; an unknown name falls to the size rule.
for entry in SRA:10 s10:10 S11:10 scb:10 s12:12 SRC:12 xyz:7; do
  ext=${entry%%:*}; want=${entry##*:}
  [ "$want" = 10 ] && want="SCREEN 10/11" || want="SCREEN $want"
  out=$("$tool" "$work/yjk.$ext" --info --json)
  check "yjk.$ext opens as $want" "\"$want\"" "$(field mode <<<"$out")"
done

# Sixteen zero words: the standard palette is selected, the stored table stays selectable.
out=$("$tool" "$work/blank.sc7" --info --json)
check "blank table: standard selected" 0 "$(field paletteIndex <<<"$out")"
check "blank table: internal still available" "[0, 1]" "$(field availableSlots <<<"$out")"
out=$("$tool" "$work/blank.sc7" --palette internal --info --json)
check "blank table: --palette internal" 1 "$(field paletteIndex <<<"$out")"
check "a real table is selected" 1 "$("$tool" "$work/own.sc7" --info --json | field paletteIndex)"

# --colors hardware changes the pictures of SCREEN 6 and 8 only, never --info, conversions or
# BSAVE output.
for pic in four.sc6 eight.sc8; do
  "$tool" "$work/$pic" -o "$work/$pic.viewer.bmp" --colors hardware -o "$work/$pic.hardware.bmp" \
    --colors viewer -o "$work/$pic.again.bmp"
  check "$pic: hardware colours differ" 1 "$(cmp -s "$work/$pic.viewer.bmp" "$work/$pic.hardware.bmp"; echo $?)"
  check "$pic: --colors viewer returns" 0 "$(cmp -s "$work/$pic.viewer.bmp" "$work/$pic.again.bmp"; echo $?)"
done
steps=(--info --json --convert 7 --info -o "$work/plain.sc7" --convert 8 --info -o "$work/plain.sc8")
plain=$("$tool" "$work/four.sc6" "${steps[@]}")
steps=(--colors hardware --info --json --convert 7 --info -o "$work/hw.sc7" --convert 8 --info -o "$work/hw.sc8")
hardware=$("$tool" "$work/four.sc6" "${steps[@]}")
check "--colors: --info the same" "$plain" "$hardware"
check "--colors: converted SCREEN 7 file the same" 0 "$(cmp -s "$work/plain.sc7" "$work/hw.sc7"; echo $?)"
check "--colors: converted SCREEN 8 file the same" 0 "$(cmp -s "$work/plain.sc8" "$work/hw.sc8"; echo $?)"
"$tool" "$work/four.sc6" --colors purple -o "$work/x.png" 2>/dev/null
check "--colors purple: usage" 2 "$?"

# Palette files shorter than one palette are refused, naming the file; longer ones load.
err=$("$tool" "$work/own.sc7" --palette-file "$work/one.pl5" --info 2>&1 >/dev/null)
check "1-byte palette file: status" 1 "$?"
check "1-byte palette file: message" "vramoria-convert: $work/one.pl5: not a palette file (shorter than one 32-byte palette)" "$err"
out=$("$tool" "$work/own.sc7" --palette-file "$work/two.pl5" --info)
check "--info names the selection" "palette slot:    file palette 0 of 2" "$(grep '^palette slot' <<<"$out")"

# Reasons and warnings.
cp "$work/typed.sc5" "$work/typed.bin"
err=$("$tool" "$work/typed.bin" --info 2>&1)
check "type byte: reason" "vramoria-convert: $work/typed.bin: not a BSAVE file (type byte 0x64 (0xFE plain, 0xFD compressed)) (use --raw to read it as raw VRAM)" "$err"
# With a mode's extension the same bytes are a headerless VRAM dump, and a note says so.
out=$("$tool" "$work/typed.sc5" --info --json 2>"$work/err")
check "type byte, .sc5: a raw dump" '"raw"' "$(field type <<<"$out")"
check "type byte, .sc5: the note" "vramoria-convert: warning: $work/typed.sc5: read as raw VRAM (no BSAVE header): $(stat -c %s "$work/typed.sc5") bytes" "$(cat "$work/err")"
for entry in shortbody.sc5:300 cutrun.sr5:9 header.sc5:27136; do
  pic=${entry%%:*}; missing=${entry##*:}
  out=$("$tool" "$work/$pic" --info --json 2>"$work/err")
  check "$pic: loads" 0 "$?"
  check "$pic: missingBytes" "$missing" "$(field missingBytes <<<"$out")"
  check "$pic: warning" 1 "$(grep -c "^vramoria-convert: warning: $work/$pic: the file is $missing bytes shorter" "$work/err")"
done
"$tool" "$work/empty.sc5" --info >/dev/null 2>"$work/err"
check "empty file: loads with a warning" "0 1" "$? $(grep -c 'warning: .*holds no bytes' "$work/err")"

cli_summary "cli pictures"
