# Shared by the vramoria-convert test scripts (sourced): a scratch folder removed on exit, the
# real pictures' folder, and the checks with their tally. The script ends with cli_summary NAME.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/../scripts/lib/pictures.sh"
pictures=$(vramoria_pictures "$(cd "$here/.." && pwd)")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0
failed=0

check() {  # check NAME EXPECTED ACTUAL
  if [ "$2" == "$3" ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    printf 'FAIL %s\n  expected: %s\n  actual:   %s\n' "$1" "$2" "$3"
  fi
}

# field KEY: one key of the JSON object on the first line of standard input.
field() { python3 -c 'import json,sys; o=json.loads(sys.stdin.readline()); print(json.dumps(o[sys.argv[1]]))' "$1"; }

cli_summary() {  # cli_summary NAME: the closing count, and the exit status
  echo "$1: $passed passed, $failed failed"
  [ "$failed" -eq 0 ]
}
