"""Reference reduction to the 216-colour web palette, written straight from the rules,
pixel by pixel and without any of the writer's shortcuts, to cross-check its engines.

Usage: web_dither_reference.py ENGINE INPUT OUTPUT
INPUT holds "W H\\n" and then W * H pixels as red, green, blue bytes, top row first;
OUTPUT receives W * H palette indices.
"""
import sys


def tdiv(a, b):
    """Integer division truncating toward zero (Python's // floors)."""
    q = abs(a) // abs(b)
    return q if (a >= 0) == (b > 0) else -q


# (divisor, [(dx, dy, weight)]) with dx taken in the scan direction.
ENGINES = {
    "floydsteinberg": (16, [(1, 0, 7), (-1, 1, 3), (0, 1, 5), (1, 1, 1)]),
    "stucki": (42, [(1, 0, 8), (2, 0, 4),
                    (-2, 1, 2), (-1, 1, 4), (0, 1, 8), (1, 1, 4), (2, 1, 2),
                    (-2, 2, 1), (-1, 2, 2), (0, 2, 4), (1, 2, 2), (2, 2, 1)]),
    "sierra": (32, [(1, 0, 5), (2, 0, 3),
                    (-2, 1, 2), (-1, 1, 4), (0, 1, 5), (1, 1, 4), (2, 1, 2),
                    (-1, 2, 2), (0, 2, 3), (1, 2, 2)]),
    "burkes": (32, [(1, 0, 8), (2, 0, 4),
                    (-2, 1, 2), (-1, 1, 4), (0, 1, 8), (1, 1, 4), (2, 1, 2)]),
    "nearest": (1, []),
}


def reduce(width, height, rgb, engine):
    divisor, weights = ENGINES[engine]
    error = {}  # (x, y, channel) -> accumulated error
    out = bytearray(width * height)
    for y in range(height):
        d = 1 if y % 2 == 0 else -1
        xs = range(width) if d == 1 else range(width - 1, -1, -1)
        for x in xs:
            steps = []
            for c in range(3):
                value = rgb[(y * width + x) * 3 + c]
                if weights:
                    value += tdiv(error.pop((x, y, c), 0) + divisor // 2, divisor)
                value = max(0, min(255, value))
                step = tdiv(value + 3, 51)
                steps.append(step)
                e = value - step * 51
                for dx, dy, w in weights:
                    tx = x + dx * d
                    if 0 <= tx < width:
                        key = (tx, y + dy, c)
                        error[key] = error.get(key, 0) + w * e
            out[y * width + x] = steps[0] * 36 + steps[1] * 6 + steps[2]
    return bytes(out)


def main():
    engine, src, dst = sys.argv[1:4]
    data = open(src, "rb").read()
    head, rgb = data.split(b"\n", 1)
    width, height = map(int, head.split())
    open(dst, "wb").write(reduce(width, height, rgb, engine))


if __name__ == "__main__":
    main()
