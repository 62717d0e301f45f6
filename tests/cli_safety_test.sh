#!/usr/bin/env bash
# vramoria-convert never loses a user's file: one case of a batch that used to destroy pictures
# per run of this script, on real temporary folders. Every case checks that the user's files
# are byte-identical afterwards, or that the outputs are complete.
# Usage: cli_safety_test.sh PATH/TO/vramoria-convert SAMPLES-FOLDER CASE
#   CASE: later-picture same-file failing-step named-twice read-once not-a-file symlink
#         replaced interrupt long-names bad-input conventions streams
set -u
tool=$1
samples=$2
case=$3
source "$(dirname "$0")/cli_lib.sh"

cp "$samples"/testcard.* "$work/"
cd "$work" || exit 1
same() { cmp -s "$1" "$2" && echo same || echo differs; }
kind() { stat -c %F "$1" 2>/dev/null || echo missing; }

case $case in
later-picture)
  # a.sc5's output a2.sc5 would replace a2.sc5 before it is read: refused, naming both.
  cp testcard.sc5 a.sc5; cp testcard.sc6 a2.sc5; cp a2.sc5 a2.orig
  err=$("$tool" a.sc5 a2.sc5 -o '{stem}2.sc5' 2>&1); rc=$?
  check "later: status" 2 "$rc"
  check "later: names both" 1 "$(grep -c 'a2.sc5: written for a.sc5, it would replace the picture a2.sc5 before it is read' <<<"$err")"
  check "later: a2.sc5 kept" same "$(same a2.sc5 a2.orig)"
  check "later: nothing written" missing "$(kind a22.sc5)"
  # The same through another name of the later picture (a hard link).
  ln a2.sc5 hard.sc5
  "$tool" a.sc5 hard.sc5 -o 'a2.sc5' 2>/dev/null
  check "later by hard link: status" 2 "$?"
  # Replacing a picture read earlier in the run is allowed, as is a picture's own file.
  "$tool" a2.sc5 -o a2.expected 2>/dev/null
  "$tool" a.sc5 -o a.expected 2>/dev/null
  err=$("$tool" a2.sc5 a.sc5 -o '{stem}2.sc5' 2>&1); rc=$?
  check "earlier: status" 0 "$rc"
  check "earlier: a2.sc5 replaced by a's picture" same "$(same a2.sc5 a.expected)"
  check "earlier: a22.sc5 is the original a2's" same "$(same a22.sc5 a2.expected)"
  cp testcard.sc5 own.sc5
  "$tool" own.sc5 --convert 7 -o own.sc5
  check "own: status" 0 "$?"
  check "own: now SCREEN 7" 64167 "$(stat -c %s own.sc5)"
  # Palette files read later count too: a companion palette (found in any case) and a
  # --palette-file, which every picture of the run reads.
  # (x.sc7 writes psc7.pl5, the companion of psc7.sr5 after it; psc7.sr5 writes psc5.pl5.)
  cp testcard.sc7 x.sc7; cp testcard.sr5 psc7.sr5; cp testcard.pl5 psc7.pl5; cp psc7.pl5 pal.orig
  err=$("$tool" x.sc7 psc7.sr5 -o 'p{ext}.pl5' 2>&1); rc=$?
  check "later companion palette: status" 2 "$rc"
  check "later companion palette: message" 1 "$(grep -c 'it would replace the palette file psc7.pl5 before psc7.sr5 reads it' <<<"$err")"
  check "later companion palette: kept" same "$(same psc7.pl5 pal.orig)"
  cp testcard.pl5 B.PL5; cp B.PL5 pal.orig
  "$tool" a.sc5 own.sc5 --palette-file B.PL5 -o '{stem}.png' -o B.PL5 2>/dev/null
  check "later --palette-file: status" 2 "$?"
  check "later --palette-file: kept" same "$(same B.PL5 pal.orig)"
  ;;

