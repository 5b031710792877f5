#!/usr/bin/python3
"""Photo-like sample pictures of our own making, for the screenshots and the benchmarks.

Each scene (a sunrise over the sea, mountain ridges, a lake in a forest, a city at dusk,
a night sky, a field of rape flowers, a beach, snow) is drawn from a fixed seed with
Pillow alone: layered gradients, ridges by midpoint displacement, reflections, film
grain and a slight blur, then saved as a JPEG with a camera's EXIF fields.

Usage: make_sample_pictures.py FOLDER [--width W] [--only NAME...]
Writes FOLDER/<name>.jpg for every scene (or the ones named).
"""
import argparse
import os
import random

from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageOps


def gradient(size, stops):
    """A vertical gradient through (position 0..1, (r, g, b)) stops."""
    w, h = size
    column = Image.new("RGB", (1, h))
    px = column.load()
    for y in range(h):
        t = y / max(1, h - 1)
        for (p0, c0), (p1, c1) in zip(stops, stops[1:]):
            if p0 <= t <= p1:
                f = (t - p0) / max(1e-9, p1 - p0)
                px[0, y] = tuple(int(a + (b - a) * f) for a, b in zip(c0, c1))
                break
    return column.resize(size)


def ridge(rng, width, base, rough, points=257):
    """Heights of a ridge line across `width` by midpoint displacement."""
    heights = [0.0] * points
    heights[0], heights[-1] = rng.uniform(-1, 1), rng.uniform(-1, 1)
    step, scale = points - 1, 1.0
    while step > 1:
        half = step // 2
        for i in range(half, points - 1, step):
            heights[i] = (heights[i - half] + heights[i + half]) / 2 + rng.uniform(-scale, scale)
        step, scale = half, scale * 0.55
    return [(width * i / (points - 1), base + rough * v) for i, v in enumerate(heights)]


def mountains(img, rng, layers, top, bottom, near, far):
    draw = ImageDraw.Draw(img)
    w, h = img.size
    for i in range(layers):
        f = i / max(1, layers - 1)
        colour = tuple(int(a + (b - a) * f) for a, b in zip(far, near))
        base = h * (top + (bottom - top) * f)
        line = ridge(rng, w, base, h * (0.09 - 0.03 * f))
        draw.polygon(line + [(w, h), (0, h)], fill=colour)


def sun(img, centre, radius, colour, glow):
    w, h = img.size
    halo = Image.new("L", img.size, 0)
    ImageDraw.Draw(halo).ellipse([centre[0] - radius * 4, centre[1] - radius * 4,
                                  centre[0] + radius * 4, centre[1] + radius * 4], fill=glow)
    halo = halo.filter(ImageFilter.GaussianBlur(radius * 2))
    img.paste(Image.new("RGB", img.size, colour), (0, 0), halo)
    disc = Image.new("L", img.size, 0)
    ImageDraw.Draw(disc).ellipse([centre[0] - radius, centre[1] - radius,
                                  centre[0] + radius, centre[1] + radius], fill=255)
    img.paste(Image.new("RGB", img.size, colour), (0, 0), disc.filter(ImageFilter.GaussianBlur(2)))


def water(img, rng, horizon, tint, sparkle):
    """The part above the horizon mirrored below it, darkened, tinted and rippled."""
    w, h = img.size
    above = img.crop((0, 0, w, horizon))
    mirror = ImageOps.flip(above).resize((w, h - horizon))
    ripples = mirror.copy()
    px_src, px_dst = mirror.load(), ripples.load()
    for y in range(mirror.size[1]):
        shift = int(rng.gauss(0, 2 + y * 0.04))
        for x in range(0, w):
            px_dst[x, y] = px_src[min(w - 1, max(0, x + shift)), y]
    ripples = Image.blend(ripples, Image.new("RGB", ripples.size, tint), 0.35)
    draw = ImageDraw.Draw(ripples)
    for _ in range(int(w * 0.6)):
        y = int(abs(rng.gauss(0, ripples.size[1] * 0.35))) % ripples.size[1]
        x = rng.uniform(0, w)
        length = rng.uniform(4, 30) * (1 + y / 80)
        draw.line([(x, y), (x + length, y)], fill=sparkle if rng.random() < 0.3 else tint, width=1)
    img.paste(ripples.filter(ImageFilter.GaussianBlur(0.8)), (0, horizon))


