#!/usr/bin/env bash
# The file-manager integration: the MIME package, the thumbnailer entry, what `cmake --install`
# puts in place, and that every place showing the version shows the project's version.
# Usage: mime_test.sh PATH/TO/vramoria-convert NATIVE-BUILD-FOLDER PROJECT-VERSION
set -u
tool=$1
build=$2
version=$3
samples_dir=$build/samples
source "$(dirname "$0")/cli_lib.sh"
root=$(cd "$here/.." && pwd)
package=$root/share/mime/packages/vramoria.xml
thumbnailer=$root/share/thumbnailers/vramoria.thumbnailer
skip() { echo "skip $1"; }

# --- the package: well-formed, exactly the loader's extensions, both languages -----------------
# The extensions the loader recognises by name (pictures) and the palette files.
pictures_ext="sc5 sc6 sc7 sc8 sca scb scc sr5 sr6 sr7 sr8 srs sra src s10 s11 s12 ge5 ge7 sc1 sc2 sc3 sc4 s02 s04 grp"
palettes_ext="pl5 pl7"
report=$(python3 - "$package" "$thumbnailer" <<'PY' 2>&1
import sys, xml.etree.ElementTree as ET
ns = "{http://www.freedesktop.org/standards/shared-mime-info}"
lang = "{http://www.w3.org/XML/1998/namespace}lang"
try:
    root = ET.parse(sys.argv[1]).getroot()
except ET.ParseError as e:
    print("not well-formed:", e); sys.exit()
types = {}
for t in root.findall(ns + "mime-type"):
    comments = {c.get(lang, "en") for c in t.findall(ns + "comment")}
    globs = [g.get("pattern") for g in t.findall(ns + "glob")]
    types[t.get("type")] = (sorted(comments), globs)
for name in sorted(types):
    comments, globs = types[name]
    print("type", name, ",".join(comments), " ".join(g[2:] if g.startswith("*.") else "BAD:" + g for g in globs))
entry = dict(l.rstrip("\n").split("=", 1) for l in open(sys.argv[2]) if "=" in l)
for m in filter(None, entry.get("MimeType", "").split(";")):
    print("thumbnails", m, "known" if m in types else "unknown", "image" if m.startswith("image/") else "other")
print("exec", entry.get("Exec"))
print("tryexec", entry.get("TryExec"))
PY
)
check "package is well-formed" "" "$(grep '^not well-formed' <<<"$report")"
globs=$(awk '$1 == "type" { for (i = 4; i <= NF; i++) print $i }' <<<"$report" | sort | tr '\n' ' ')
check "globs are exactly the loader's extensions, each once" \
  "$(tr ' ' '\n' <<<"$pictures_ext $palettes_ext" | sort | tr '\n' ' ')" "$globs"
check "three types, each with an English and a Japanese comment" "3 3" \
  "$(grep -c '^type' <<<"$report") $(grep -c '^type [^ ]* en,ja ' <<<"$report")"
check "palettes are a type of their own" "pl5 pl7" \
  "$(awk '$1 == "type" && $2 ~ /palette/ { $1 = $2 = $3 = ""; print }' <<<"$report" | xargs)"
check "thumbnailer: TryExec" "vramoria-convert" "$(awk '$1 == "tryexec" { print $2 }' <<<"$report")"
check "thumbnailer: Exec" "vramoria-convert %i --mode auto-unnamed --thumbnail %s -o %o" "$(sed -n 's/^exec //p' <<<"$report")"
check "thumbnailer: its MimeType types are the package's picture types" \
  "thumbnails image/x-msx-compressed-picture known image thumbnails image/x-msx-picture known image" \
  "$(grep '^thumbnails' <<<"$report" | sort | tr '\n' ' ' | xargs)"