same-file)
  # The same output file reached through a symlinked folder, and through ".." after a link.
  mkdir -p real/deep
  ln -s real link
  ln -s real/deep sub
  cp testcard.sc5 real/a.sc5; cp testcard.sc6 real/b.sc5
  err=$("$tool" link/a.sc5 real/b.sc5 -o '{dir}/x.png' 2>&1); rc=$?
  check "symlinked folder: status" 2 "$rc"
  check "symlinked folder: message" 1 "$(grep -c 'would be written for both link/a.sc5 and real/b.sc5' <<<"$err")"
  check "symlinked folder: nothing written" missing "$(kind real/x.png)"
  # sub/.. is real/ (the link's folder's parent), not the folder that holds the link.
  "$tool" sub/../a.sc5 real/b.sc5 -o '{dir}/y.png' 2>/dev/null
  check "dot-dot after a link: status" 2 "$?"
  check "dot-dot after a link: nothing written" "missing missing" "$(kind real/y.png) $(kind y.png)"
  # The advice names a placeholder the -o name lacks.
  cp testcard.sc5 real/a.sc7; mkdir -p other; cp testcard.sc5 other/a.sc5
  while IFS='|' read -r pictures pattern advice; do
    err=$("$tool" $pictures -o "$pattern" 2>&1)
    check "advice for $pattern" "nothing was written$advice" "$(grep -o 'nothing was written.*' <<<"$err")"
  done <<'CASES'
real/a.sc5 real/b.sc5|x.png| (use {stem} or {name} in the -o name)
real/a.sc5 real/a.sc7|out/{stem}.png| (use {name} in the -o name: {stem} leaves out the extension)
real/a.sc5 other/a.sc5|{stem}-{name}.png| (use {dir} in the -o name)
CASES
  # Distinct files with look-alike names are no clash.
  "$tool" real/a.sc5 link/b.sc5 -o '{dir}/{stem}.png' 2>/dev/null
  check "distinct: status" 0 "$?"
  check "distinct: both written" "yes yes" "$([ -s real/a.png ] && echo yes) $([ -s real/b.png ] && echo yes)"
  ;;

failing-step)
  # lone.sr5 has no palette file, so --palette 0 fails after its -o: its z.png still counts.
  cp testcard.sr5 lone.sr5; cp testcard.sc5 b.sc5
  printf 'precious' >z.png
  "$tool" lone.sr5 b.sc5 -o z.png --palette 0 2>/dev/null
  check "clash with a failing picture: status" 2 "$?"
  check "clash with a failing picture: z.png kept" precious "$(cat z.png)"
  err=$("$tool" lone.sr5 -o z.png --palette 0 2>&1); rc=$?
  check "failing picture: status" 1 "$rc"
  check "failing picture: message" "vramoria-convert: lone.sr5: file palette 0 is not available (the picture has no palette file)" "$err"
  check "failing picture: writes nothing" precious "$(cat z.png)"
  # The same for a picture that does not load: its outputs are planned all the same.
  printf '\xfe\x00' >bad.sc5  # a damaged BSAVE file (a headerless one would load as raw VRAM)
  "$tool" bad.sc5 b.sc5 -o z.png 2>/dev/null
  check "clash with a picture that does not load" 2 "$?"
  check "failing load: z.png kept" precious "$(cat z.png)"
  ;;

named-twice)
  cp testcard.sc5 c.sc5
  "$tool" c.sc5 --convert 7 -o c.expected 2>/dev/null
  err=$("$tool" c.sc5 c.sc5 ./c.sc5 --convert 7 -o '{name}' 2>&1); rc=$?
  check "twice: status" 0 "$rc"
  check "twice: converted once" same "$(same c.sc5 c.expected)"
  check "twice: notes" 2 "$(grep -c 'note: .*c.sc5: the same file as c.sc5; it is converted once' <<<"$err")"
  check "twice: closing line" "1 converted, 0 failed, 2 named twice" "$(tail -n 1 <<<"$err")"
  # Overlapping globs name one file twice too.
  cp testcard.sc5 g1.sc5; cp testcard.sc6 g2.sc6
  "$tool" g1.sc5 --convert 7 -o g1.expected 2>/dev/null
  "$tool" g*.sc5 g1.s* g2.sc6 --convert 7 -o '{name}' 2>/dev/null
  check "globs: status" 0 "$?"
  check "globs: g1 converted once" same "$(same g1.sc5 g1.expected)"
  ;;

