#!/usr/bin/env python3
"""Moves a message box off the window it covers, for a screenshot of both.

    arrange-windows.py TITLE

Wine centres a message box on its owner window and covers it. This finds
the two viewable top-level X windows named TITLE (the window below, the box
above), moves the box just below the window (an X11 move; the box keeps
running its message loop, which also repaints the window), and prints the
crop geometry of the two, WxH+X+Y. Exit status 1 without an X display, 2
when the two windows are not found.
"""
import ctypes
import ctypes.util
import sys

x = ctypes.cdll.LoadLibrary(ctypes.util.find_library("X11") or "libX11.so.6")
W = ctypes.c_ulong
I = ctypes.c_int


class Attributes(ctypes.Structure):  # XWindowAttributes
    _fields_ = [("x", I), ("y", I), ("width", I), ("height", I), ("border_width", I),
                ("depth", I), ("visual", ctypes.c_void_p), ("root", W), ("class_", I),
                ("bit_gravity", I), ("win_gravity", I), ("backing_store", I),
                ("backing_planes", ctypes.c_ulong), ("backing_pixel", ctypes.c_ulong),
                ("save_under", I), ("colormap", W), ("map_installed", I), ("map_state", I),
                ("all_event_masks", ctypes.c_long), ("your_event_mask", ctypes.c_long),
                ("do_not_propagate_mask", ctypes.c_long), ("override_redirect", I),
                ("screen", ctypes.c_void_p)]


x.XOpenDisplay.restype = ctypes.c_void_p
x.XOpenDisplay.argtypes = [ctypes.c_char_p]
x.XDefaultRootWindow.restype = W
x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
x.XQueryTree.argtypes = [ctypes.c_void_p, W, ctypes.POINTER(W), ctypes.POINTER(W),
                         ctypes.POINTER(ctypes.POINTER(W)), ctypes.POINTER(ctypes.c_uint)]
x.XFetchName.argtypes = [ctypes.c_void_p, W, ctypes.POINTER(ctypes.c_char_p)]
x.XGetWindowAttributes.argtypes = [ctypes.c_void_p, W, ctypes.POINTER(Attributes)]
x.XMoveWindow.argtypes = [ctypes.c_void_p, W, I, I]
x.XSync.argtypes = [ctypes.c_void_p, I]

display = x.XOpenDisplay(None)
if not display:
    sys.exit(1)
root, parent = W(), W()
children, count = ctypes.POINTER(W)(), ctypes.c_uint()
x.XQueryTree(display, x.XDefaultRootWindow(display), ctypes.byref(root), ctypes.byref(parent),
             ctypes.byref(children), ctypes.byref(count))
shown = []  # viewable windows of that title, bottom to top
for i in range(count.value):
    name, attributes = ctypes.c_char_p(), Attributes()
    if (x.XFetchName(display, children[i], ctypes.byref(name)) and name.value == sys.argv[1].encode()
            and x.XGetWindowAttributes(display, children[i], ctypes.byref(attributes))
            and attributes.map_state == 2):
        shown.append((children[i], attributes))
margin = 12
if len(shown) == 1:
    # The window alone: its own crop.
    window = shown[0][1]
    print("%dx%d+%d+%d" % (window.width + 2 * margin, window.height + 2 * margin,
                           window.x - margin, window.y - margin))
    sys.exit(0)
if len(shown) != 2:
    sys.exit(2)
window, box = shown[0][1], shown[1]
box_y = window.y + window.height + 8
x.XMoveWindow(display, box[0], box[1].x, box_y)
x.XSync(display, 0)
left = min(window.x, box[1].x) - margin
right = max(window.x + window.width, box[1].x + box[1].width) + margin
print("%dx%d+%d+%d" % (right - left, box_y + box[1].height + margin - (window.y - margin), left,
                       window.y - margin))
