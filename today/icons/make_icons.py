#!/usr/bin/env python3
"""Draws the launcher item's icons: item.png (16x16, the item's own icon),
product.png (32x32, the product icon on the right of the strip) and
tavolin-today.png (48x48, the launcher's menu icon). Run it from this folder;
the PNGs it writes are committed."""
import math
import struct
import zlib


def png(path, size, pixel):
    rows = b""
    for y in range(size):
        rows += b"\0" + b"".join(bytes(pixel(x + 0.5, y + 0.5, size)) for x in range(size))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(rows, 9)))
        f.write(chunk(b"IEND", b""))


def coverage(inside, x, y, samples=4):
    """Share of a pixel's sub-samples that `inside` accepts: smooth edges."""
    hits = 0
    for i in range(samples):
        for j in range(samples):
            if inside(x - 0.5 + (i + 0.5) / samples, y - 0.5 + (j + 0.5) / samples):
                hits += 1
    return hits / (samples * samples)


def over(dst, src, a):
    """Lays colour src with opacity a over the RGBA pixel dst."""
    r, g, b, da = dst
    sa = a
    out_a = sa + da / 255 * (1 - sa)
    if out_a == 0:
        return (0, 0, 0, 0)
    mix = lambda s, d: round((s * sa + d * da / 255 * (1 - sa)) / out_a)
    return (mix(src[0], r), mix(src[1], g), mix(src[2], b), round(out_a * 255))


def rounded_square(x, y, size, radius):
    cx = min(max(x, radius), size - radius)
    cy = min(max(y, radius), size - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


NAVY = (24, 54, 110)
SKY = (92, 170, 230)
WHITE = (245, 248, 252)
RED = (220, 40, 40)


def camera_icon(x, y, size):
    """A lens in a rounded square: the camera the viewer watches."""
    s = size / 16
    p = (0, 0, 0, 0)
    p = over(p, NAVY, coverage(lambda u, v: rounded_square(u, v, size, 3 * s), x, y))
    lens = lambda u, v: math.hypot(u - 8 * s, v - 8.5 * s) <= 5 * s
    p = over(p, WHITE, coverage(lens, x, y))
    iris = lambda u, v: math.hypot(u - 8 * s, v - 8.5 * s) <= 3.2 * s
    p = over(p, SKY, coverage(iris, x, y))
    pupil = lambda u, v: math.hypot(u - 8 * s, v - 8.5 * s) <= 1.5 * s
    p = over(p, NAVY, coverage(pupil, x, y))
    led = lambda u, v: math.hypot(u - 13 * s, v - 3 * s) <= 1.3 * s
    p = over(p, RED, coverage(led, x, y))
    return p


def product_icon(x, y, size):
    """A camera body on a stand with a bold T on its side: the product."""
    s = size / 32
    p = (0, 0, 0, 0)
    body = lambda u, v: 3 * s <= u <= 23 * s and 6 * s <= v <= 18 * s
    p = over(p, NAVY, coverage(body, x, y))
    hood = lambda u, v: 23 * s <= u <= 29 * s and abs(v - 12 * s) <= (3 + (u - 23 * s) / (2 * s)) * s
    p = over(p, NAVY, coverage(hood, x, y))
    stand = lambda u, v: (11 * s <= u <= 14 * s and 18 * s <= v <= 26 * s) or (6 * s <= u <= 19 * s and 26 * s <= v <= 29 * s)
    p = over(p, SKY, coverage(stand, x, y))
    tee = lambda u, v: (7 * s <= u <= 19 * s and 8.5 * s <= v <= 10.5 * s) or (12 * s <= u <= 14 * s and 8.5 * s <= v <= 16 * s)
    p = over(p, WHITE, coverage(tee, x, y))
    led = lambda u, v: math.hypot(u - 26 * s, v - 5 * s) <= 1.6 * s
    p = over(p, RED, coverage(led, x, y))
    return p


if __name__ == "__main__":
    png("item.png", 16, camera_icon)
    png("product.png", 32, product_icon)
    png("tavolin-today.png", 48, camera_icon)
