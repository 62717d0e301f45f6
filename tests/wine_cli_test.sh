#!/usr/bin/env bash
# vramoria-convert.exe under Wine gives what the native tool gives: the same BSAVE, BMP and PNG
# bytes (the PNG encoder is the same code on both, built for 32 and 64 bits) for every sample,
# converted and not, at every view size, and for the real pictures beside the repository; and
# the same --info.
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
    check "$(basename "$other"): same bytes" 0 "$(cmp -s "$out" "$other"; echo $?)"
  done
  a=$("$native" "$picture" --info --json | sed 's/"file":"[^"]*",//')
  b=$(wine_tool "$(winepath -w "$picture")" --info --json 2>/dev/null | tr -d '\r' | sed 's/"file":"[^"]*",//')
  check "$name: same --info" "$a" "$b"
done
# The real pictures (busier than the test cards: every kind of deflate block) as PNG.
shared=$pictures  # cli_lib.sh: ../shared/pictures or $VRAMORIA_PICTURES
if [ -d "$shared" ]; then
  for picture in "$shared"/msxgl_IMAGE01.s12 "$shared"/msxgl_data.sc8 "$shared"/fusionc_mona.sc5; do
    [ -f "$picture" ] || continue
    name=$(basename "$picture")
    "$native" "$picture" -o "$work/$name-native.png" >/dev/null 2>&1
    wine_tool "$(winepath -w "$picture")" -o "$(winepath -w "$work/$name-wine.png")" >/dev/null 2>&1
    check "$name.png: same bytes" 0 "$(cmp -s "$work/$name-native.png" "$work/$name-wine.png"; echo $?)"
  done
else
  echo "skipped: $shared is absent, the real pictures are not compared"
fi
# Safe batches with Windows names: the same file by case (Windows ignores it), an output that
# would replace a later picture, standard output, a read-only target.
mkdir -p "$work/safe/d1" "$work/safe/d2"
cp "$samples/testcard.sc5" "$work/safe/d1/A.sc5"; cp "$samples/testcard.sc6" "$work/safe/d2/a.sc5"
safe=$(winepath -w "$work/safe")
wine_tool "$safe\\d1\\A.sc5" "$safe\\d2\\a.sc5" -o "$safe\\out\\{stem}.png" >/dev/null 2>&1
check "same name but for case: clash" 2 "$?"
check "same name but for case: nothing written" no "$([ -e "$work/safe/out" ] && echo yes || echo no)"
cp "$samples/testcard.sc6" "$work/safe/d1/A2.sc5"
wine_tool "$safe\\d1\\A.sc5" "$safe\\d1\\A2.sc5" -o "{dir}\\{stem}2.sc5" >/dev/null 2>&1
check "output over a later picture: refused" 2 "$?"
check "output over a later picture: kept" 0 "$(cmp -s "$samples/testcard.sc6" "$work/safe/d1/A2.sc5"; echo $?)"
"$native" "$samples/testcard.sc5" -o "$work/safe/native.png"
wine_tool "$safe\\d1\\A.sc5" -o - >"$work/safe/stdout.png" 2>/dev/null
check "-o -: status" 0 "$?"
same_pixels "$work/safe/native.png" "$work/safe/stdout.png"; check "-o -: the picture" 0 "$?"
cp "$samples/testcard.sc6" "$work/safe/ro.sc5"; chmod 444 "$work/safe/ro.sc5"
wine_tool "$safe\\d1\\A.sc5" -o "$safe\\ro.sc5" >/dev/null 2>&1
check "read-only target: refused" "1 0" "$? $(cmp -s "$samples/testcard.sc6" "$work/safe/ro.sc5"; echo $?)"
wine_tool "$safe\\d1\\A.sc5" -o "$safe\\ro.sc5" --force >/dev/null 2>&1
check "read-only target with --force" "0 0" "$? $(cmp -s "$samples/testcard.sc5" "$work/safe/ro.sc5"; echo $?)"
check "no temporary file left" "" "$(find "$work/safe" -name '.vr*')"

# Ctrl+C in the middle of a batch (Wine hands the tool's console control handler the SIGINT):
# the batch stops with status 130 and a line saying how many were converted; every output
# there is complete and no temporary file is left.
mkdir -p "$work/stop/in"
for i in $(seq 1 600); do cp "$samples/testcard.scc" "$work/stop/in/p$i.scc"; done
stop=$(winepath -w "$work/stop")
wine_tool "$stop\\in\\p1.scc" --view large -o "$stop\\whole.png" >/dev/null 2>&1
wine_tool $(for i in $(seq 1 600); do echo "$stop\\in\\p$i.scc"; done) --view large \
  -o "$stop\\out\\{stem}.png" >/dev/null 2>"$work/stop/err" &
