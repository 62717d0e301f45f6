#!/usr/bin/env bash
# vramoria-convert.exe under Wine gives what the native tool gives: the same BSAVE and BMP bytes
# and the same PNG pixels (encoded by WIC there, by libpng here) for every sample, converted
# and not, at every view size; and the same --info.
# Usage: wine_cli_test.sh NATIVE-BUILD WIN32-BUILD
set -u
native_build=$(cd "$1" && pwd)
win32_build=$(cd "$2" && pwd)
native=$native_build/cli/vramoria-convert
exe=$win32_build/cli/vramoria-convert.exe
samples=$native_build/samples
source "$(dirname "$0")/cli_lib.sh"
export WINEPREFIX=$win32_build/wineprefix WINEDEBUG=-all LANG=ja_JP.UTF-8 WINEDLLOVERRIDES="mscoree,mshtml="
wine_tool() { wine "$exe" "$@"; }

same_pixels() {  # same_pixels A.png B.png: 0 when every pixel is equal
  local diff
  diff=$(compare -metric AE "$1" "$2" null: 2>&1) || true
  [ "$diff" == "0" ]
}

for picture in "$samples"/testcard.sc? "$samples"/testcard.sr5; do
  name=$(basename "$picture")
  steps=(-o "$work/NAME.bmp" --view small -o "$work/NAME-small.png" --view large
         -o "$work/NAME-large.png" -o "$work/NAME.bsave")
  case $name in
    *.sc5) steps+=(--convert 7 -o "$work/NAME-conv.sc7") ;;
    *.sc6) steps+=(--convert 5 -o "$work/NAME-conv.sc5") ;;
    *.sc7) steps+=(--convert 8 -o "$work/NAME-conv.sc8") ;;
  esac
  "$native" "$picture" "${steps[@]//NAME/$name-native}" >/dev/null
  wine_tool "$(winepath -w "$picture")" "${steps[@]//NAME/$name-wine}" >/dev/null 2>&1
  check "$name: wine exit status" 0 "$?"
  for out in "$work/$name-native"*; do
    other=${out/-native/-wine}
    case $out in
      *.png) same_pixels "$out" "$other"; check "$(basename "$other"): same pixels" 0 "$?" ;;
      *) check "$(basename "$other"): same bytes" 0 "$(cmp -s "$out" "$other"; echo $?)" ;;
    esac
  done
  a=$("$native" "$picture" --info --json | sed 's/"file":"[^"]*",//')
  b=$(wine_tool "$(winepath -w "$picture")" --info --json 2>/dev/null | tr -d '\r' | sed 's/"file":"[^"]*",//')
  check "$name: same --info" "$a" "$b"
done
wine_tool Z:\\nonexistent\\x.sc5 >/dev/null 2>&1
check "missing picture: status 1" 1 "$?"
cli_summary "vramoria-convert.exe under wine"