# The package through the real database builder, and its magic on real headers: the samples and
# the real pictures (all whole-screen BSAVE files) match; near misses do not.
if command -v update-mime-database >/dev/null; then
  mkdir -p "$work/mime/packages"
  cp "$package" "$work/mime/packages/"
  if XDG_DATA_DIRS=$work update-mime-database "$work/mime" 2>"$work/umd.log" && [ ! -s "$work/umd.log" ]; then
    check "update-mime-database: every glob in globs2" "27 1" \
      "$(grep -cE '^50:(image/x-msx-(compressed-)?picture|application/x-msx-palette):\*\.' "$work/mime/globs2") $(grep -c '^30:image/x-msx-picture:\*\.grp$' "$work/mime/globs2")"
    check "update-mime-database: two weak magic rules" "2" "$(grep -ac '^\[20:image/x-msx' "$work/mime/magic")"
  else
    check "update-mime-database accepts the package" "" "$(cat "$work/umd.log")"
  fi
else
  skip "update-mime-database: not installed"
fi
python3 - "$work" <<'PY'
import struct, sys
d = sys.argv[1]
open(d + "/exec.bin", "wb").write(struct.pack("<BHHH", 0xFE, 0, 0x769F, 0xC000) + bytes(16))
open(d + "/start.bin", "wb").write(struct.pack("<BHHH", 0xFE, 0x100, 0x769F, 0) + bytes(16))
open(d + "/utf16.bin", "wb").write("\ufeffhello".encode("utf-16-be"))
PY
magic=$(python3 - "$package" "$samples_dir" "$pictures" "$work" <<'PY'
import os, sys, xml.etree.ElementTree as ET
ns = "{http://www.freedesktop.org/standards/shared-mime-info}"
def value(m):
    if m.get("type") == "string":
        return m.get("value").encode("latin-1").decode("unicode_escape").encode("latin-1")
    return int(m.get("value"), 0).to_bytes(2, "little")
def matches(m, data):
    off, want = int(m.get("offset")), value(m)
    if data[off:off + len(want)] != want: return False
    subs = m.findall(ns + "match")
    return not subs or any(matches(s, data) for s in subs)
rules = [(t.get("type").split("/")[1], mg) for t in ET.parse(sys.argv[1]).getroot().findall(ns + "mime-type")
         for mg in t.findall(ns + "magic")]
for folder in sys.argv[2:]:
    if not os.path.isdir(folder): continue
    for name in sorted(os.listdir(folder)):
        path = os.path.join(folder, name)
        if not os.path.isfile(path) or name.endswith((".md", ".pl5", ".pl7", ".png")): continue
        data = open(path, "rb").read(16)
        hits = [t for t, mg in rules if any(matches(m, data) for m in mg.findall(ns + "match"))]
        print(name, hits[0] if len(hits) == 1 else "none" if not hits else "several")
PY
)
magic=$(sed 's/^/ /' <<<"$magic")
for name in exec.bin start.bin utf16.bin; do
  check "magic: $name is no picture" " $name none" "$(grep "^ $name " <<<"$magic")"
done
for card in sc5 sc6 sc7 sc8 sca scc; do
  check "magic: testcard.$card is a plain picture" " testcard.$card x-msx-picture" "$(grep "^ testcard.$card " <<<"$magic")"