read-once)
  # A pipe and standard input are read once; the picture is not black.
  "$tool" testcard.sc5 -o expected.png
  "$tool" testcard.sc7 <(cat testcard.sc5) --format png -o 'out{stem}.png' 2>/dev/null
  check "pipe in a batch: status" 0 "$?"
  pipe=$(ls out*.png | grep -v outtestcard); check "pipe in a batch: picture" same "$(same "$pipe" expected.png)"
  "$tool" - --mode 5 -o stdin.png <testcard.sc5
  check "standard input: picture" same "$(same stdin.png expected.png)"
  # A file that changes between planning and its run fails with a message. Planning reads
  # a.sc5, then waits on standard input; the file is changed while it waits.
  cp testcard.sc5 a.sc5; printf 'precious' >a.png
  mkfifo feed
  "$tool" a.sc5 - b.sc5 -o '{stem}.png' <feed >/dev/null 2>err &
  pid=$!
  exec 3>feed
  for _ in $(seq 600); do  # until it blocks in read(0, ...): a.sc5 is planned by then
    [ "$(cut -d' ' -f1-2 /proc/$pid/syscall 2>/dev/null)" == "0 0x0" ] && break
    sleep 0.05
  done
  cp testcard.sc7 a.sc5
  cat testcard.sc6 >&3; exec 3>&-
  wait $pid; rc=$?
  check "changed file: status" 1 "$rc"
  check "changed file: message" 1 "$(grep -c 'a.sc5: the file changed since the run began' err)"
  check "changed file: its output untouched" precious "$(cat a.png)"
  # Memory is bounded by the pictures in flight: 20,000 distinct small pictures.
  mkdir many
  python3 - <<'PY'
import struct
for i in range(20000):
    body = struct.pack("<I", i) * 8
    open("many/p%05d.sc5" % i, "wb").write(struct.pack("<BHHH", 0xFE, 0, len(body) - 1, 0) + body)
