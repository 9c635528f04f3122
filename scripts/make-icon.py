#!/usr/bin/env python3
"""Draws the program's icon (a framed landscape with a small thumbnail in
front) as a scalable SVG and as PNG files for every size of the hicolor
theme, with nothing but the standard library. The PNGs are committed, so
this only runs when the artwork changes.

Usage: scripts/make-icon.py [DATA_ICONS_FOLDER]   (default: data/icons)
"""
import os
import struct
import sys
import zlib

APP_ID = 'org.example.tumbilder.Tumbilder'
SIZES = (16, 22, 24, 32, 48, 64, 128, 256)

# The artwork on a 32 x 32 grid, painted in order. Every shape is a
# rectangle, a circle or a polygon, so the SVG and the PNGs are the same
# picture.
SKY, GRASS, DARK_GRASS = (150, 200, 245), (70, 140, 70), (50, 110, 60)
SHAPES = [
    ('rect', (2, 3, 28, 25), (90, 60, 30)),                                   # frame
    ('rect', (3, 4, 27, 24), SKY),
    ('circle', (21, 9, 3), (255, 215, 60)),                                   # sun
    ('poly', ((3, 24), (3, 22), (10, 15), (19, 24)), GRASS),                  # hills
    ('poly', ((11.5, 24), (19, 18), (26.5, 24)), DARK_GRASS),
    ('rect', (15.5, 16.5, 31.5, 30.5), (60, 60, 60)),                         # the thumbnail
    ('rect', (16, 17, 31, 30), (255, 255, 255)),
    ('rect', (17, 18, 30, 29), SKY),
    ('poly', ((17, 29), (17, 28), (22, 24), (28.25, 29)), GRASS),
]


def svg():
    def colour(c):
        return '#%02x%02x%02x' % c
    def num(v):
        return ('%g' % v)
    out = ['<?xml version="1.0" encoding="UTF-8"?>',
           '<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 32 32">']
    for kind, geo, c in SHAPES:
        if kind == 'rect':
            x0, y0, x1, y1 = geo
            out.append(f'  <rect x="{num(x0)}" y="{num(y0)}" width="{num(x1 - x0)}" height="{num(y1 - y0)}" '
                       f'fill="{colour(c)}"/>')
        elif kind == 'circle':
            cx, cy, r = geo
            out.append(f'  <circle cx="{num(cx)}" cy="{num(cy)}" r="{num(r)}" fill="{colour(c)}"/>')
        else:
            pts = ' '.join(f'{num(x)},{num(y)}' for x, y in geo)
            out.append(f'  <polygon points="{pts}" fill="{colour(c)}"/>')
    out.append('</svg>')
    return '\n'.join(out) + '\n'


def inside(kind, geo, x, y):
    if kind == 'rect':
        x0, y0, x1, y1 = geo
        return x0 <= x < x1 and y0 <= y < y1
    if kind == 'circle':
        cx, cy, r = geo
        return (x - cx) ** 2 + (y - cy) ** 2 < r * r
    # Even-odd rule, as SVG's default nonzero gives the same for these convex shapes.
    hit = False
    for (xa, ya), (xb, yb) in zip(geo, geo[1:] + geo[:1]):
        if (ya > y) != (yb > y) and x < xa + (y - ya) * (xb - xa) / (yb - ya):
            hit = not hit
    return hit


def bounds(kind, geo):
    if kind == 'rect':
        return geo
    if kind == 'circle':
        cx, cy, r = geo
        return cx - r, cy - r, cx + r, cy + r
    xs, ys = [p[0] for p in geo], [p[1] for p in geo]
    return min(xs), min(ys), max(xs), max(ys)


def raster(n, ss=8):
    """RGBA rows of an n x n picture, each pixel the average of ss x ss samples."""
    m = n * ss
    unit = m / 32.0
    samples = [None] * (m * m)        # colour of each sample, None = transparent
    for kind, geo, c in SHAPES:
        x0, y0, x1, y1 = bounds(kind, geo)
        for sy in range(max(0, int(y0 * unit)), min(m, int(y1 * unit) + 1)):
            fy = (sy + 0.5) / unit
            row = sy * m
            for sx in range(max(0, int(x0 * unit)), min(m, int(x1 * unit) + 1)):
                if inside(kind, geo, (sx + 0.5) / unit, fy):
                    samples[row + sx] = c
    pixels = []
    for y in range(n):
        for x in range(n):
            r = g = b = a = 0
            for sy in range(y * ss, (y + 1) * ss):
                for c in samples[sy * m + x * ss: sy * m + (x + 1) * ss]:
                    if c is not None:
                        r += c[0]; g += c[1]; b += c[2]; a += 1
            if a == 0:
                pixels.append((0, 0, 0, 0))
            else:
                pixels.append((round(r / a), round(g / a), round(b / a), round(255 * a / (ss * ss))))
    return pixels


def png(w, h, pixels):
    raw = b''.join(b'\0' + bytes(c for p in pixels[y*w:(y+1)*w] for c in p) for y in range(h))
    def chunk(t, d):
        return struct.pack('>I', len(d)) + t + d + struct.pack('>I', zlib.crc32(t + d) & 0xffffffff)
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, 8, 6, 0, 0, 0))
            + chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), '..', 'data', 'icons')
    folder = os.path.join(root, 'hicolor', 'scalable', 'apps')
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, APP_ID + '.svg'), 'w') as f:
        f.write(svg())
    for n in SIZES:
        folder = os.path.join(root, 'hicolor', f'{n}x{n}', 'apps')
        os.makedirs(folder, exist_ok=True)
        # Fewer samples for the large sizes keep the run short; 4 x 4 per
        # pixel is already finer than anyone sees at 256 px.
        with open(os.path.join(folder, APP_ID + '.png'), 'wb') as f:
            f.write(png(n, n, raster(n, 8 if n <= 64 else 4)))


if __name__ == '__main__':
    main()
