"""Pillow's side of the codec format comparison (codec_formats_test.cpp).

Usage:
  pillow_pixels.py sources DIR         writes the test pictures (seeded noise) to DIR
  pillow_pixels.py write SRC OUT ARGS  saves SRC (first converted to ARGS' "mode=...")
                                       to OUT with Pillow, other ARGS as save options
  pillow_pixels.py read IN OUT         Pillow's reading of IN (first frame) as a binary
                                       PPM (8 bits), transparent pixels over white
  pillow_pixels.py tga SRC OUT ARGS    writes SRC as a TGA file of the kind ARGS name
                                       (see tga()), and beside it OUT.expected.png, the
                                       picture the file holds

The reading is Pillow's own, reduced to 8 bits and made opaque the way the program
promises: 16-bit grey (I;16) keeps its high byte, as Pillow does for 16-bit colour;
alpha composites over white, each channel (c * a + 255 * (255 - a)) / 255 rounded; an
alpha channel that is 0 everywhere is ignored.
"""
import random
import sys

from PIL import Image


def sources(folder):
    rng = random.Random(29)

    def noise(mode, size):
        bands = len(mode)
        data = bytes(rng.randrange(256) for _ in range(size[0] * size[1] * bands))
        return Image.frombytes(mode, size, data)

    noise("RGB", (13, 7)).save(folder + "/rgb.png")
    noise("RGBA", (17, 5)).save(folder + "/rgba.png")
    noise("L", (11, 9)).save(folder + "/grey.png")
    noise("RGB", (301, 3)).save(folder + "/wide.png")
    noise("RGB", (1, 1)).save(folder + "/one.png")
    Image.new("RGB", (9, 4), (200, 30, 90)).save(folder + "/flat.png")
    # A palette picture of 23 colours, one of them transparent.
    pal = noise("L", (15, 6)).point(lambda v: v % 23)
    pal = pal.convert("P")
    pal.putpalette([rng.randrange(256) for _ in range(23 * 3)])
    pal.info["transparency"] = 5
    pal.save(folder + "/palette.png", transparency=5)
    # 16-bit grey noise.
    data = bytes(rng.randrange(256) for _ in range(10 * 6 * 2))
    Image.frombytes("I;16", (10, 6), data).save(folder + "/grey16.png")


def write(src, out, args):
    im = Image.open(src)
    options = {}
    for arg in args:
        key, value = arg.split("=", 1)
        options[key] = int(value) if value.isdigit() and key != "mode" else value
    mode = options.pop("mode", None)
    if mode:
        im = im.convert(mode)
    if options.pop("pages", None):
        second = Image.new(im.mode, (5, 5))
        im.save(out, save_all=True, append_images=[second], **options)
    else:
        im.save(out, **options)


def over_white(c, a):
    return (c * a + 255 * (255 - a) + 127) // 255


def read(src, out):
    im = Image.open(src)
    im.seek(0)
    im.load()
    if im.mode in ("I", "I;16", "I;16B", "I;16L", "I;16N"):  # 16-bit grey
        im = Image.frombytes("L", im.size, bytes(v >> 8 for v in im.getdata()))
    if im.mode == "P" or im.mode == "PA":
        im = im.convert("RGBA")
    if im.mode == "LA":
        im = im.convert("RGBA")
    if im.mode == "RGBA":
        pixels = list(im.getdata())
        if any(p[3] for p in pixels):
            pixels = [tuple(over_white(c, p[3]) for c in p[:3]) for p in pixels]
        else:
            pixels = [p[:3] for p in pixels]
        im = Image.new("RGB", im.size)
        im.putdata(pixels)
    im = im.convert("RGB")
    with open(out, "wb") as f:
        f.write(b"P6\n%d %d\n255\n" % im.size)
        f.write(im.tobytes())


