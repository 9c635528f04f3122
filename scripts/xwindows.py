"""Finding a program's top-level window on an X server (python3-xlib)."""
import time
from Xlib import X

def title(display, node):
    """The window's title as the desktop shows it: _NET_WM_NAME (UTF-8), else WM_NAME."""
    try:
        prop = node.get_full_property(display.intern_atom('_NET_WM_NAME'), display.intern_atom('UTF8_STRING'))
        if prop is not None:
            value = prop.value
            return value.decode('utf-8') if isinstance(value, bytes) else str(value)
        return node.get_wm_name()
    except Exception:
        return None

def viewable(node):
    try:
        return node.get_attributes().map_state == X.IsViewable
    except Exception:
        return False

def children(node):
    """The window's children; none when it has gone meanwhile."""
    try:
        return node.query_tree().children
    except Exception:
        return []

def find(display, node, wanted):
    """The viewable window below `node` whose title is exactly `wanted`, or None."""
    if title(display, node) == wanted and viewable(node):
        return node
    for child in children(node):
        hit = find(display, child, wanted)
        if hit:
            return hit
    return None

def titles(display):
    """Every viewable window's title, to say what was there instead."""
    found = []
    def walk(node):
        t = title(display, node)
        if t and viewable(node):
            found.append(t)
        for child in children(node):
            walk(child)
    walk(display.screen().root)
    return found

def wait_for(display, wanted, seconds):
    """Waits up to `seconds` for the window; None if it never appears."""
    deadline = time.time() + seconds
    while True:
        win = find(display, display.screen().root, wanted)
        if win is not None or time.time() >= deadline:
            return win
        time.sleep(0.1)
