#!/usr/bin/env python3
# tap_key.py KEY [FILE...] -- taps KEY through the X server's test extension
# (to the window under the pointer) and prints the size of each FILE taken
# just before the press goes out: the game fires on the press of space, so
# the sizes of its growing recordings mark the key's moment to within a
# millisecond, free of the start-up time of a helper program.
import ctypes
import os
import sys
import time

x11 = ctypes.CDLL("libX11.so.6")
xtst = ctypes.CDLL("libXtst.so.6")
x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XStringToKeysym.restype = ctypes.c_ulong
display = ctypes.c_void_p(x11.XOpenDisplay(None))
if not display:
    sys.exit("tap_key.py: no display")
keycode = x11.XKeysymToKeycode(display, ctypes.c_ulong(x11.XStringToKeysym(sys.argv[1].encode())))
sizes = [str(os.path.getsize(f)) if os.path.exists(f) else "0" for f in sys.argv[2:]]
xtst.XTestFakeKeyEvent(display, keycode, True, 0)
x11.XFlush(display)
time.sleep(0.03)
xtst.XTestFakeKeyEvent(display, keycode, False, 0)
x11.XFlush(display)
print(" ".join(sizes))
