#!/usr/bin/env bash
# End-to-end checks of vramoria-convert's picture output: -o FILE.bmp, -o FILE.png, --view and
# conversionTable in --info, for one picture of every mode, and whole-or-nothing writing.
# The BMP and PNG files are read back by small decoders written here in Python (the PNG one on
# zlib alone, checking every chunk's CRC), independent of the program's own code and of libpng.
# Usage: cli_render_test.sh PATH/TO/vramoria-convert
set -u
tool=$1
source "$(dirname "$0")/cli_lib.sh"

cat >"$work/images.py" <<'PY'
"""Decoders for the files under test and the checks that compare them."""
import struct, sys, zlib

def bmp(path):
    """(width, height, rows of (r, g, b), top line first, header fields) of a BI_RGB BMP."""
    d = open(path, "rb").read()
    kind, size, _, off = struct.unpack_from("<2sIII", d, 0)
    hsize, w, h, planes, bpp, comp, isize, xppm, yppm, used, important = struct.unpack_from("<IiiHHIIiiII", d, 14)
    assert kind == b"BM" and size == len(d) and hsize == 40 and comp == 0 and h > 0
    table = [d[54 + 4 * i:54 + 4 * i + 3][::-1] for i in range((off - 54) // 4)]
    stride = (w * bpp + 31) // 32 * 4
    rows = []
    for y in range(h):
        r = d[off + (h - 1 - y) * stride:][:stride]
        if bpp == 4:
            rows.append([table[(r[x // 2] >> (0 if x % 2 else 4)) & 15] for x in range(w)])
        elif bpp == 8:
            rows.append([table[r[x]] for x in range(w)])
        else:
            rows.append([r[3 * x:3 * x + 3][::-1] for x in range(w)])
    return w, h, rows, dict(size=size, off=off, bpp=bpp, xppm=xppm, yppm=yppm, used=used)

def png(path, meta=None):
    """(width, height, rows of (r, g, b)) of an 8-bit RGB PNG or a 4- or 8-bit palette PNG;
    every CRC is checked. meta, a dict, receives IHDR's depth and colour type and pHYs."""
    d = open(path, "rb").read()
    assert d[:8] == b"\x89PNG\r\n\x1a\n", "signature"
    at, idat, ihdr, plte, phys = 8, b"", None, None, None
    while at < len(d):
        n, t = struct.unpack_from(">I4s", d, at)
        body = d[at + 8:at + 8 + n]
        assert struct.unpack_from(">I", d, at + 8 + n)[0] == zlib.crc32(t + body), "CRC of " + t.decode()
        if t == b"IHDR": ihdr = struct.unpack(">IIBBBBB", body)
        if t == b"PLTE": assert plte is None and idat == b"" and n % 3 == 0 and 0 < n <= 768; plte = body
        if t == b"pHYs": assert n == 9 and idat == b""; phys = struct.unpack(">IIB", body)
        if t == b"IDAT": idat += body
        at += 12 + n
        if t == b"IEND": break
    w, h, depth, colour, _, _, interlace = ihdr
    assert (depth, colour) in ((8, 2), (4, 3), (8, 3)) and interlace == 0, ihdr
    assert (plte is not None) == (colour == 3), "PLTE with colour type 3 only"
    if meta is not None: meta.update(depth=depth, colour=colour, phys=phys)
    bpp = 3 if colour == 2 else 1  # bytes to the corresponding byte of the pixel on the left
    stride = (w * (3 * 8 if colour == 2 else depth) + 7) // 8
    raw, prev, rows, p = zlib.decompress(idat), bytearray(stride), [], 0
    assert len(raw) == h * (1 + stride), "image data size"
    for y in range(h):
        f, line = raw[p], bytearray(raw[p + 1:p + 1 + stride]); p += 1 + stride
        assert f <= 4, "filter type"
        for i in range(stride):
            a = line[i - bpp] if i >= bpp else 0
            b, c = prev[i], prev[i - bpp] if i >= bpp else 0
            if f == 1: line[i] = (line[i] + a) & 255
            elif f == 2: line[i] = (line[i] + b) & 255
            elif f == 3: line[i] = (line[i] + (a + b) // 2) & 255
            elif f == 4:
                pa, pb, pc = abs(b - c), abs(a - c), abs(a + b - 2 * c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        if colour == 2:
            rows.append([bytes(line[3 * x:3 * x + 3]) for x in range(w)])
        else:
            # 4-bit pixels: the left one in the high nibble.
            idx = list(line) if depth == 8 else [line[x // 2] >> (4 - 4 * (x % 2)) & 15 for x in range(w)]
            assert max(idx) < len(plte) // 3, "palette index beyond PLTE"
            rows.append([plte[3 * i:3 * i + 3] for i in idx])
        prev = line
    return w, h, rows

def mean(a, b):
    """The 1:1 pane's colour of two adjacent pixels: per channel, low three bits dropped."""
    out = []
    for u, v in zip(a, b):
        s = (u & 0xF8) + (v & 0xF8)
        out.append((s >> 1) + (s >> 6))
    return bytes(out)

def main():
    cmd = sys.argv[1]
    if cmd == "header":  # header BMP: size offset bpp width xppm yppm
        w, h, _, f = bmp(sys.argv[2])
        print(f["size"], f["off"], f["bpp"], w, h, f["xppm"], f["yppm"])
    elif cmd == "same":  # same BMP PNG: the PNG shows the bitmap's pixels
        _, _, a, _ = bmp(sys.argv[2]); _, _, b = png(sys.argv[3])
        print("same" if a == b else "differ")
    elif cmd == "small":  # small BMP PNG: the 1:1 pane
        w, h, a, _ = bmp(sys.argv[2]); pw, ph, b = png(sys.argv[3])
        want = [[mean(r[2 * x], r[2 * x + 1]) for x in range(256)] for r in a] if w == 512 else a
        print(pw, ph, "same" if b == want else "differ")
    elif cmd == "large":  # large BMP PNG: the doubled pane
        w, h, a, _ = bmp(sys.argv[2]); pw, ph, b = png(sys.argv[3])
        want = [[r[x * w // 512] for x in range(512)] for r in a for _ in (0, 1)]
        print(pw, ph, "same" if b == want else "differ")
    elif cmd == "rows":  # rows BMP PICTURE BYTES_PER_LINE: raw rows are the VRAM lines, bottom-up
        d = open(sys.argv[2], "rb").read(); v = open(sys.argv[3], "rb").read()[7:]
        off = struct.unpack_from("<I", d, 10)[0]; n = int(sys.argv[4])
        print("same" if all(d[off + (211 - y) * n:][:n] == v[y * n:(y + 1) * n] for y in range(212)) else "differ")
    elif cmd == "format":  # format PNG...: bit depth, colour type and pHYs (x:y:unit) of each
        out = []
        for path in sys.argv[2:]:
            m = {}; png(path, m); p = m["phys"]
            out.append("%d/%d/%s" % (m["depth"], m["colour"], "%d:%d:%d" % p if p else "-"))
        print(" ".join(out))
    elif cmd == "pixel":  # pixel PNG X Y
        _, _, b = png(sys.argv[2]); print(b[int(sys.argv[4])][int(sys.argv[3])].hex())

main()
PY
img() { python3 "$work/images.py" "$@"; }

# One picture a mode: pseudo-random bytes with the palette table at the end, as BASIC's
# BSAVE ,S writes it (0x7680 for SCREEN 5/6, 0xFA80 for the others).
python3 - "$work" <<'PY'
import struct, sys
d = sys.argv[1]
seed = 7
def noise(n):
    global seed
    out = bytearray()
    for _ in range(n):
        seed = (seed * 1103515245 + 12345) & 0x7FFFFFFF
        out.append(seed >> 16 & 255)
    return bytes(out)
palette = bytes([0x00, 0, 0x70, 1, 0x07, 2, 0x77, 7] * 4)
for ext, table in (("sc5", 0x7680), ("sc6", 0x7680), ("sc7", 0xFA80), ("sc8", 0xFA80), ("sca", 0xFA80), ("scc", 0xFA80)):
    body = noise(table) + palette
    open(f"{d}/pic.{ext}", "wb").write(struct.pack("<BHHH", 0xFE, 0, len(body) - 1, 0) + body)
# A SCREEN 8 picture of 100 lines and one byte: the lines below it are black.
body = bytes([0xFF]) * (100 * 256 + 1)
open(f"{d}/short.sc8", "wb").write(struct.pack("<BHHH", 0xFE, 0, len(body) - 1, 0) + body)
PY

# ext  mode          bfSize bfOffBits bpp width xPelsPerMeter conversionTable bytes-per-line
while read -r ext mode size off bpp width xppm table line; do
  pic="$work/pic.$ext"
  out=$("$tool" "$pic" -o "$work/$ext.bmp" -o "$work/$ext.png" --view small -o "$work/$ext-small.png" \
        --view large -o "$work/$ext-large.png" --view full -o "$work/$ext-full.png" --info --json)
  check "$ext: exit status" 0 $?
  check "$ext: mode" "\"${mode//_/ }\"" "$(field mode <<<"$out")"
  check "$ext: conversionTable" "$table" "$(field conversionTable <<<"$out")"
  check "$ext: BMP header" "$size $off $bpp $width 212 $xppm 9000" "$(img header "$work/$ext.bmp")"
  check "$ext: BMP file size" "$size" "$(stat -c %s "$work/$ext.bmp")"
  check "$ext: PNG shows the bitmap" same "$(img same "$work/$ext.bmp" "$work/$ext.png")"
  check "$ext: --view full is the default" "" "$(cmp "$work/$ext.png" "$work/$ext-full.png")"
  check "$ext: small view" "256 212 same" "$(img small "$work/$ext.bmp" "$work/$ext-small.png")"
  check "$ext: large view" "512 424 same" "$(img large "$work/$ext.bmp" "$work/$ext-large.png")"
  # Palette PNGs for the 16- and 256-colour modes (the noise in YJK has far more than 256
  # colours); full, small, large. Only the 512-wide full view says its pixels are half as wide
  # as high (pHYs in pixels per metre, unit 1 = metre).
  case $ext in
    sc5) want="4/3/- 4/3/- 4/3/-" ;;
    sc6|sc7) want="4/3/18000:9000:1 8/3/- 4/3/-" ;;
    sc8) want="8/3/- 8/3/- 8/3/-" ;;
    *) want="8/2/- 8/2/- 8/2/-" ;;
  esac
  check "$ext: PNG depth/colour type/pHYs" "$want" \
    "$(img format "$work/$ext.png" "$work/$ext-small.png" "$work/$ext-large.png")"
  if [ "$line" != - ]; then
    check "$ext: rows are the VRAM lines" same "$(img rows "$work/$ext.bmp" "$pic" "$line")"
  fi
done <<'EOF'
sc5 SCREEN_5     27254  118 4  256 8000  205152 128
sc6 SCREEN_6     54390  118 4  512 16000 296201 -
sc7 SCREEN_7     54390  118 4  512 16000 28832  256
sc8 SCREEN_8     55350  1078 8 256 8000  0      256
sca SCREEN_10/11 162870 54 24  256 8000  720896 -
scc SCREEN_12    162870 54 24  256 8000  720896 -
EOF
# (The mode names above have "_" for the blank, which read would split on.)

# The text form names the same word.
check "text info: conversions" "conversions:     0x00032160" "$("$tool" "$work/pic.sc5" --info | grep '^conversions:')"

# A short picture: line 100 holds the last byte (white, 0xFF) and is shown whole, its other
# bytes being zero (black); lines 101-211 are black.
"$tool" "$work/short.sc8" -o "$work/short.png" >/dev/null
check "short: line 99" ffffff "$(img pixel "$work/short.png" 255 99)"
check "short: line 100, last byte" ffffff "$(img pixel "$work/short.png" 0 100)"
check "short: line 100, after it" 000000 "$(img pixel "$work/short.png" 1 100)"
check "short: line 101" 000000 "$(img pixel "$work/short.png" 0 101)"

# Whole-or-nothing writing. A folder that does not exist yet is made.
"$tool" "$work/pic.sc5" -o "$work/missing/deeper/out.png"
check "missing folder: exit status" 0 $?
check "missing folder: made" yes "$([ -s "$work/missing/deeper/out.png" ] && echo yes || echo no)"
# A target that is a folder stays as it was.
mkdir "$work/target.bmp"
touch "$work/target.bmp/inside"
err=$("$tool" "$work/pic.sc5" -o "$work/target.bmp" 2>&1 >/dev/null)
check "folder target: exit status" 1 $?
check "folder target: names the file" "vramoria-convert: $work/target.bmp:" "${err%% cannot*}"
check "folder target: untouched" inside "$(ls "$work/target.bmp")"
# An existing file is replaced whole, and no temporary file is left beside it.
mkdir "$work/replace"
echo old >"$work/replace/pic.bmp"
"$tool" "$work/pic.sc7" -o "$work/replace/pic.bmp"
check "replace: new size" 54390 "$(stat -c %s "$work/replace/pic.bmp")"
check "replace: nothing else in the folder" pic.bmp "$(ls -A "$work/replace")"
# A step that fails stops the run: nothing after it is written.
"$tool" "$work/pic.sc5" -o "$work/target.bmp" -o "$work/after.bmp" 2>/dev/null
check "failure stops later steps" no "$([ -e "$work/after.bmp" ] && echo yes || echo no)"

# Usage errors.
"$tool" "$work/pic.sc5" --view huge -o "$work/x.png" 2>/dev/null
check "--view huge: usage error" 2 $?
check "--view huge: nothing written" no "$([ -e "$work/x.png" ] && echo yes || echo no)"

# The real pictures (not part of the repository): every one that loads gives a PNG with the
# pixels of its bitmap.
if [ -d "$pictures" ]; then
  for pic in "$pictures"/msxgl_IMAGE01.* "$pictures"/fusionc_mona.sc5 "$pictures"/msxgl_data.sc8; do
    name=$(basename "$pic")
    mode=()
    [ "${name##*.}" = s12 ] && mode=(--mode 12)  # SCREEN 12 data under an extension not known
    "$tool" "$pic" "${mode[@]}" -o "$work/real.bmp" -o "$work/real.png"
    check "$name: written" 0 $?
    check "$name: PNG shows the bitmap" same "$(img same "$work/real.bmp" "$work/real.png")"
  done
else
  echo "cli_render_test: $pictures is absent; the real-picture checks are skipped"
fi

cli_summary "cli render"