runner=$!
for _ in $(seq 200); do [ "$(ls "$work/stop/out" 2>/dev/null | wc -l)" -ge 20 ] && break; sleep 0.05; done
kill -INT "$(pgrep -f "vramoria-convert.exe $(printf '%s' "$stop" | sed 's/[\\]/./g')" | head -n 1)" 2>/dev/null
wait "$runner"
check "Ctrl+C: status 130" 130 "$?"
check "Ctrl+C: the counting line" 1 "$(grep -c '^vramoria-convert: interrupted: [0-9]* converted' "$work/stop/err")"
written=$(ls "$work/stop/out" | wc -l)
incomplete=0
for f in "$work/stop/out"/*.png; do cmp -s "$f" "$work/stop/whole.png" || incomplete=$((incomplete + 1)); done
check "Ctrl+C: stopped after some, before the end" 1 "$([ "$written" -ge 1 ] && [ "$written" -lt 600 ] && echo 1 || echo 0)"
check "Ctrl+C: every output complete" 0 "$incomplete"
check "Ctrl+C: no temporary file left" "" "$(find "$work/stop" -name '.vr*')"

wine_tool Z:\\nonexistent\\x.sc5 >/dev/null 2>&1
check "missing picture: status 1" 1 "$?"

# Several pictures at once on Windows threads: the files, --info and messages of --jobs 1.
mkdir -p "$work/jobs"
for i in 1 2 3 4 5 6; do cp "$samples"/testcard.sc? "$samples"/testcard.sr5 "$work/jobs/"; \
  for f in "$work"/jobs/testcard.*; do mv "$f" "$work/jobs/p$i${f##*/testcard}"; done; done
printf '\xfe\x00\x00\x00\x00' >"$work/jobs/p7bad.sc5"
for jobs in 1 4; do
  (cd "$work/jobs" && wine "$exe" p* --jobs $jobs --info -o "j$jobs/{name}.png" -o "j$jobs/{name}.bmp" \
     >"info$jobs" 2>"err$jobs"; echo $? >"status$jobs")
  sed -i "s/j$jobs/jN/g" "$work/jobs/err$jobs"
done
check "--jobs 4: status of --jobs 1" "$(cat "$work/jobs/status1")" "$(cat "$work/jobs/status4")"
check "--jobs 4: one picture failed" 1 "$(grep -c 'p7bad.sc5: not a BSAVE' "$work/jobs/err4")"
check "--jobs 4: same --info" "" "$(cmp "$work/jobs/info1" "$work/jobs/info4" 2>&1)"
check "--jobs 4: same messages" "" "$(diff "$work/jobs/err1" "$work/jobs/err4")"
check "--jobs 4: same files" "" "$(diff -r "$work/jobs/j1" "$work/jobs/j4" 2>&1)"
check "--jobs 4: every file" 84 "$(ls "$work/jobs/j4" | wc -l)"
# Imports: the same picture bytes from the same PNG on both, in every mode and dither (the
# importer's floating point must not depend on the compiler, its maths library or the
# processor). Inputs: the test cards' renders, the real pictures' renders, and two made-up
# photographs (smooth gradients with fine noise, 300 x 200 and 200 x 300, so fitting resamples).
mkdir -p "$work/imp/in"
for picture in "$samples"/testcard.sc? "$pictures"/msxgl_IMAGE01.s12 "$pictures"/fusionc_mona.sc5; do
  [ -f "$picture" ] && "$native" "$picture" -o "$work/imp/in/$(basename "$picture").png" >/dev/null 2>&1
done
python3 - "$work/imp/in" <<'PY'
import struct, sys, zlib
def png(path, w, h, f):
    rows = b"".join(b"\0" + bytes(c for x in range(w) for c in f(x, y)) for y in range(h))
    chunk = lambda t, d: struct.pack(">I", len(d)) + t + d + struct.pack(">I", zlib.crc32(t + d))
    open(path, "wb").write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0))
                           + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))
