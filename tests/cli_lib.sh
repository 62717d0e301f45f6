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

# big_png FILE: an 8192 x 8192 1-bit grey PNG of alternating stripes, about 19 KB: 192 MiB as RGB.
big_png() {
  python3 - "$1" <<'PY'
import struct, sys, zlib
w = h = 8192
raw = b"".join(b"\0" + bytes([0x55 if y % 2 else 0xAA]) * (w // 8) for y in range(h))
def chunk(t, d): return struct.pack(">I", len(d)) + t + d + struct.pack(">I", zlib.crc32(t + d))
open(sys.argv[1], "wb").write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 1, 0, 0, 0, 0)) +
                              chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))
PY
}

cli_summary() {  # cli_summary NAME: the closing count, and the exit status
  echo "$1: $passed passed, $failed failed"
  [ "$failed" -eq 0 ]
}