PY
  /usr/bin/time -f '%M' -o rss "$tool" many/*.sc5 --info --json >many.json 2>many.err
  check "20000 pictures: status" 0 "$?"
  check "20000 pictures: one line each" 20000 "$(wc -l <many.json)"
  kib=$(tail -n 1 rss)
  echo "20000 pictures: peak RSS ${kib} KiB"
  if grep -q __asan_init "$tool"; then
    echo "20000 pictures: the 64 MiB bound is not checked under AddressSanitizer (its shadow memory)"
  else
    check "20000 pictures: peak RSS under 64 MiB" yes "$([ "$kib" -lt 65536 ] && echo yes || echo "no: $kib KiB")"
  fi
  ;;

not-a-file)
  # Targets that are not regular files are never replaced; pictures and palette files that are
  # not regular files are refused without blocking.
  mkfifo fifo
  err=$(timeout 10 "$tool" testcard.sc5 -o fifo 2>&1); rc=$?
  check "FIFO target: status" 1 "$rc"
  check "FIFO target: message" "vramoria-convert: fifo: cannot write the file: not a regular file (a FIFO); only regular files are replaced" "$err"
  check "FIFO target: still a FIFO" fifo "$(kind fifo)"
  if [ "$(id -u)" == 0 ] && mknod mynull c 1 3 2>/dev/null; then
    timeout 10 "$tool" testcard.sc5 -o mynull 2>/dev/null
    check "device target: status" 1 "$?"
    check "device target: still a device" "character special file" "$(kind mynull)"
    ln -s mynull devlink
    timeout 10 "$tool" testcard.sc5 -o devlink 2>/dev/null
    check "symlink to a device: status" 1 "$?"
    check "symlink to a device: both kept" "symbolic link character special file" "$(kind devlink) $(kind mynull)"
  else
    echo "device node target: skipped (not root, or mknod not allowed)"
  fi
  mkdir folder.png
  timeout 10 "$tool" testcard.sc5 -o folder.png 2>/dev/null
  check "folder target: status" 1 "$?"
  check "folder target: still a folder" directory "$(kind folder.png)"
  err=$(timeout 10 "$tool" fifo testcard.sc5 -o '{stem}.png' 2>&1); rc=$?
  check "FIFO picture: status (no hang)" 1 "$rc"
  check "FIFO picture: message" 1 "$(grep -c '^vramoria-convert: fifo: cannot read the picture: not a regular file (a FIFO)$' <<<"$err")"
  check "FIFO picture: the batch goes on" "1 converted, 1 failed" "$(tail -n 1 <<<"$err")"
  err=$(timeout 10 "$tool" /dev/zero --info 2>&1); rc=$?
  check "device picture: status" 1 "$rc"
  check "device picture: message" 1 "$(grep -c 'cannot read the picture: not a regular file' <<<"$err")"
  err=$(timeout 10 "$tool" testcard.sc5 --palette-file fifo --info 2>&1 >/dev/null); rc=$?
  check "FIFO palette file: status" 1 "$rc"
  check "FIFO palette file: message" "vramoria-convert: fifo: cannot open the palette file: not a regular file (a FIFO)" "$err"
  ;;

symlink)
  mkdir real
  cp testcard.sc6 real/target.sc5
  ln -s real/target.sc5 link.sc5
  "$tool" testcard.sc5 -o link.sc5
  check "symlink: status" 0 "$?"
  check "symlink: the link stays" "symbolic link" "$(kind link.sc5)"
  check "symlink: its target replaced" same "$(same real/target.sc5 testcard.sc5)"
  check "symlink: no temporary left" "target.sc5" "$(ls -A real)"
  # A link to a link, and a dangling link (the file it names is made).
  ln -s link.sc5 link2.sc5
  "$tool" testcard.sc6 -o link2.sc5
  check "link to a link: target replaced" "symbolic link $(stat -c %s testcard.sc6)" "$(kind link2.sc5) $(stat -L -c %s link2.sc5)"
  ln -s real/new.sc5 dangling.sc5
  "$tool" testcard.sc5 -o dangling.sc5
  check "dangling link: link kept, file made" "symbolic link 30375" "$(kind dangling.sc5) $(stat -c %s real/new.sc5)"
  ;;

replaced)
  cp testcard.sc6 kept.sc5; chmod 640 kept.sc5
  "$tool" testcard.sc5 -o kept.sc5
  check "permission bits kept" 640 "$(stat -c %a kept.sc5)"
  if [ "$(id -u)" == 0 ]; then
    chown 1234:2345 kept.sc5
    "$tool" testcard.sc6 -o kept.sc5
    check "owner and group kept (root)" "1234:2345 640" "$(stat -c '%u:%g %a' kept.sc5)"
  fi
  # A file without write permission is refused, unless --force.
  cp testcard.sc6 ro.sc5; chmod 444 ro.sc5; cp ro.sc5 ro.orig
  err=$("$tool" testcard.sc5 -o ro.sc5 2>&1); rc=$?
  check "read-only: status" 1 "$rc"
  check "read-only: message" "vramoria-convert: ro.sc5: cannot write the file: the file is read-only (--force replaces it)" "$err"
  check "read-only: kept" same "$(same ro.sc5 ro.orig)"
  "$tool" testcard.sc5 -o ro.sc5 --force
  check "--force: status" 0 "$?"
  check "--force: replaced, still read-only" "same 444" "$(same ro.sc5 testcard.sc5) $(stat -c %a ro.sc5)"
  # A hard-linked target: the name gets the new file, the other link keeps the old bytes.
  cp testcard.sc6 h1.sc5; ln h1.sc5 h2.sc5
  "$tool" testcard.sc5 -o h1.sc5
  check "hard link: the name replaced" same "$(same h1.sc5 testcard.sc5)"
  check "hard link: the other link kept" same "$(same h2.sc5 testcard.sc6)"
  # A disk that fills up: the replaced file stays whole.
  if [ -z "${VRAMORIA_IN_NAMESPACE:-}" ] && unshare -m true 2>/dev/null; then
    VRAMORIA_IN_NAMESPACE=1 unshare -m --propagation private bash -c '
      mkdir full && mount -t tmpfs -o size=40k tmpfs full || exit 3
      cp testcard.sc5 full/pic.sc7; chmod 600 full/pic.sc7
      "$1" testcard.sc7 -o full/pic.sc7 2>/dev/null; echo "$? $(cmp -s testcard.sc5 full/pic.sc7 && echo same) $(ls -A full)"
      "$1" testcard.sc7 -o "full/{stem}/a/b/x.sc7" 2>full.err; echo "$? $(ls -A full)"
      grep -c "No space left on device" full.err
    ' - "$tool" >fullfs
    if [ $? -eq 3 ]; then echo "full disk: skipped (tmpfs cannot be mounted)"; else
      check "full disk: status, file kept, no temporary" "1 same pic.sc7" "$(sed -n 1p fullfs)"
      check "full disk: no folder left, the reason said" "1 pic.sc7 1" "$(sed -n 2,3p fullfs | tr '\n' ' ' | sed 's/ $//')"
    fi
  else
    echo "full disk: skipped (no mount namespace)"
  fi
  ;;

interrupt)
  # SIGINT, SIGTERM, SIGHUP (the terminal closing) and SIGQUIT at random moments into a batch of
  # 300 pictures: no temporary file, every output there is complete, and the closing line counts
  # them.
  mkdir in
  for i in $(seq -w 300); do cp testcard.sc5 "in/p$i.sc5"; done
  "$tool" testcard.sc5 --convert 7 -o expected.sc7
  signals=(INT TERM HUP QUIT); statuses=(130 143 129 131)
  for round in 1 2 3 4 5 6 7 8; do
    signal=${signals[$((round % 4))]}; status=${statuses[$((round % 4))]}
    rm -rf out
    "$tool" in/*.sc5 --convert 7 -o 'out/{stem}.sc7' 2>err &
    pid=$!
    # Into the middle of the batch: after a random number of outputs (up to half of them).
    target=$((RANDOM % 150 + 1))
    while kill -0 $pid 2>/dev/null && [ "$(ls out 2>/dev/null | wc -l)" -lt $target ]; do :; done
    kill -$signal $pid
    wait $pid; rc=$?
    check "interrupt $round ($signal): status" $status "$rc"
    check "interrupt $round: no temporary file" "" "$(ls -A out 2>/dev/null | grep -v '\.sc7$')"
    n=$(ls out 2>/dev/null | wc -l)
    check "interrupt $round: line counts the outputs" 1 "$(grep -c "^vramoria-convert: interrupted: $n converted, 0 failed, $((300 - n)) not converted$" err)"
    bad=0
    for f in out/*.sc7; do [ -e "$f" ] && { cmp -s "$f" expected.sc7 || bad=$((bad + 1)); }; done
    check "interrupt $round: every output complete ($n)" 0 "$bad"
  done
  ;;

long-names)
  # An output name of 239-255 bytes: the temporary name does not grow with it.
  for length in 239 250 255; do
    name=$(printf 'n%.0s' $(seq $((length - 4)))).png
    "$tool" testcard.sc5 -o "$name"
    check "output name of $length bytes" yes "$([ -s "$name" ] && echo yes || echo no)"
  done
  # A write that fails takes the folders made for it along, and says why it failed: a name over
  # 255 bytes ({name}.png of a 255-byte name) and a folder path over PATH_MAX.
  long=$(printf 'n%.0s' $(seq 255)); cp testcard.sc5 "$long"
  err=$("$tool" "$long" -o 'out2/sub/{name}.png' 2>&1); rc=$?
  check "name too long: status, no folder left" "1 missing" "$rc $(kind out2)"
  check "name too long: the reason" 1 "$(grep -c 'cannot write the file: File name too long$' <<<"$err")"
  mkdir kept
  err=$("$tool" testcard.sc5 -o "kept/$(printf 'f%0250d/' $(seq 25))x.png" 2>&1); rc=$?
  check "25 levels: status, only the folder that was there" "1 " "$rc $(ls -A kept)"
  check "25 levels: the reason" 1 "$(grep -c 'cannot make the folder for the file: File name too long$' <<<"$err")"
  # A folder another picture wrote into stays.
  "$tool" testcard.sc5 "$long" -o 'shared/{name}.png' 2>/dev/null
  check "shared folder kept with the file that succeeded" "1 testcard.sc5.png" "$? $(ls -A shared)"
  # A picture path longer than Windows' 259 characters loads on POSIX.
  deep=$(printf 'folder%03d/' $(seq 40))
  mkdir -p "$deep"; cp testcard.sc5 "$deep/pic.sc5"
  "$tool" "$deep/pic.sc5" -o '{dir}/{stem}.png'
  check "picture path of ${#deep} characters" yes "$([ -s "$deep/pic.png" ] && echo yes || echo no)"
  ;;

bad-input)
  # A body shorter than its header says loads with a warning and its missing byte count.
  head -c 1007 testcard.sc5 >short.sc5
  err=$("$tool" short.sc5 --info --json 2>&1 >out.json); rc=$?
  check "short body: loads" 0 "$rc"
  check "short body: missingBytes" 29368 "$(field missingBytes <out.json)"
  check "short body: warning" "vramoria-convert: warning: short.sc5: the file is 29368 bytes shorter than its header says; they are shown as zero" "$err"
  head -c 7 testcard.sc5 >header.sc5
  "$tool" header.sc5 --info 2>&1 >/dev/null | grep -c 'warning: header.sc5: the file is 30368 bytes shorter' >count
  check "header only: warning" 1 "$(cat count)"
  : >empty.sc5
  check "0 bytes: warning" 1 "$("$tool" empty.sc5 --info 2>&1 >/dev/null | grep -c 'warning: empty.sc5: the picture holds no bytes')"
  head -c 31 testcard.pl5 >short.pl5
  err=$("$tool" testcard.sc5 --palette-file short.pl5 -o never.png 2>&1); rc=$?
  check "short palette file: status" 1 "$rc"
  check "short palette file: named" "vramoria-convert: short.pl5: not a palette file (shorter than one 32-byte palette)" "$err"
  check "short palette file: nothing written" missing "$(kind never.png)"
  ;;

conventions)
  "$tool" testcard.sc5 -o expected.png
  "$tool" testcard.sc5 -o - >stdout.png
  check "-o -: PNG on standard output" same "$(same stdout.png expected.png)"
  "$tool" testcard.sc5 --format bsave -o - >stdout.sc5
  check "-o - with --format bsave" 30375 "$(stat -c %s stdout.sc5)"
  "$tool" testcard.sc5 -o - -o - >/dev/null 2>&1
  check "-o - twice: usage" 2 "$?"
  "$tool" testcard.sc5 testcard.sc6 -o - >/dev/null 2>&1
  check "-o - in a batch: usage" 2 "$?"
  "$tool" - -o stdin.png <testcard.sc5
  check "- reads standard input" same "$(same stdin.png expected.png)"
  # A failed write to standard output is an error, for every kind of output.
  for what in "testcard.sc5 --info" "testcard.sc5 --info --json" "testcard.sc5 -o -" "--help"; do
    err=$("$tool" $what 2>&1 >/dev/full); rc=$?
    check "/dev/full, $what: status" 1 "$rc"
    check "/dev/full, $what: message" 1 "$(grep -c 'cannot write to standard output: No space left on device' <<<"$err")"
  done
  check "-h is the help" "$("$tool" --help)" "$("$tool" -h)"
  # "--" ends the options.
  cp testcard.sc5 ./-x.sc5
  "$tool" -o dash.png -- -x.sc5 2>/dev/null
  check "-- then -x.sc5: a picture" "0 yes" "$? $([ -s dash.png ] && echo yes)"
  "$tool" -x.sc5 2>/dev/null
  check "-x.sc5 without --: an unknown option" 2 "$?"
  # Names that are not UTF-8 give valid JSON (U+FFFD); control characters are escaped.
  cp testcard.sc5 "$(printf 'bad\xff\xfe.sc5')"
  out=$("$tool" "$(printf 'bad\xff\xfe.sc5')" --info --json)
  check "JSON of a non-UTF-8 name" '"bad\ufffd\ufffd.sc5"' "$(field file <<<"$out")"
  cp testcard.sc5 "$(printf 'new\nline\033.sc5')"
  err=$("$tool" "$(printf 'new\nline\033.sc5')" --palette 3 2>&1)
  check "control characters escaped in messages" 'vramoria-convert: new\nline\033.sc5: file palette 3 is not available (the picture has no palette file)' "$err"
  check "control characters escaped in --info" 'file:            new\nline\033.sc5' "$("$tool" "$(printf 'new\nline\033.sc5')" --info | head -n 1)"
  check "control characters escaped in a usage error" "vramoria-convert: unknown option '-x\033[31m'" "$("$tool" "$(printf -- '-x\033[31m')" 2>&1 | head -n 1)"
  # On POSIX a backslash is part of a file name.
  cp testcard.sc5 'back\slash.sc5'
  "$tool" 'back\slash.sc5' -o '{dir}/{stem}.png'
  check "backslash: {dir} and {stem}" yes "$([ -s 'back\slash.png' ] && echo yes || echo no)"
  # -o naming a folder fails without making it.
  "$tool" testcard.sc5 -o sub/ 2>/dev/null
  check "-o sub/: fails" 1 "$?"
  check "-o sub/: no folder made" missing "$(kind sub)"
  "$tool" testcard.sc5 -o 'new/deeper/..' 2>/dev/null
  check "-o new/deeper/..: no folder made" missing "$(kind new)"
  # The progress line is cleared before a message, not after: the message starts a clean line.
  printf '\xfe\x00' >bad.sc5
  script -qec "'$tool' testcard.sc5 bad.sc5 testcard.sc6 --info >/dev/null" /dev/null >tty.txt 2>&1
  check "progress cleared before a message" 1 "$(grep -c $'\r\033\\[Kvramoria-convert: bad.sc5: not a BSAVE file' tty.txt)"
  ;;

streams)
  # The names of the process's own streams write to the stream, never rename over the file a
  # stream is redirected to; a name that only expands to "-" is a file.
  "$tool" testcard.sc5 -o expected.png
  for name in /dev/stdout /dev/fd/1 /proc/self/fd/1; do
    echo 'earlier line' >log.txt
    "$tool" testcard.sc5 -o $name >>log.txt; rc=$?
    check "$name >> log.txt: status" 0 "$rc"
    check "$name >> log.txt: the line kept, the PNG appended" "earlier line same" \
      "$(head -n 1 log.txt) $(tail -c +14 log.txt | same /dev/stdin expected.png)"
  done
  for name in /dev/stderr /dev/fd/2 /proc/self/fd/2; do
    echo 'earlier line' >err.log
    "$tool" testcard.sc5 --format bsave -o $name 2>>err.log; rc=$?
    check "$name 2>> err.log: status, line kept, BSAVE appended" "0 earlier line $((13 + 30375))" \
      "$rc $(head -n 1 err.log) $(stat -c %s err.log)"
  done
  check "/dev/stdout into a pipe" "$(stat -c %s expected.png)" "$("$tool" testcard.sc5 -o /dev/stdout | wc -c)"
  # Other links to a descriptor (/dev/stdin, a link to /dev/stdout, >(...)) are refused.
  ln -s /dev/stdout to-stdout
  cp log.txt log.orig
  err=$("$tool" testcard.sc5 -o to-stdout 2>&1 >>log.txt); rc=$?
  check "link to /dev/stdout: refused" "1 same" "$rc $(same log.txt log.orig)"
  check "link to /dev/stdout: message" "vramoria-convert: to-stdout: cannot write the file: not a regular file (an open stream of this process); only regular files are replaced" "$err"
  "$tool" testcard.sc5 -o /dev/stdin <log.txt 2>/dev/null
  check "/dev/stdin: refused, kept" "1 same" "$? $(same log.txt log.orig)"
  "$tool" testcard.sc5 testcard.sc6 -o /dev/stderr 2>/dev/null
  check "/dev/stderr in a batch: usage" 2 "$?"
  # "{stem}" of ./-.sc5 is the file ./-, in a batch too; standard output stays empty.
  cp testcard.sc5 ./-.sc5
  "$tool" ./-.sc5 testcard.sc6 -o '{stem}' >stdout.bin 2>/dev/null; rc=$?
  check "{stem} giving -: status, file ./-, nothing on standard output" "0 30375 0" \
    "$rc $(stat -c %s ./- 2>/dev/null) $(stat -c %s stdout.bin)"
  # Text and a picture on one stream are refused before anything runs.
  for words in "--info -o -" "-o - --info" "--info -o /dev/stdout"; do
    err=$("$tool" testcard.sc5 $words 2>&1 >stdout.bin); rc=$?
    check "$words: usage, nothing written" "2 0" "$rc $(stat -c %s stdout.bin)"
  done
  check "--info -o -: message" 1 "$(grep -c 'the text would be mixed into the picture' <<<"$err")"
  "$tool" testcard.sc5 --info -o /dev/stderr 2>/dev/null >/dev/null
  check "--info with -o /dev/stderr: two streams" 0 "$?"
  "$tool" testcard.sc5 -o '' 2>/dev/null
  check "-o '': usage" 2 "$?"
  ;;

*)
  echo "unknown case $case"; exit 2 ;;
esac

cli_summary "cli safety: $case"
