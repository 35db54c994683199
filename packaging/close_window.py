"""Closes the windows of one process as a window manager's close button does: a WM_DELETE_WINDOW
message to each of its mapped top-level windows, so the program runs its own close handling
(r2config saves its settings then). Waits for a window of that process to appear.

usage: close_window.py PID [TIMEOUT_S]
"""

import sys
import time

from Xlib import X, display, protocol


def windows_of(d, pid):
    pid_atom = d.intern_atom("_NET_WM_PID")
    found = []
    for window in d.screen().root.query_tree().children:
        prop = window.get_full_property(pid_atom, X.AnyPropertyType)
        if prop is None or not prop.value or prop.value[0] != pid:
            continue
        if window.get_attributes().map_state == X.IsViewable:
            found.append(window)
    return found


def main():
    pid = int(sys.argv[1])
    timeout = float(sys.argv[2]) if len(sys.argv) > 2 else 60
    d = display.Display()
    protocols = d.intern_atom("WM_PROTOCOLS")
    delete = d.intern_atom("WM_DELETE_WINDOW")
    deadline = time.monotonic() + timeout
    while not (windows := windows_of(d, pid)):
        if time.monotonic() > deadline:
            sys.exit(f"close_window: no window of process {pid} appeared")
        time.sleep(0.1)
    for window in windows:
        event = protocol.event.ClientMessage(window=window, client_type=protocols,
                                             data=(32, [delete, X.CurrentTime, 0, 0, 0]))
        window.send_event(event)
    d.flush()
    print(f"close_window: asked {len(windows)} window(s) of process {pid} to close")


if __name__ == "__main__":
    main()
