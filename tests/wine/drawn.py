#!/usr/bin/env python3
"""Prints how many pixels of a rectangle of the screen differ from its most
common colour: an icon drawn on a plain button makes hundreds, none a few.
   colours.py X Y WIDTH HEIGHT   (on $DISPLAY, through libX11)"""
import ctypes
import ctypes.util
import sys

x, y, width, height = (int(a) for a in sys.argv[1:5])
xlib = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
xlib.XOpenDisplay.restype = ctypes.c_void_p
xlib.XOpenDisplay.argtypes = [ctypes.c_char_p]
xlib.XDefaultRootWindow.restype = ctypes.c_ulong
xlib.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
xlib.XGetImage.restype = ctypes.c_void_p
xlib.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                           ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
xlib.XGetPixel.restype = ctypes.c_ulong
xlib.XGetPixel.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int]

display = xlib.XOpenDisplay(None)
if not display:
    sys.exit("colours.py: cannot open the display")
ZPIXMAP, ALL_PLANES = 2, 0xFFFFFFFF
image = xlib.XGetImage(display, xlib.XDefaultRootWindow(display), x, y, width, height,
                       ALL_PLANES, ZPIXMAP)
if not image:
    sys.exit("colours.py: cannot read the screen there")
pixels = [xlib.XGetPixel(image, i, j) for i in range(width) for j in range(height)]
print(len(pixels) - max(pixels.count(p) for p in set(pixels)))
