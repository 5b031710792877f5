"""Pillow's side of the codec format comparison (codec_formats_test.cpp).

Usage:
  pillow_pixels.py sources DIR         writes the test pictures (seeded noise) to DIR
  pillow_pixels.py write SRC OUT ARGS  saves SRC (first converted to ARGS' "mode=...")
                                       to OUT with Pillow, other ARGS as save options
  pillow_pixels.py read IN OUT         Pillow's reading of IN (first frame) as a binary
                                       PPM (8 bits), transparent pixels over white

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


def main():
    command = sys.argv[1]
    if command == "sources":
        sources(sys.argv[2])
    elif command == "write":
        write(sys.argv[2], sys.argv[3], sys.argv[4:])
    elif command == "read":
        read(sys.argv[2], sys.argv[3])
    else:
        sys.exit("unknown command " + command)


if __name__ == "__main__":
    main()
