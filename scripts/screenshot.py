#!/usr/bin/python3
"""Saves a PNG of one top-level window (found by its title) of a running X
server, with python3-xlib and the standard library only.
Usage: screenshot.py TITLE OUT.png [TIMEOUT_SECONDS]"""
import struct, sys, time, zlib
from Xlib import X, display
from xwindows import wait_for

def png(w, h, rows):
    def chunk(t, d):
        return struct.pack('>I', len(d)) + t + d + struct.pack('>I', zlib.crc32(t + d) & 0xffffffff)
    raw = b''.join(b'\0' + r for r in rows)
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, 8, 2, 0, 0, 0))
            + chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))

title, out = sys.argv[1], sys.argv[2]
seconds = float(sys.argv[3]) if len(sys.argv) > 3 else 20
d = display.Display()
win = wait_for(d, title, seconds)
if win is None:
    sys.exit(f'no window "{title}"')
time.sleep(0.5)
g = win.get_geometry()
img = win.get_image(0, 0, g.width, g.height, X.ZPixmap, 0xffffffff)
data = img.data
stride = len(data) // g.height
rows = []
for y in range(g.height):
    line = data[y * stride:(y + 1) * stride]
    rows.append(bytes(b for x in range(g.width) for b in (line[4*x+2], line[4*x+1], line[4*x])))
open(out, 'wb').write(png(g.width, g.height, rows))
print(f'{g.width}x{g.height}')