def noise(x, y): return ((x * 7919 + y * 104729) ^ (x * y)) % 23 - 11
def sky(x, y):
    n = noise(x, y)
    return [max(0, min(255, v)) for v in (40 + x * 180 // 300 + n, 80 + y * 150 // 200 - n, 200 - y * 120 // 200 + n)]
def skin(x, y):
    n = noise(y, x)
    return [max(0, min(255, v)) for v in (230 - y // 3 + n, 170 - x // 4 + n, 140 - (x + y) // 6 - n)]
png(sys.argv[1] + "/sky.png", 300, 200, sky)
png(sys.argv[1] + "/skin.png", 200, 300, skin)
PY
# ImageMagick's built-in pictures: netscape: once came out differently in SCREEN 12 with
# diffusion, when the importer still used the C library's pow and cbrt.
for builtin in logo rose netscape granite; do
  convert "$builtin:" "$work/imp/in/$builtin.png" 2>/dev/null || echo "skipped: ImageMagick's $builtin: is not available"
done
inputs=("$work/imp/in"/*.png)
differ=0
compared=0
for mode in 5 6 7 8 10 12; do
  for dither in diffusion none ordered; do
    dir=$work/imp/$mode-$dither
    mkdir -p "$dir/native" "$dir/wine"
    "$native" "${inputs[@]}" --import "$mode" --dither "$dither" -o "$dir/native/{stem}.bsave" >/dev/null 2>&1
    wine_inputs=()
    for f in "${inputs[@]}"; do wine_inputs+=("$(winepath -w "$f")"); done
    wine_tool "${wine_inputs[@]}" --import "$mode" --dither "$dither" -o "$(winepath -w "$dir/wine")\\{stem}.bsave" >/dev/null 2>&1
    for out in "$dir/native"/*.bsave; do
      compared=$((compared + 1))
      cmp -s "$out" "$dir/wine/$(basename "$out")" || { differ=$((differ + 1)); echo "differs: $mode $dither $(basename "$out")"; }
    done
  done
done
check "imports compared" "yes" "$([ "$compared" -ge $((18 * 6)) ] && echo yes || echo "only $compared")"
check "imports: the same bytes natively and under Wine" 0 "$differ"
# Names outside the ANSI code page (1252 under en_US, 932 under ja_JP): the pictures named are
# read, and the outputs, also through {stem} and {name}, get exactly those names; the look-alike
# cafe.sc5 beside café.sc5 keeps its bytes.
for lang in en_US.UTF-8 ja_JP.UTF-8; do
  u=$work/unicode-${lang%%.*}
  mkdir -p "$u/out"
  for name in café 日本語 한글 Łódź; do cp "$samples/testcard.sc5" "$u/$name.sc5"; done
  printf 'original' >"$u/cafe.sc5"
  (cd "$u" && LANG=$lang wine "$exe" café.sc5 日本語.sc5 한글.sc5 Łódź.sc5 --convert 7 -o "out/{stem}.{ext}" \
     -o "out/{name}.png" >/dev/null 2>&1)
  check "$lang: four Unicode names converted" 0 "$?"
  (cd "$u" && LANG=$lang wine "$exe" café.sc5 -o café-copy.sc5 >/dev/null 2>&1)
  check "$lang: -o café-copy.sc5" 0 "$?"
  "$native" "$samples/testcard.sc5" --convert 7 -o "$work/unicode-expected.sc7" -o "$work/unicode-expected.png" >/dev/null
  for name in café 日本語 한글 Łódź; do
    check "$lang: out/$name.sc7" 0 "$(cmp -s "$u/out/$name.sc7" "$work/unicode-expected.sc7"; echo $?)"
    check "$lang: out/$name.sc5.png" 0 "$(cmp -s "$u/out/$name.sc5.png" "$work/unicode-expected.png"; echo $?)"
  done
  check "$lang: café-copy.sc5" 0 "$(cmp -s "$u/café-copy.sc5" "$samples/testcard.sc5"; echo $?)"
  check "$lang: cafe.sc5 unchanged" original "$(cat "$u/cafe.sc5")"
  check "$lang: no other file written" 8 "$(ls "$u/out" | wc -l)"
done

# Six 8192 x 8192 PNGs with --jobs 3 (a 4-core PC's default): the 32-bit program once ran out
# of address space and ended with std::bad_alloc; now the jobs share a budget for decoded
# images and every picture converts.
free_kib=$(awk '/^MemAvailable:/ {print $2}' /proc/meminfo)
if [ "${free_kib:-0}" -lt $((2 << 20)) ]; then
  echo "skipped: less than 2 GiB free for the large imports"
else
  mkdir -p "$work/big"
  big_png "$work/big/j1.png"
  for i in 2 3 4 5 6; do cp "$work/big/j1.png" "$work/big/j$i.png"; done
  (cd "$work/big" && wine_tool j1.png j2.png j3.png j4.png j5.png j6.png --jobs 3 --import 5 -o 'o{stem}.sc5' \
     >/dev/null 2>"$work/big/err")
  check "six 8192 x 8192 PNGs, --jobs 3, 32-bit: status" 0 "$?"
  check "six 8192 x 8192 PNGs, --jobs 3, 32-bit: all converted" "6 converted, 0 failed" \
    "$(tr -d '\r' <"$work/big/err" | tail -n 1)"
fi

cli_summary "vramoria-convert.exe under wine"