def trees(img, rng, count, baseline, height, colour):
    draw = ImageDraw.Draw(img)
    w, _ = img.size
    for _ in range(count):
        x = rng.uniform(-20, w + 20)
        th = height * rng.uniform(0.6, 1.3)
        tw = th * rng.uniform(0.25, 0.4)
        y = baseline + rng.uniform(-height * 0.1, height * 0.1)
        shade = tuple(max(0, min(255, c + rng.randint(-12, 12))) for c in colour)
        for tier in range(4):
            f = tier / 4
            draw.polygon([(x, y - th * (1 - f * 0.7)), (x - tw * (0.5 + f * 0.5), y - th * 0.25 * (3 - tier)),
                          (x + tw * (0.5 + f * 0.5), y - th * 0.25 * (3 - tier))], fill=shade)


def finish(img, rng, grain=7):
    """A lens's softness and film grain."""
    img = img.filter(ImageFilter.GaussianBlur(0.6))
    noise = Image.effect_noise(img.size, grain).convert("RGB")
    return ImageChops.add(img, noise, scale=1.0, offset=-128)


def scene_sunrise(size, rng):
    w, h = size
    horizon = int(h * 0.58)
    img = gradient(size, [(0, (38, 52, 110)), (0.35, (220, 120, 90)), (0.58, (255, 196, 120)), (1, (255, 210, 150))])
    sun(img, (w * 0.62, horizon - h * 0.05), h * 0.045, (255, 236, 190), 160)
    mountains(img, rng, 2, 0.50, 0.56, (70, 50, 80), (150, 100, 120))
    water(img, rng, horizon, (60, 70, 120), (255, 220, 170))
    return img


def scene_ridges(size, rng):
    img = gradient(size, [(0, (120, 170, 220)), (0.5, (200, 220, 235)), (1, (230, 235, 240))])
    mountains(img, rng, 6, 0.30, 0.85, (30, 60, 50), (170, 190, 210))
    return img


def scene_lake(size, rng):
    w, h = size
    horizon = int(h * 0.55)
    img = gradient(size, [(0, (90, 150, 215)), (0.55, (205, 225, 240)), (1, (205, 225, 240))])
    draw = ImageDraw.Draw(img)
    for _ in range(7):
        cx, cy = rng.uniform(0, w), rng.uniform(h * 0.05, h * 0.3)
        for _ in range(9):
            r = rng.uniform(h * 0.03, h * 0.07)
            x, y = cx + rng.uniform(-r * 2, r * 2), cy + rng.uniform(-r * 0.4, r * 0.4)
            draw.ellipse([x - r * 1.6, y - r, x + r * 1.6, y + r], fill=(245, 248, 250))
    img = img.filter(ImageFilter.GaussianBlur(3))
    mountains(img, rng, 2, 0.38, 0.47, (80, 110, 120), (140, 165, 185))
    trees(img, rng, 140, horizon, h * 0.16, (28, 70, 40))
    water(img, rng, horizon, (50, 90, 110), (200, 225, 240))
    return img


def scene_city(size, rng):
    w, h = size
    img = gradient(size, [(0, (25, 30, 80)), (0.45, (150, 80, 140)), (0.8, (250, 150, 90)), (1, (250, 170, 110))])
    draw = ImageDraw.Draw(img)
    x = -10.0
    while x < w:
        bw = rng.uniform(w * 0.03, w * 0.08)
        top = h * rng.uniform(0.35, 0.75)
        draw.rectangle([x, top, x + bw, h], fill=(22, 20, 35))
        for wy in range(int(top) + 6, h - 4, 9):
            for wx in range(int(x) + 4, int(x + bw) - 4, 8):
                if rng.random() < 0.33:
                    draw.rectangle([wx, wy, wx + 3, wy + 4], fill=(255, rng.randint(190, 230), 120))
        x += bw + rng.uniform(0, w * 0.01)
    return img


def scene_night(size, rng):
    w, h = size
    img = gradient(size, [(0, (5, 8, 25)), (0.7, (20, 30, 70)), (1, (40, 50, 90))])
    draw = ImageDraw.Draw(img)
    for _ in range(int(w * h / 900)):
        x, y = rng.uniform(0, w), rng.uniform(0, h * 0.8)
        b = int(min(255, rng.expovariate(1 / 70) + 60))
        r = 1.4 if b > 220 else 0.6
        draw.ellipse([x - r, y - r, x + r, y + r], fill=(b, b, min(255, b + 20)))
    glow = Image.new("L", size, 0)
    ImageDraw.Draw(glow).line([(0, h * 0.15), (w, h * 0.65)], fill=60, width=int(h * 0.18))
    img.paste(Image.new("RGB", size, (120, 110, 150)), (0, 0), glow.filter(ImageFilter.GaussianBlur(h * 0.08)))
    mountains(img, rng, 1, 0.78, 0.8, (8, 8, 15), (8, 8, 15))
    return img


