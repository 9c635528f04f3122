#!/usr/bin/python3
"""Waits for a top-level window by title, checks its client size, then asks
it to close with WM_DELETE_WINDOW. Usage: close_window.py TITLE WIDTH HEIGHT"""
import os, sys
from Xlib import X, display, protocol
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
from xwindows import wait_for

title, width, height = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
d = display.Display()
win = wait_for(d, title, 30)
if win is None:
    sys.exit(f'no window "{title}" appeared')
g = win.get_geometry()
if (g.width, g.height) != (width, height):
    sys.exit(f'window is {g.width}x{g.height}, expected {width}x{height}')
print(f'window "{title}" {g.width}x{g.height}')
wm_protocols = d.intern_atom('WM_PROTOCOLS')
wm_delete = d.intern_atom('WM_DELETE_WINDOW')
event = protocol.event.ClientMessage(window=win, client_type=wm_protocols, data=(32, [wm_delete, X.CurrentTime, 0, 0, 0]))
win.send_event(event)
d.flush()
