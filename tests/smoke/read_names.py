#!/usr/bin/python3
"""Reads a program's window through the AT-SPI tree, as a screen reader does:
the window is a frame named WINDOW (not an unnamed filler), and every control
a reader can reach (focusable and showing) has a name.
Usage: read_names.py APPLICATION WINDOW"""
import sys, time
import pyatspi

app_name, window_name = sys.argv[1], sys.argv[2]


def find_window(seconds):
    deadline = time.time() + seconds
    while time.time() < deadline:
        for app in pyatspi.Registry.getDesktop(0):
            if app is None or app.name != app_name:
                continue
            for win in app:
                if win is not None and win.name == window_name and win.childCount > 0:
                    return win
        time.sleep(0.1)
    return None


def descendants(node, depth=1):
    for child in node:
        if child is not None:
            yield child, depth
            yield from descendants(child, depth + 1)


win = find_window(20)
if win is None:
    sys.exit(f'no window "{window_name}" of "{app_name}" in the accessibility tree')
problems = []
if win.getRole() not in (pyatspi.ROLE_FRAME, pyatspi.ROLE_WINDOW):
    problems.append(f'the window reads as "{win.getRoleName()}"')
reachable = 0
lines = [f'{win.getRoleName()} "{win.name}"']
for node, depth in descendants(win):
    state = node.getState()
    lines.append(f'{"  " * depth}{node.getRoleName()} "{node.name}"')
    if state.contains(pyatspi.STATE_FOCUSABLE) and state.contains(pyatspi.STATE_SHOWING):
        reachable += 1
        if not node.name.strip():
            problems.append(f'a {node.getRoleName()} without a name')
if problems:
    print('\n'.join(lines))
    sys.exit('; '.join(problems))
print(f'window "{window_name}" read as {win.getRoleName()}: {reachable} controls, every one named')
