#!/usr/bin/python3
"""Opens the help window of the running program with Alt+H, as a user would,
checks that its title is exactly its caption, and closes it again.
Usage: open_help.py MAIN_TITLE HELP_TITLE"""
import os, sys, time
from Xlib import X, XK, display, protocol
from Xlib.ext import xtest
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
from xwindows import wait_for, titles

main_title, help_title = sys.argv[1], sys.argv[2]
d = display.Display()
main = wait_for(d, main_title, 30)
if main is None:
    sys.exit(f'no window "{main_title}" appeared')
main.set_input_focus(X.RevertToParent, X.CurrentTime)
d.sync()
time.sleep(0.3)
alt = d.keysym_to_keycode(XK.string_to_keysym('Alt_L'))
h = d.keysym_to_keycode(XK.string_to_keysym('h'))
for kind, code in ((X.KeyPress, alt), (X.KeyPress, h), (X.KeyRelease, h), (X.KeyRelease, alt)):
    xtest.fake_input(d, kind, code)
    d.sync()
win = wait_for(d, help_title, 15)
if win is None:
    sys.exit(f'no window titled exactly "{help_title}"; windows: {titles(d)}')
print(f'window "{help_title}"')
wm_protocols = d.intern_atom('WM_PROTOCOLS')
wm_delete = d.intern_atom('WM_DELETE_WINDOW')
win.send_event(protocol.event.ClientMessage(window=win, client_type=wm_protocols,
                                            data=(32, [wm_delete, X.CurrentTime, 0, 0, 0])))
d.flush()
deadline = time.time() + 15
while wait_for(d, help_title, 0.1) is not None:
    if time.time() > deadline:
        sys.exit(f'"{help_title}" did not close')
