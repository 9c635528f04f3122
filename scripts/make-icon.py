#!/usr/bin/env python3
"""Draws the program's icon (a framed landscape with a small thumbnail in
front) as PNG files, with nothing but the standard library."""
import struct, zlib, sys

def png(w, h, pixels):
    raw = b''.join(b'\0' + bytes(c for p in pixels[y*w:(y+1)*w] for c in p) for y in range(h))
    def chunk(t, d):
        return struct.pack('>I', len(d)) + t + d + struct.pack('>I', zlib.crc32(t + d) & 0xffffffff)
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, 8, 6, 0, 0, 0))
            + chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))

def draw(n):
    s = n / 32.0
    px = [(0, 0, 0, 0)] * (n * n)
    def rect(x0, y0, x1, y1, c):
        for y in range(int(y0*s), int(y1*s)):
            for x in range(int(x0*s), int(x1*s)):
                px[y*n + x] = c
    def inside_big(x, y): return 3*s <= x < 27*s and 4*s <= y < 24*s
    rect(2, 3, 28, 25, (90, 60, 30, 255))          # frame
    rect(3, 4, 27, 24, (150, 200, 245, 255))       # sky
    for y in range(n):
        for x in range(n):
            fx, fy = x / s, y / s
            if not inside_big(x, y): continue
            if (fx-21)**2 + (fy-9)**2 < 9: px[y*n+x] = (255, 215, 60, 255)            # sun
            if fy > 24 - (9 - abs(fx - 10)) and fy >= 12: px[y*n+x] = (70, 140, 70, 255)  # hill
            if fy > 24 - (6 - abs(fx - 19)*0.8) and fy >= 16: px[y*n+x] = (50, 110, 60, 255)
    rect(16, 17, 31, 30, (255, 255, 255, 255))     # the thumbnail in front
    rect(17, 18, 30, 29, (150, 200, 245, 255))
    for y in range(n):
        for x in range(n):
            fx, fy = x / s, y / s
            if 17 <= fx < 30 and 18 <= fy < 29 and fy > 29 - (5 - abs(fx - 22)*0.8): px[y*n+x] = (70, 140, 70, 255)
    return px

for n, name in ((32, 'tumbilder-32.png'), (256, 'tumbilder.png')):
    with open(f'{sys.argv[1]}/{name}', 'wb') as f:
        f.write(png(n, n, draw(n)))