done
check "magic: testcard.sr5 is a compressed picture" " testcard.sr5 x-msx-compressed-picture" "$(grep "^ testcard.sr5 " <<<"$magic")"
if [ -d "$pictures" ]; then
  # Every real picture under a picture name is a whole-screen BSAVE file.
  for picture in "$pictures"/*.s[c1]?; do
    name=$(basename "$picture")
    check "magic: real $name is a plain picture" " $name x-msx-picture" "$(grep "^ $name " <<<"$magic")"
  done
else
  skip "magic on real pictures: $pictures is not there"
fi

# --- cmake --install into a scratch prefix -------------------------------------------------------
prefix=$work/prefix
if cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1; then
  for file in share/mime/packages/vramoria.xml share/thumbnailers/vramoria.thumbnailer \
              share/man/man1/vramoria-convert.1 bin/vramoria-convert; do
    check "installed: $file" "present" "$([ -f "$prefix/$file" ] && echo present || echo missing)"
  done
  check "installed package is the source's" "same" \
    "$(cmp -s "$package" "$prefix/share/mime/packages/vramoria.xml" && echo same || echo differs)"
  check "nothing but the listed files installed" "" \
    "$(cd "$prefix" && find . -type f | grep -vE '^\./(bin/vramoria-convert|share/(mime/packages/vramoria\.xml|thumbnailers/vramoria\.thumbnailer|man/man1/vramoria-convert\.1|doc/[^/]+/(README\.md|LICENSE)))$')"
  man=$prefix/share/man/man1/vramoria-convert.1
  for option in thumbnail version; do
    check "man page documents --$option" "entry" "$(grep -A1 '^\.TP' "$man" | grep -q "^\.BI\? \\\\-\\\\-$option\b" && echo entry)"
  done
else
  check "cmake --install" "0" "failed: $(tail -n 3 "$work/install.log")"
fi

# --- one version everywhere ----------------------------------------------------------------------
header=$build/generated/vramoria_version.h
check "generated header: the project version" "#define VRAMORIA_VERSION \"$version\"" \
  "$(grep '^#define VRAMORIA_VERSION ' "$header")"
check "man page: the project version" "\"Vramoria $version\"" "$(sed -n 's/^\.TH .*"[^"]*" \("Vramoria [^"]*"\).*/\1/p' "$root/docs/vramoria-convert.1")"
# The resource script through the cross build's preprocessor, as windres reads it.
if command -v i686-w64-mingw32-cpp >/dev/null; then
  rc=$(i686-w64-mingw32-cpp -DRC_INVOKED -xc -I "$root" -I "$build/generated" "$root/resources/vramoria.rc" 2>&1 | tr -s ' ')
  fixed=$(sed 's/\([0-9]*\)\.\([0-9]\)\([0-9]\)/\1, \2, \3, 1/' <<<"$version")
  check ".rc: FILEVERSION" "FILEVERSION $fixed" "$(grep -o '^FILEVERSION .*' <<<"$rc")"
  check ".rc: PRODUCTVERSION" "PRODUCTVERSION $fixed" "$(grep -o '^PRODUCTVERSION .*' <<<"$rc")"
  check ".rc: version strings" "VALUE \"FileVersion\", \"$version\" VALUE \"ProductVersion\", \"$version\"" \
    "$(grep -oE 'VALUE "(File|Product)Version", "[^"]*"' <<<"$rc" | tr '\n' ' ' | xargs -0 | sed 's/ $//')"
  check ".rc: About box" "LTEXT \"Vramoria version \" \"$version\"" "$(grep -o 'LTEXT "Vramoria version " "[^"]*"' <<<"$rc")"
else
  skip ".rc version: i686-w64-mingw32-cpp is not installed"
fi
check "--version" "vramoria-convert $version" "$("$tool" --version)"

# --- the thumbnailer's Exec line, run as a file manager runs it -----------------------------------
# %i the input path, %s the size, %o the output PNG; vramoria-convert found on PATH as TryExec says.
# Each thumbnail's longer side is exactly SIZE; at 256 it is the small view itself.
png_size() { python3 -c 'import struct,sys; d=open(sys.argv[1],"rb").read(24); print("%dx%d" % struct.unpack(">II", d[16:24]) if d[:8] == b"\x89PNG\r\n\x1a\n" else "not-png")' "$1"; }
exec_line=$(sed -n 's/^Exec=//p' "$thumbnailer")
bin=$(cd "$(dirname "$tool")" && pwd)
thumbs=()
for picture in "$samples_dir"/testcard.s* "$pictures"/*.s[c1]?; do
  [ -f "$picture" ] || continue
  name=$(basename "$picture")
  for size in 128 256; do
    out=$work/thumb-$size-$name.png
    command=${exec_line//%i/\'$picture\'}
    command=${command//%s/$size}
    command=${command//%o/\'$out\'}
    PATH=$bin:$PATH sh -c "$command" >/dev/null 2>&1
    check "thumbnail $name at $size: exit status" "0" "$?"
    got=$(png_size "$out" 2>/dev/null)
    longer=$(tr 'x' '\n' <<<"$got" | sort -n | tail -n 1)
    check "thumbnail $name at $size: longer side" "$size" "$longer"
  done
  "$tool" "$picture" --view small -o "$work/small-$name.png" >/dev/null 2>&1
  if command -v compare >/dev/null; then
    check "thumbnail $name at 256: the small view's pixels" "0" \
      "$(compare -metric AE "$work/thumb-256-$name.png" "$work/small-$name.png" null: 2>&1)"
  fi
done

cli_summary mime_test
