#!/usr/bin/python3
"""Takes the program's large pictures out of its resources, for the browser's site.

    pictures.py RES OUT_RES FOLDER CWEBP

RES is the .res file windres made of the program's .rc. Every bitmap resource with a
name (not a number) in 24 bits per pixel is written to FOLDER as NAME.webp, WebP's
lossless form with every pixel exact, and stays in OUT_RES, the resources the
WebAssembly carries, as an entry without data; everything else stays in OUT_RES as it
was. The page decodes the pictures for the program (the layer asks its back end for a
bitmap listed without pixels), and WebP's lossless coding takes the game's textured
pictures to about two thirds of what a gzip-compressed bitmap is.
"""
import os
import struct
import subprocess
import sys
import tempfile

RT_BITMAP = 2


def entries(res):
    """Each entry of a .res file: (type, name, header bytes, data bytes); a type or name
    is a number or a string."""
    off = 0
    while off + 8 <= len(res):
        size, header = struct.unpack_from("<II", res, off)
        if header < 16 or off + header + size > len(res):
            raise SystemExit("pictures.py: a damaged .res file")
        fields, p = [], off + 8
        for _ in range(2):
            if struct.unpack_from("<H", res, p)[0] == 0xFFFF:
                fields.append(struct.unpack_from("<H", res, p + 2)[0])
                p += 4
            else:
                end = p
                while struct.unpack_from("<H", res, end)[0]:
                    end += 2
                fields.append(res[p:end].decode("utf-16-le"))
                p = end + 2
        yield fields[0], fields[1], res[off:off + header], res[off + header:off + header + size]
        off = (off + header + size + 3) & ~3


def rgb_of_dib(dib):
    """A 24-bit DIB without compression as (width, height, RGB rows top-down), or None."""
    if len(dib) < 40:
        return None
    hsize, w, h, planes, bits, compression = struct.unpack_from("<IiiHHI", dib, 0)
    if hsize < 40 or bits != 24 or compression != 0 or w <= 0 or h == 0:
        return None
    stride = (w * 3 + 3) & ~3
    pixels = dib[hsize:]
    if len(pixels) < stride * abs(h):
        return None
    rows = []
    for y in range(abs(h)):
        row = pixels[y * stride:y * stride + w * 3]
        rgb = bytearray(w * 3)
        rgb[0::3], rgb[1::3], rgb[2::3] = row[2::3], row[1::3], row[0::3]
        rows.append(bytes(rgb))
    if h > 0:
        rows.reverse()  # bottom-up
    return w, abs(h), rows


def main():
    source, target, folder, cwebp = sys.argv[1:5]
    res = open(source, "rb").read()
    os.makedirs(folder, exist_ok=True)
    for old in os.listdir(folder):  # a picture the resources no longer have goes too
        if old.endswith(".webp"):
            os.remove(os.path.join(folder, old))
    kept = bytearray()
    for kind, name, header, data in entries(res):
        picture = rgb_of_dib(data) if kind == RT_BITMAP and isinstance(name, str) else None
        if picture is None:
            kept += header + data
            kept += bytes(-len(kept) % 4)
            continue
        w, h, rows = picture
        kept += struct.pack("<I", 0) + header[4:]
        kept += bytes(-len(kept) % 4)
        with tempfile.NamedTemporaryFile(suffix=".ppm") as ppm:
            ppm.write(b"P6\n%d %d\n255\n" % (w, h) + b"".join(rows))
            ppm.flush()
            subprocess.run([cwebp, "-quiet", "-lossless", "-exact", "-z", "9", ppm.name, "-o",
                            os.path.join(folder, name.upper() + ".webp")], check=True)
    with open(target, "wb") as f:
        f.write(kept)
    return 0


if __name__ == "__main__":
    sys.exit(main())
