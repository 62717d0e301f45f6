#!/usr/bin/env bash
# No function of the programs' own code runs past 80 lines. The checker is shown a function of
# 81 lines (and one of 80) first, so that a checker that finds nothing cannot pass.
# Usage: function_length_test.sh SOURCE-ROOT
set -u
root=$1
checker="$root/tools/function_lengths.py"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

make_function() {  # make_function NAME LINES: a function of LINES lines, braces and strings in it
  printf 'int %s(int x) {\n' "$1"
  for ((i = 0; i < $2 - 3; ++i)); do printf '    x += "}{"[0] + %d;  // }\n' "$i"; done
  printf '    return x;\n}\n'
}
{ make_function Long 81; make_function Fits 80; } >"$work/sample.cpp"
report=$(python3 "$checker" 80 "$work/sample.cpp")
status=$?
failed=0
if [ "$status" -ne 1 ] || [ "$report" != "$work/sample.cpp:1: Long: 81 lines (limit 80)" ]; then
  printf 'FAIL the checker does not find the 81-line function alone:\n%s\n' "$report"
  failed=1
fi

folders=(image palette render convert import info api codec platform cli shell)
files=()
for folder in "${folders[@]}"; do files+=("$root/$folder"/*.cpp); done
if ! python3 "$checker" 80 "${files[@]}"; then
  echo "FAIL functions over 80 lines (above)"
  failed=1
fi
[ "$failed" -eq 0 ] && echo "function lengths: ${#files[@]} files, none over 80 lines"
exit "$failed"