def scene_field(size, rng):
    w, h = size
    img = gradient(size, [(0, (100, 160, 225)), (0.45, (190, 215, 240)), (1, (190, 215, 240))])
    mountains(img, rng, 2, 0.38, 0.45, (90, 130, 90), (150, 180, 190))
    draw = ImageDraw.Draw(img)
    horizon = h * 0.5
    draw.rectangle([0, horizon, w, h], fill=(120, 150, 40))
    for _ in range(int(w * h / 60)):
        y = horizon + (h - horizon) * rng.random() ** 1.6
        depth = (y - horizon) / (h - horizon)
        x = rng.uniform(0, w)
        r = 0.5 + depth * 4
        colour = (250, rng.randint(200, 230), rng.randint(0, 40)) if rng.random() < 0.8 else (70, 110, 30)
        draw.ellipse([x - r, y - r, x + r, y + r], fill=colour)
    return img


def scene_beach(size, rng):
    w, h = size
    horizon = int(h * 0.45)
    img = gradient(size, [(0, (70, 140, 215)), (0.45, (175, 210, 235)), (1, (175, 210, 235))])
    water(img, rng, horizon, (30, 120, 150), (230, 245, 250))
    draw = ImageDraw.Draw(img)
    shore = ridge(rng, w, h * 0.72, h * 0.04)
    draw.polygon(shore + [(w, h), (0, h)], fill=(225, 205, 160))
    draw.line(shore, fill=(245, 250, 250), width=max(2, h // 120))
    return img


def scene_snow(size, rng):
    img = gradient(size, [(0, (150, 180, 215)), (0.5, (225, 230, 240)), (1, (240, 242, 246))])
    mountains(img, rng, 3, 0.35, 0.6, (235, 238, 244), (180, 195, 215))
    w, h = size
    trees(img, rng, 60, h * 0.8, h * 0.2, (35, 55, 50))
    draw = ImageDraw.Draw(img)
    for _ in range(int(w * h / 500)):
        x, y, r = rng.uniform(0, w), rng.uniform(0, h), rng.uniform(0.5, 2)
        draw.ellipse([x - r, y - r, x + r, y + r], fill=(250, 250, 252))
    return img


# name -> (scene, seed, camera date)
SCENES = {
    "바닷가 해돋이": (scene_sunrise, 11, "2026:07:14 05:32:10"),
    "능선": (scene_ridges, 23, "2026:07:15 09:05:44"),
    "호숫가 숲": (scene_lake, 5, "2026:07:15 14:21:03"),
    "저녁 도시": (scene_city, 41, "2026:07:16 19:48:27"),
    "밤하늘": (scene_night, 7, "2026:07:16 23:10:55"),
    "유채꽃 들판": (scene_field, 3, "2026:07:17 11:02:36"),
    "해변": (scene_beach, 19, "2026:07:18 16:40:12"),
    "눈 덮인 산": (scene_snow, 29, "2026:01:03 10:15:00"),
}


def make(name, folder, width):
    scene, seed, date = SCENES[name]
    rng = random.Random(seed)
    size = (width, width * 2 // 3)
    img = finish(scene(size, rng), rng)
    exif = Image.Exif()
    exif[0x010F] = "Quorvane"          # Make
    exif[0x0110] = "Sample Scene"      # Model
    exif[0x0132] = date                # DateTime
    ifd = exif.get_ifd(0x8769)
    ifd[0x9003] = date                 # DateTimeOriginal
    ifd[0x829A] = (1, 250)             # ExposureTime
    ifd[0x829D] = (56, 10)             # FNumber
    ifd[0x8827] = 100                  # ISO
    path = os.path.join(folder, name + ".jpg")
    img.save(path, quality=90, exif=exif.tobytes())
    return path


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("folder")
    parser.add_argument("--width", type=int, default=1500)
    parser.add_argument("--only", nargs="*", choices=sorted(SCENES), default=None)
    args = parser.parse_args()
    os.makedirs(args.folder, exist_ok=True)
    for name in args.only or SCENES:
        print(make(name, args.folder, args.width))


if __name__ == "__main__":
    main()
