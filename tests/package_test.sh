#!/usr/bin/env bash
# What cmake --install and CPack deliver: natively vramoria-convert, its man page and the docs;
# the Windows ZIP with both programs, the README and the licence.
# Usage: package_test.sh NATIVE-BUILD WIN32-BUILD
set -uo pipefail
native=$1
win32=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
expect() {  # expect LIST-FILE PATH...
  local list=$1; shift
  for f in "$@"; do
    grep -qx -- "$f" "$list" || { echo "package: $f is missing"; status=1; }
  done
}

cmake --install "$native" --prefix "$work/prefix" >/dev/null || status=1
(cd "$work/prefix" && find . -type f | sed 's|^\./||' | sort) >"$work/native.txt"
expect "$work/native.txt" bin/vramoria-convert share/man/man1/vramoria-convert.1 \
  share/doc/Vramoria/README.md share/doc/Vramoria/LICENSE
"$work/prefix/bin/vramoria-convert" --help >/dev/null || { echo "package: installed tool does not run"; status=1; }

if [ -f "$win32/shell/vramoria.exe" ]; then
  (cd "$win32" && cpack -B "$work/cpack" >/dev/null) || status=1
  zip=$(ls "$work"/cpack/*.zip 2>/dev/null | head -n 1)
  if [ -z "$zip" ]; then
    echo "package: no ZIP made"; status=1
  else
    python3 -c 'import sys, zipfile; print("\n".join(zipfile.ZipFile(sys.argv[1]).namelist()))' "$zip" |
      sed 's|^[^/]*/||' | sort >"$work/zip.txt"
    expect "$work/zip.txt" vramoria.exe vramoria-convert.exe README.md LICENSE
  fi
fi
[ $status -eq 0 ] && echo "package: install and ZIP complete"
exit $status
