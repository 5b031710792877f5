#!/usr/bin/python3
"""Writes small valid inputs for each fuzz target into <out>/<target>/."""
import io
import os
import struct
import subprocess
import sys
import tempfile

from PIL import Image


def picture(mode, size=(13, 7)):
    img = Image.new("RGB", size)
    img.putdata([((x * 37) % 256, (y * 51) % 256, (x * y * 11) % 256)
                 for y in range(size[1]) for x in range(size[0])])
    return img.convert(mode) if mode != "RGB" else img


def save(img, fmt, **kw):
    buf = io.BytesIO()
    img.save(buf, fmt, **kw)
    return buf.getvalue()


def bmp_seeds():
    yield "rgb24.bmp", save(picture("RGB"), "BMP")
    yield "pal8.bmp", save(picture("P"), "BMP")
    yield "gray.bmp", save(picture("L"), "BMP")
    yield "bw.bmp", save(picture("1"), "BMP")
    yield "rgba32.bmp", save(picture("RGBA"), "BMP")
    # An 8-bit run-length file, 4 x 2, two palette entries.
    rle = b"\x04\x01\x00\x00\x02\x00\x02\x01\x00\x00\x00\x01"
    info = struct.pack("<IiiHHIIiiII", 40, 4, 2, 1, 8, 1, len(rle), 2835, 2835, 2, 2)
    palette = b"\x00\x00\xff\x00\xff\x00\x00\x00"
    offset = 14 + 40 + len(palette)
    head = struct.pack("<2sIHHI", b"BM", offset + len(rle), 0, 0, offset)
    yield "rle8.bmp", head + info + palette + rle
    # An OS/2 core header, 24 bits, 2 x 2.
    rows = b"\x00\x00\xff\xff\xff\xff\x00\x00" + b"\x00\x00\xff\x00\xff\x00\x00\x00"
    core = struct.pack("<IHHHH", 12, 2, 2, 1, 24)
    head = struct.pack("<2sIHHI", b"BM", 14 + 12 + len(rows), 0, 0, 26)
    yield "os2.bmp", head + core + rows


def gif_seeds():
    yield "still.gif", save(picture("P"), "GIF")
    yield "interlaced.gif", save(picture("P"), "GIF", interlace=True)
    frames = [picture("P"), picture("P", (13, 7)).rotate(180)]
    yield "anim.gif", save(frames[0], "GIF", save_all=True, append_images=frames[1:],
                           transparency=0, duration=50)


def thumb_seeds():
    jpeg = save(picture("RGB", (16, 12)), "JPEG", quality=60)
    entries = b""
    paths = ["/pics/a.jpg", "/pics/b.png", "/pics/c.gif"]
    for p in paths:
        name = p.encode()
        head = struct.pack("<iiiii4xddiiii", len(name), 0, len(jpeg), 16, 12,
                           45000.5, 45000.25, 1234, 160, 120, 0)
        entries += head + name + jpeg
    header = struct.pack("<ii10s2xi", 127, 103, b"quorvane", len(paths))
    yield "three.dat", header + entries
    yield "empty.dat", struct.pack("<ii10s2xi", 127, 103, b"", 0)


def codec_reader_seeds():
    for mode in ("RGB", "L", "1"):
        yield "raw-%s.pnm" % mode, save(picture(mode), "PPM")
    yield "plain.pnm", b"P3\n# comment\n2 2\n255\n255 0 0 0 255 0\n0 0 255 9 9 9\n"
    yield "plain.pbm", b"P1\n3 2\n0 1 0\n101\n"
    yield "wide.pgm", b"P5 2 1 65535\n" + bytes([1, 2, 255, 254])
    yield "rgba.pam", (b"P7\nWIDTH 2\nHEIGHT 1\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\n"
                       b"ENDHDR\n" + bytes(range(8)))
    for mode, options in (("RGB", {}), ("RGBA", {"compression": "tiff_lzw"}),
                          ("L", {"compression": "packbits"}), ("1", {}), ("P", {}),
                          ("CMYK", {"compression": "tiff_adobe_deflate"})):
        yield "%s.tif" % mode, save(picture(mode), "TIFF", **options)
    yield "grey16.tif", save(picture("L").convert("I").convert("I;16"), "TIFF")
    for mode, options in (("RGB", {}), ("RGBA", {"compression": "tga_rle"}), ("L", {}),
                          ("P", {"compression": "tga_rle"})):
        yield "%s.tga" % mode, save(picture(mode), "TGA", **options)


def picture_seeds():
    """HEIC, AVIF, WebP (still and animated) and JPEG XL files from their own encoders."""
    with tempfile.TemporaryDirectory() as tmp:
        png = os.path.join(tmp, "seed.png")
        picture("RGB", (24, 16)).save(png)
        picture("RGBA", (24, 16)).save(os.path.join(tmp, "alpha.png"))
        commands = {
            "still.heic": ["heif-enc", "-q", "50", png, "-o"],
            "thumb.heic": ["heif-enc", "-q", "50", "-t", "8", png, "-o"],
            "still.avif": ["avifenc", "-s", "10", png],
            "still.webp": ["cwebp", "-quiet", "-q", "50", png, "-o"],
            "alpha.webp": ["cwebp", "-quiet", os.path.join(tmp, "alpha.png"), "-o"],
            "still.jxl": ["cjxl", png],
        }
        for name, command in commands.items():
            out = os.path.join(tmp, name)
            if subprocess.run(command + [out], capture_output=True).returncode == 0:
                with open(out, "rb") as f:
                    yield name, f.read()
    frames = [picture("RGB"), picture("RGB").rotate(180)]
    yield "anim.webp", save(frames[0], "WEBP", save_all=True, append_images=frames[1:])


def main():
    out = sys.argv[1]
    for target, seeds in (("bmp_fuzz", bmp_seeds), ("gif_fuzz", gif_seeds),
                          ("thumbcache_fuzz", thumb_seeds),
                          ("codec_readers_fuzz", codec_reader_seeds),
                          ("picture_decoders_fuzz", picture_seeds)):
        folder = os.path.join(out, target)
        os.makedirs(folder, exist_ok=True)
        for name, data in seeds():
            if data:
                with open(os.path.join(folder, name), "wb") as f:
                    f.write(data)


if __name__ == "__main__":
    main()