def tga(src, out, args):
    """A TGA file written field by field, for the kinds no other writer makes.

    ARGS (key=value): type (1, 2, 3, 9, 10, 11), depth (bits a pixel), map (bits a
    colour map entry; with type 2 or 3 an unused map), first (the map's first index),
    origin (0 bottom left, 1 bottom right, 2 top left, 3 top right), attr (attribute
    bits; 8 for 32-bit and 16-bit grey, else 0, unless given), id (length of the ID
    field), footer=1 (a TGA 2.0 extension area and footer), alpha=zero (32-bit pixels
    whose alpha is 0 everywhere). Run-length packets run on across rows.
    """
    import struct
    o = {k: int(v) if v.lstrip("-").isdigit() else v for k, v in (a.split("=", 1) for a in args)}
    kind, depth = o["type"] & 7, o["depth"]
    mapbits, first = o.get("map", 0), o.get("first", 0)
    attr = o.get("attr", 8 if depth == 32 or (kind == 3 and depth == 16) else 0)
    im = Image.open(src).convert("RGBA")
    w, h = im.size
    pixels = list(im.getdata())

    def five(c):  # 5-bit value and its exact reading
        return c >> 3, ((c >> 3) * 510 + 31) // 62

    def encode(p, bits, alpha_bit):  # bytes of an RGBA colour, its reading as RGBA
        r, g, b, a = p
        if bits in (15, 16):
            (r5, r8), (g5, g8), (b5, b8) = five(r), five(g), five(b)
            top = 0x8000 if a >= 128 else 0
            value = r5 << 10 | g5 << 5 | b5 | (top if bits == 16 else 0)
            shown = 255 if not alpha_bit else (255 if top else 0)
            return struct.pack("<H", value), (r8, g8, b8, shown)
        if bits == 24:
            return bytes((b, g, r)), (r, g, b, 255)
        if o.get("alpha") == "zero":
            a = 0
        return bytes((b, g, r, a)), (r, g, b, a)

    colour_map, stored, shown = b"", [], []
    if kind == 1:
        entries = {}
        for p in pixels:
            data, seen = encode(p, mapbits, mapbits == 32 or (mapbits == 16 and attr > 0))
            if data not in entries:
                entries[data] = (first + len(entries), seen)
            index, seen = entries[data]
            stored.append(struct.pack("<B" if depth == 8 else "<H", index))
            shown.append(seen)
        colour_map = b"".join(entries)
        maplength = len(entries)
    else:
        for p in pixels:
            if kind == 3:
                grey = (p[0] * 299 + p[1] * 587 + p[2] * 114 + 500) // 1000
                data = bytes((grey, p[3])) if depth == 16 else bytes((grey,))
                seen = (grey, grey, grey, p[3] if depth == 16 else 255)
            else:
                data, seen = encode(p, depth, depth == 16 and attr > 0)
            stored.append(data)
            shown.append(seen)
        maplength = 16 if mapbits else 0
        colour_map = bytes(range(maplength * ((mapbits + 7) // 8)))
    # Stored order: rows bottom up unless the origin is at the top, columns right to
    # left when it is at the right.
    origin = o.get("origin", 0)
    rows = range(h) if origin >= 2 else range(h - 1, -1, -1)
    cols = range(w - 1, -1, -1) if origin in (1, 3) else range(w)
    order = [stored[y * w + x] for y in rows for x in cols]
    if o["type"] & 8:
        body, i = b"", 0
        while i < len(order):
            run = 1
            while i + run < len(order) and run < 128 and order[i + run] == order[i]:
                run += 1
            if run > 1:
                body += bytes((0x80 | (run - 1),)) + order[i]
                i += run
                continue
            j = i + 1
            while j < len(order) and j - i < 128 and (j + 1 >= len(order) or order[j + 1] != order[j]):
                j += 1
            body += bytes((j - i - 1,)) + b"".join(order[i:j])
            i = j
    else:
        body = b"".join(order)
    ident = bytes(range(1, o.get("id", 0) + 1))
    header = struct.pack("<BBBHHBHHHHBB", len(ident), 1 if mapbits else 0, o["type"],
                         first if mapbits else 0, maplength, mapbits, 0, 0, w, h, depth,
                         origin << 4 | attr)
    data = header + ident + colour_map + body
    if o.get("footer"):
        extension = struct.pack("<H", 495) + bytes(492) + bytes((3,))
        data += extension + struct.pack("<II", len(data), 0) + b"TRUEVISION-XFILE.\0"
    with open(out, "wb") as f:
        f.write(data)
    expected = Image.new("RGBA", (w, h))
    expected.putdata(shown)
    expected.save(out + ".expected.png")


def main():
    command = sys.argv[1]
    if command == "sources":
        sources(sys.argv[2])
    elif command == "write":
        write(sys.argv[2], sys.argv[3], sys.argv[4:])
    elif command == "read":
        read(sys.argv[2], sys.argv[3])
    elif command == "tga":
        tga(sys.argv[2], sys.argv[3], sys.argv[4:])
    else:
        sys.exit("unknown command " + command)


if __name__ == "__main__":
    main()
