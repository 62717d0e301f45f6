#!/usr/bin/env bash
# End-to-end checks of vramoria-convert's loading, steps, --info and exit statuses.
# Usage: cli_test.sh PATH/TO/vramoria-convert
set -u
tool=$1
source "$(dirname "$0")/cli_lib.sh"

# Pictures made here: a 30375-byte SCREEN 5 file with its palette table (what BASIC's BSAVE ,S
# writes), and the same without the table.
python3 - "$work" <<'PY'
import sys, struct
d = sys.argv[1]
body = bytes((i * 7) & 0xFF for i in range(0x7680)) + bytes(range(0x20, 0x40))
open(d + "/full.sc5", "wb").write(struct.pack("<BHHH", 0xFE, 0, 0x769F, 0) + body)
open(d + "/bare.sc5", "wb").write(struct.pack("<BHHH", 0xFE, 0, 0x69FF, 0) + body[:0x6A00])
open(d + "/five.sc5", "wb").write(b"\xfe\x00\x00\x00\x00")
open(d + "/three.pl5", "wb").write(bytes(range(96)))
open(d + "/pic.SR7", "wb").write(struct.pack("<BHHH", 0xFD, 0, 2, 0) + b"\x05\x11")
open(d + "/pic.PL7", "wb").write(bytes(64))
PY

out=$("$tool" "$work/full.sc5" --info --json)
check "full: dataSize" 30368 "$(field dataSize <<<"$out")"
check "full: type" '"plain"' "$(field type <<<"$out")"
check "full: endAddress" 30367 "$(field endAddress <<<"$out")"
check "full: slots" '[0, 1]' "$(field availableSlots <<<"$out")"
check "full: internal selected" 1 "$(field paletteIndex <<<"$out")"
check "full: palette is the table" '"202122232425262728292a2b2c2d2e2f303132333435363738393a3b3c3d3e3f"' "$(field palette <<<"$out")"

out=$("$tool" "$work/bare.sc5" --info --json)
check "bare: fallback to standard" 0 "$(field paletteIndex <<<"$out")"
check "bare: standard palette" '"0000000011063307170127035101270671017303610664061104650255057707"' "$(field palette <<<"$out")"
check "bare: mode" '"SCREEN 5"' "$(field mode <<<"$out")"

out=$("$tool" "$work/full.sc5" --mode 8 --info --json)
check "mode 8: internal at 0xFA80 absent" 0 "$(field paletteIndex <<<"$out")"
check "mode 8: screenMode" 3 "$(field screenMode <<<"$out")"

out=$("$tool" "$work/full.sc5" --palette-file "$work/three.pl5" --info --palette 2 --info --json)
check "palette file: two infos" 2 "$(wc -l <<<"$out")"
check "palette file: count" 3 "$(field filePaletteCount <<<"$out")"
check "palette file: slot 2" 2 "$(field paletteIndex <<<"$out")"
check "palette file: slots" '[0, 1, 2, 3, 4]' "$(field availableSlots <<<"$out")"
check "palette 2 selects slot 4" 4 "$(tail -n 1 <<<"$out" | field paletteIndex)"

out=$("$tool" "$work/pic.SR7" --info --json)
check "SR7 companion found without regard to case" 2 "$(field paletteIndex <<<"$out")"
check "SR7 compressed" '"compressed"' "$(field type <<<"$out")"
check "SR7 imageSize" 54272 "$(field imageSize <<<"$out")"

# A palette that cannot be selected is named in --palette's words, with the reason.
while IFS='|' read -r words message; do
  err=$("$tool" "$work/full.sc5" $words 2>&1 >/dev/null); rc=$?
  check "unavailable palette, $words" "1 vramoria-convert: $work/full.sc5: $message" "$rc $err"
done <<CASES
--palette 5|file palette 5 is not available (the picture has no palette file)
--palette 0|file palette 0 is not available (the picture has no palette file)
--palette-file $work/three.pl5 --palette 3|file palette 3 is not available (the palette file holds file palettes 0-2)
--palette-file $work/pic.PL7 --palette 7|file palette 7 is not available (the palette file holds file palettes 0-1)
--mode 8 --palette internal|the internal palette is not available (the picture ends before its palette table)
CASES
check "--info lists the palettes in --palette's words" "available slots: standard internal 0 1 2" \
  "$("$tool" "$work/full.sc5" --palette-file "$work/three.pl5" --info | grep '^available slots')"

