#!/usr/bin/env bash
# Memcheck over the native unit tests and over vramoria-convert on every sample and every real
# picture (each through every output form), and over one process converting all of them, where
# a leak would add up. Usage: valgrind_test.sh NATIVE-BUILD-FOLDER
set -uo pipefail
build=$1
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../scripts/lib/pictures.sh"
pictures=$(vramoria_pictures "$(cd "$here/.." && pwd)")
tool=$build/cli/vramoria-convert
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
vg=(valgrind --quiet --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite,indirect)
status=0

run() {  # run LABEL COMMAND...: fails on any memcheck error or leak (exit 99) or a usage error
  "${vg[@]}" "${@:2}" >/dev/null 2>"$work/vg.log"
  local rc=$?
  if [ $rc -eq 99 ] || [ $rc -eq 2 ]; then
    echo "valgrind: $1: exit status $rc"
    cat "$work/vg.log"
    status=1
  fi
}

run "unit tests" "$build/tests/vramoria_tests"

files=("$build"/samples/testcard.*)
if [ -d "$pictures" ]; then
  files+=("$pictures"/*.sc? "$pictures"/*.s12 "$pictures"/*.pic "$pictures"/*.pl5)
else
  echo "valgrind: $pictures is absent, real pictures not checked"
fi
checked=0
for f in "${files[@]}"; do
  run "$(basename "$f")" "$tool" "$f" --info --json -o "$work/x.bmp" --view small -o "$work/x.png" \
      --palette standard -o "$work/x.bsave"
  checked=$((checked + 1))
done
# One process, many pictures: what one picture leaks, forty would show forty times.
many=()
for _ in 1 2 3 4 5; do many+=("${files[@]}"); done
run "batch of ${#many[@]}" "$tool" "${many[@]}" --info -o "$work/batch/{name}.{ext}" -o "$work/batch/{name}.png"
echo "valgrind: $checked pictures and a batch of ${#many[@]} checked"
exit $status
