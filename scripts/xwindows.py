"""Finding a program's top-level window on an X server (python3-xlib)."""
import time
from Xlib import X

def find(node, title):
    """The viewable window below `node` whose WM_NAME is `title`, or None."""
    try:
        if node.get_wm_name() == title and node.get_attributes().map_state == X.IsViewable:
            return node
    except Exception:
        pass
    for child in node.query_tree().children:
        hit = find(child, title)
        if hit:
            return hit
    return None

def wait_for(display, title, seconds):
    """Waits up to `seconds` for the window; None if it never appears."""
    deadline = time.time() + seconds
    while time.time() < deadline:
        win = find(display.screen().root, title)
        if win is not None:
            return win
        time.sleep(0.1)
    return None
