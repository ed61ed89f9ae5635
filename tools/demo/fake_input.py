#!/usr/bin/env python3
"""Clicks or presses a key on the X display named by DISPLAY, through XTEST.

Use:
    fake_input.py move X Y      move the pointer to root coordinates X, Y
    fake_input.py click X Y     move the pointer there and click button 1
    fake_input.py key X Y NAME  move the pointer to X, Y (keyboard focus follows the
                                pointer without a window manager; with one, a new
                                window has the focus) and press the key NAME (an X
                                keysym name such as Return)

Only the standard library: libX11 and libXtst are reached through ctypes.
"""

import ctypes
import ctypes.util
import sys
import time


def load(name, soname):
    path = ctypes.util.find_library(name) or soname
    try:
        return ctypes.CDLL(path)
    except OSError:
        sys.exit("fake_input.py: cannot load %s" % soname)


def main():
    if len(sys.argv) < 4 or sys.argv[1] not in ("move", "click", "key") or (sys.argv[1] == "key") != (len(sys.argv) == 5):
        sys.exit(__doc__)
    x11 = load("X11", "libX11.so.6")
    xtst = load("Xtst", "libXtst.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XFlush.argtypes = [ctypes.c_void_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    x11.XStringToKeysym.restype = ctypes.c_ulong
    x11.XStringToKeysym.argtypes = [ctypes.c_char_p]
    x11.XKeysymToKeycode.restype = ctypes.c_ubyte
    x11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
    xtst.XTestFakeMotionEvent.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int, ctypes.c_int, ctypes.c_ulong]
    xtst.XTestFakeButtonEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
    xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]

    display = x11.XOpenDisplay(None)
    if not display:
        sys.exit("fake_input.py: cannot open the display")
    x, y = int(sys.argv[2]), int(sys.argv[3])
    xtst.XTestFakeMotionEvent(display, -1, x, y, 0)
    x11.XFlush(display)
    time.sleep(0.3)  # let the window see the pointer arrive (hover) before the click
    if sys.argv[1] == "move":
        events = []
    elif sys.argv[1] == "click":
        events = [(xtst.XTestFakeButtonEvent, 1)]
    else:
        keysym = x11.XStringToKeysym(sys.argv[4].encode())
        if keysym == 0:
            sys.exit("fake_input.py: unknown key %s" % sys.argv[4])
        events = [(xtst.XTestFakeKeyEvent, x11.XKeysymToKeycode(display, keysym))]
    for fake, code in events:
        fake(display, code, 1, 0)
        fake(display, code, 0, 0)
    x11.XFlush(display)
    x11.XCloseDisplay(display)


if __name__ == "__main__":
    main()