err=$("$tool" "$work/five.sc5" --info 2>&1 >/dev/null); rc=$?
check "5-byte file: status" 1 "$rc"
check "5-byte file: message names the file" "vramoria-convert: $work/five.sc5: not a BSAVE" "${err%% file*}"

"$tool" "$work/missing.sc5" --info >/dev/null 2>&1; check "missing file: status" 1 "$?"
"$tool" "$work/full.sc5" --palette-file "$work/none.pl5" >/dev/null 2>&1; check "missing palette: status" 1 "$?"
"$tool" "$work/full.sc5" --mode 9 >/dev/null 2>&1; check "bad mode: usage" 2 "$?"
"$tool" "$work/full.sc5" --palette 8 >/dev/null 2>&1; check "bad slot: usage" 2 "$?"
"$tool" --info >/dev/null 2>&1; check "no picture: usage" 2 "$?"
"$tool" "$work/full.sc5" --frobnicate >/dev/null 2>&1; check "unknown option: usage" 2 "$?"
"$tool" --help | grep -q -- '--palette-file'; check "help lists options" 0 "$?"

# A sprite sheet's table of sixteen equal words shows nothing: it opens in the standard palette,
# still selectable. A palette file saved by BASIC's BSAVE ,S carries a header that is skipped.
python3 - "$work" <<'PY'
import sys, struct
d = sys.argv[1]
body = bytes((i * 7) & 0xFF for i in range(0x7680)) + b"\x33" * 32
open(d + "/sheet.sc5", "wb").write(struct.pack("<BHHH", 0xFE, 0, 0x769F, 0) + body)
open(d + "/basic.pl5", "wb").write(struct.pack("<BHHH", 0xFE, 0x7680, 0x769F, 0) + bytes(range(0x40, 0x60)))
open(d + "/sheet.sr5", "wb").write(struct.pack("<BHHH", 0xFD, 0, 2, 0) + b"\x05\x11")
open(d + "/sheet.pl5", "wb").write(struct.pack("<BHHH", 0xFE, 0x7680, 0x769F, 0) + bytes(range(0x40, 0x60)))
PY
out=$("$tool" "$work/sheet.sc5" --info --json)
check "equal words: standard palette" 0 "$(field paletteIndex <<<"$out")"
check "equal words: table still offered" '[0, 1]' "$(field availableSlots <<<"$out")"
out=$("$tool" "$work/sheet.sc5" --palette internal --info --json)
check "equal words: the table on request" "\"$(printf '33%.0s' {1..32})\"" "$(field palette <<<"$out")"
out=$("$tool" "$work/full.sc5" --palette-file "$work/basic.pl5" --info --json)
check "BSAVE palette file: one palette" 1 "$(field filePaletteCount <<<"$out")"
check "BSAVE palette file: header skipped" '"404142434445464748494a4b4c4d4e4f505152535455565758595a5b5c5d5e5f"' "$(field palette <<<"$out")"
out=$("$tool" "$work/sheet.sr5" --info --json)
check "BSAVE companion file: header skipped" '"404142434445464748494a4b4c4d4e4f505152535455565758595a5b5c5d5e5f"' "$(field palette <<<"$out")"

if [ -d "$pictures" ]; then
  out=$("$tool" "$pictures/fusionc_mona.sc5" --info --json)
  check "mona: dataSize" 30368 "$(field dataSize <<<"$out")"
  out=$("$tool" "$pictures/msxgl_IMAGE01.s12" --info --json)
  check "s12 by its extension" '"SCREEN 12"' "$(field mode <<<"$out")"
  "$tool" "$pictures/fusionc_SAMPLE.pic" --info >/dev/null 2>&1; check "SAMPLE.pic refused" 1 "$?"
else
  echo "skipped: $pictures is absent, real pictures not tested"
fi

cli_summary "cli"
