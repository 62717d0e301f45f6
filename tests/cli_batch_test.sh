#!/usr/bin/env bash
# vramoria-convert over several pictures: output name templates, folders made on the way,
# failures reported per picture, the closing count, refused name clashes, the progress line.
# Usage: cli_batch_test.sh PATH/TO/vramoria-convert SAMPLES-FOLDER
set -u
tool=$1
samples=$2
source "$(dirname "$0")/cli_lib.sh"

cp "$samples"/testcard.* "$work/"
mkdir -p "$work/in"
cp "$work/testcard.sc5" "$work/in/a.sc5"
cp "$work/testcard.sc5" "$work/in/b.sc5"
cp "$work/testcard.sc6" "$work/in/c.sc6"
printf '\xfe\x00\x00\x00\x00' >"$work/in/broken.sc5"

# SCREEN 5 and 6 both offer SCREEN 7; {ext} follows the converted mode.
err=$("$tool" "$work/in/a.sc5" "$work/in/b.sc5" "$work/in/c.sc6" --convert 7 -o "$work/out/deep/{stem}.{ext}" 2>&1)
check "batch: status" 0 "$?"
check "batch: closing line" "3 converted, 0 failed" "$err"
check "batch: files" "a.sc7 b.sc7 c.sc7" "$(cd "$work/out/deep" && echo *)"
check "batch: SCREEN 7 size" 64167 "$(stat -c %s "$work/out/deep/c.sc7")"
# Each picture on its own gives the same bytes as in the batch.
"$tool" "$work/in/c.sc6" --convert 7 -o "$work/single.sc7"
check "batch equals single" 0 "$(cmp -s "$work/single.sc7" "$work/out/deep/c.sc7"; echo $?)"

# {name} and {dir}; a failing picture does not stop the others.
err=$("$tool" "$work/in/a.sc5" "$work/in/broken.sc5" "$work/in/c.sc6" -o "{dir}/png/{name}.png" 2>&1)
check "failure: status" 1 "$?"
check "failure: reported for its file" 1 "$(grep -c "vramoria-convert: $work/in/broken.sc5: not a BSAVE" <<<"$err")"
check "failure: closing line" "2 converted, 1 failed" "$(tail -n 1 <<<"$err")"
check "failure: others written" "a.sc5.png c.sc6.png" "$(cd "$work/in/png" && echo *)"

# A conversion that one picture's mode does not offer fails that picture only.
err=$("$tool" "$work/testcard.sc8" "$work/testcard.sc5" --convert 6 -o "$work/six/{stem}.{ext}" 2>&1)
check "not offered: status" 1 "$?"
check "not offered: message" 1 "$(grep -c 'SCREEN 8 cannot be converted to SCREEN 6' <<<"$err")"
check "not offered: the other written" "testcard.sc6" "$(cd "$work/six" && echo *)"

# Two pictures onto one file: refused before anything is written.
err=$("$tool" "$work/in/a.sc5" "$work/in/c.sc6" -o "$work/clash/x.bmp" 2>&1)
check "clash: usage status" 2 "$?"
check "clash: nothing written" no "$([ -e "$work/clash" ] && echo yes || echo no)"
"$tool" "$work/testcard.sc5" "$work/testcard.sr5" -o "$work/clash/{stem}.png" 2>/dev/null
check "clash by stem" 2 "$?"
check "clash by stem: nothing written" no "$([ -e "$work/clash" ] && echo yes || echo no)"
"$tool" "$work/in/a.sc5" "$work/in/../in/a.sc5" -o "$work/clash/{stem}.png" 2>/dev/null
check "one picture named twice is converted once, no clash" 0 "$?"

"$tool" "$work/in/a.sc5" -o "$work/{nope}.png" 2>/dev/null
check "unknown placeholder: usage" 2 "$?"

# The progress line only where standard error is a terminal.
out=$(script -qec "'$tool' '$work/in/a.sc5' '$work/in/c.sc6' --info" /dev/null 2>&1)
check "progress on a terminal" 1 "$(grep -c '\[2/2\]' <<<"$out")"
err=$("$tool" "$work/in/a.sc5" "$work/in/c.sc6" --info 2>&1 >/dev/null)
check "no progress in a pipe" "2 converted, 0 failed" "$err"

# --info --json: one line per picture.
check "json per picture" 3 "$("$tool" "$work/in/a.sc5" "$work/in/b.sc5" "$work/in/c.sc6" --info --json 2>/dev/null | wc -l)"

cli_summary "cli batch"
