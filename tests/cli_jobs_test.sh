#!/usr/bin/env bash
# vramoria-convert --jobs: several pictures at once give what one at a time gives (the same
# files byte for byte, the same standard output and standard error, in command-line order),
# and a batch killed outright (kill -9) leaves every target complete or absent.
# Usage: cli_jobs_test.sh PATH/TO/vramoria-convert SAMPLES-FOLDER [JOBS]
# JOBS (default 4) is the --jobs compared with --jobs 1.
set -u
tool=$1
samples=$2
jobs=${3:-4}
source "$(dirname "$0")/cli_lib.sh"

cd "$work" || exit 1
mkdir in
# Every mode, many times over, so that the threads overtake each other; among them the
# failures and warnings a real folder holds.
n=0
for round in 1 2 3 4 5; do
  for f in "$samples"/testcard.*; do
    case $f in *.pl5|*.pl7) continue ;; esac
    n=$((n + 1))
    ext=${f##*.}
    cp "$f" "in/p$(printf %03d $n).$ext"
    [ -e "${f%.*}.pl${ext: -1}" ] && cp "${f%.*}.pl${ext: -1}" "in/p$(printf %03d $n).pl${ext: -1}"
  done
done
printf '\xfe\x00\x00\x00\x00' >in/p100_bad_header.sc5          # not a BSAVE file
head -c 20000 "$samples/testcard.sc5" >in/p101_short.sc5     # loads, with a warning
: >in/p102_empty_data.sc5                                     # an empty file: a warning
cp "$samples/testcard.sc8" in/p103_fifo_target.sc8             # its output is a FIFO: a write failure
pictures=(in/p0*.s* in/p100_bad_header.sc5 in/p101_short.sc5 in/p102_empty_data.sc5
          in/missing.sc5 in/p103_fifo_target.sc8 in/p050.sc5 ./in/p001.sc5)

# run DIR ARGS...: the batch in DIR, its standard output, standard error and status kept there.
run() {
  local dir=$1; shift
  rm -rf "$dir"; mkdir -p "$dir/out"
  mkfifo "$dir/out/p103_fifo_target.png"
  (cd "$dir" && "$tool" "${pictures[@]/#/../}" "$@" >stdout 2>stderr; echo $? >status)
  rm "$dir/out/p103_fifo_target.png"
}

# --info on standard output, two files each, and a step that fails for some modes (SCREEN 8,
# 10 and 12 cannot become SCREEN 6): every kind of message in one batch.
for steps in "--info -o out/{stem}.png -o out/{stem}.bmp" \
             "--convert 6 --info --json -o out/{stem}.{ext}" \
             "--view large -o out/{name}.png"; do
  # shellcheck disable=SC2086
  run one --jobs 1 $steps
  # shellcheck disable=SC2086
  run many --jobs "$jobs" $steps
  check "$steps: status" "$(cat one/status)" "$(cat many/status)"
  check "$steps: the batch has failures" 1 "$(cat one/status)"
  check "$steps: standard output" "" "$(cmp one/stdout many/stdout 2>&1)"
  check "$steps: standard error" "" "$(diff one/stderr many/stderr)"
  check "$steps: the same files" "" "$(diff -r one/out many/out 2>&1)"
  check "$steps: named twice" 1 "$(grep -c 'named twice' one/stderr)"
done
# The first set has every kind of message (the others fail SCREEN 8 before its write).
run one --jobs 1 --info -o out/{stem}.png -o out/{stem}.bmp
check "messages of every kind" "1 1 1 1 1" \
  "$(for m in 'not a BSAVE file' 'bytes shorter than its header says' 'holds no bytes' \
              'missing.sc5: cannot open' 'only regular files are replaced'; do
       grep -c -- "$m" one/stderr; done | xargs)"
# A default --jobs (one per processor) gives the same too.
run dflt --info -o out/{stem}.png
run one --jobs 1 --info -o out/{stem}.png
check "default jobs: standard output" "" "$(cmp one/stdout dflt/stdout 2>&1)"
check "default jobs: standard error" "" "$(diff one/stderr dflt/stderr)"
check "default jobs: the same files" "" "$(diff -r one/out dflt/out 2>&1)"

# --jobs takes 1 to 256.
for bad in 0 -1 x 257 "" 2x; do
  err=$("$tool" in/p001.sc5 --jobs "$bad" --info 2>&1)
  check "--jobs '$bad': usage error" 2 "$?"
  check "--jobs '$bad': message" 1 "$(grep -c -- "--jobs takes a number of 1 to 256, not '$bad'" <<<"$err")"
done

# kill -9 at random moments into a batch: no rename before the data is on the disk, so every
# target there is exactly the --jobs 1 file. Temporary files (".vr" and six characters) may remain.
mkdir big
for i in $(seq -w 400); do cp "$samples/testcard.sc8" "big/p$i.sc8"; done
"$tool" "$samples/testcard.sc8" --jobs 1 -o expected.png 2>/dev/null
"$tool" "$samples/testcard.sc8" --jobs 1 -o expected.bmp 2>/dev/null
for round in 1 2 3 4 5 6; do
  rm -rf killed
  "$tool" big/*.sc8 --jobs "$jobs" -o 'killed/{stem}.png' -o 'killed/{stem}.bmp' 2>/dev/null &
  pid=$!
  target=$((RANDOM % 300 + 1))
  while kill -0 $pid 2>/dev/null && [ "$(ls killed 2>/dev/null | wc -l)" -lt $target ]; do :; done
  kill -9 $pid 2>/dev/null
  wait $pid 2>/dev/null
  bad=0; complete=0
  for f in killed/*; do
    [ -e "$f" ] || continue
    case $f in
      killed/.vr*) ;;
      *.png) if cmp -s "$f" expected.png; then complete=$((complete + 1)); else bad=$((bad + 1)); fi ;;
      *.bmp) if cmp -s "$f" expected.bmp; then complete=$((complete + 1)); else bad=$((bad + 1)); fi ;;
      *) bad=$((bad + 1)) ;;
    esac
  done
  check "kill -9 round $round: every target complete or absent ($complete complete)" 0 "$bad"
done

# SIGINT: the pictures are committed in order, so those converted are the first ones and
# the closing line counts them; no temporary file is left.
rm -rf stopped
"$tool" big/*.sc8 --jobs "$jobs" -o 'stopped/{stem}.png' 2>err &
pid=$!
while kill -0 $pid 2>/dev/null && [ "$(ls stopped 2>/dev/null | wc -l)" -lt 100 ]; do :; done
kill -INT $pid
wait $pid; rc=$?
check "interrupt: status" 130 "$rc"
check "interrupt: no temporary file" "" "$(ls -A stopped | grep -v '\.png$')"
got=$(ls stopped | wc -l)
check "interrupt: the first $got pictures" "$(cd big && ls | head -n "$got" | sed 's/sc8$/png/' | xargs)" \
  "$(ls stopped | xargs)"
check "interrupt: counted" 1 \
  "$(grep -c "^vramoria-convert: interrupted: $got converted, 0 failed, $((400 - got)) not converted$" err)"

cli_summary cli_jobs_test
