"""Small X11 helpers for the end-to-end tests: find a window by name, read
its size, send it the close request a window manager sends."""
import time

from Xlib import X, display, protocol


def find_window(name, size=None, timeout=10.0, pid=None):
    """The first mapped top-level window whose WM_NAME is name (and whose size
    is size, and whose _NET_WM_PID is pid, when given), or None. The size
    check skips a window that is still being set up, and one of an earlier run
    that is being torn down; the pid check skips the windows of games that
    other tests run on the same display."""
    d = display.Display()
    pid_atom = d.intern_atom("_NET_WM_PID")
    deadline = time.time() + timeout
    while time.time() < deadline:
        root = d.screen().root
        for w in root.query_tree().children:
            try:
                if w.get_wm_name() != name or w.get_attributes().map_state != X.IsViewable:
                    continue
                if pid is not None:
                    prop = w.get_full_property(pid_atom, X.AnyPropertyType)
                    if not prop or prop.value[0] != pid:
                        continue
                if size is None or window_size(w) == size:
                    return d, w
            except Exception:
                pass
        time.sleep(0.05)
    return d, None


def window_size(w):
    g = w.get_geometry()
    return g.width, g.height


def send_close(d, w):
    """WM_DELETE_WINDOW, as a window manager's close button sends it."""
    wm_protocols = d.intern_atom("WM_PROTOCOLS")
    delete = d.intern_atom("WM_DELETE_WINDOW")
    event = protocol.event.ClientMessage(window=w, client_type=wm_protocols, data=(32, [delete, X.CurrentTime, 0, 0, 0]))
    w.send_event(event, event_mask=X.NoEventMask)
    d.flush()
