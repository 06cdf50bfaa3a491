#!/usr/bin/env python3
"""Draws the console's three icons and writes them as 16-colour ICO files.

Run from anywhere: python3 make_icons.py
Writes app.ico, about.ico and exit.ico beside this script, and the application
icon as PNG for the desktop in hicolor/<size>/apps/rs232-kalvex.png.

Every image uses the classic 16-colour palette, 4 bits per pixel, with an
AND mask for the transparent pixels, as the Windows icon format has it; the
PNGs are the application icon's two images, for the desktop entry.
"""

import os
import struct
import zlib

# The classic 16-colour palette, in its usual order, as (red, green, blue).
PALETTE = [
    (0x00, 0x00, 0x00),  # 0 black
    (0x80, 0x00, 0x00),  # 1 maroon
    (0x00, 0x80, 0x00),  # 2 green
    (0x80, 0x80, 0x00),  # 3 olive
    (0x00, 0x00, 0x80),  # 4 navy
    (0x80, 0x00, 0x80),  # 5 purple
    (0x00, 0x80, 0x80),  # 6 teal
    (0xC0, 0xC0, 0xC0),  # 7 silver
    (0x80, 0x80, 0x80),  # 8 grey
    (0xFF, 0x00, 0x00),  # 9 red
    (0x00, 0xFF, 0x00),  # 10 lime
    (0xFF, 0xFF, 0x00),  # 11 yellow
    (0x00, 0x00, 0xFF),  # 12 blue
    (0xFF, 0x00, 0xFF),  # 13 fuchsia
    (0x00, 0xFF, 0xFF),  # 14 aqua
    (0xFF, 0xFF, 0xFF),  # 15 white
]

# One letter a colour for the drawings; '.' is transparent.
K, M, G, O, N, P, T, S, D, R, L, Y, B, F, A, W = range(16)
LETTERS = {
    "K": K, "m": M, "g": G, "o": O, "n": N, "p": P, "t": T, "s": S,
    "d": D, "r": R, "l": L, "y": Y, "b": B, "f": F, "a": A, "w": W,
}
CLEAR = None


class Canvas:
    def __init__(self, size):
        self.size = size
        self.px = [[CLEAR] * size for _ in range(size)]

    def put(self, x, y, c):
        if 0 <= x < self.size and 0 <= y < self.size:
            self.px[y][x] = c

    def fill(self, x0, y0, x1, y1, c):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.put(x, y, c)

    def box(self, x0, y0, x1, y1, c):
        for x in range(x0, x1 + 1):
            self.put(x, y0, c)
            self.put(x, y1, c)
        for y in range(y0, y1 + 1):
            self.put(x0, y, c)
            self.put(x1, y, c)

    def disc(self, cx, cy, r, c):
        # Pixel centres within r of (cx, cy).
        for y in range(self.size):
            for x in range(self.size):
                if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r:
                    self.put(x, y, c)

    def sprite(self, x0, y0, rows):
        # Small ASCII drawings; '.' leaves the canvas as it is.
        for dy, row in enumerate(rows):
            for dx, ch in enumerate(row):
                if ch != ".":
                    self.put(x0 + dx, y0 + dy, LETTERS[ch])


def app_32():
    # A program window showing a CompactFlash card wired to a serial plug.
    c = Canvas(32)
    c.box(1, 2, 30, 29, K)
    c.fill(2, 3, 29, 28, S)
    c.fill(2, 3, 29, 6, N)
    c.fill(3, 4, 4, 5, W)
    c.sprite(25, 4, ["sss", "sKs"])
    c.fill(3, 8, 28, 27, W)
    c.fill(3, 8, 28, 8, D)
    c.fill(3, 8, 3, 27, D)
    # The card: grey body with its row of contacts and a blue label.
    c.box(17, 10, 27, 25, K)
    c.fill(18, 11, 26, 24, D)
    c.fill(18, 11, 26, 12, S)
    for x in range(18, 27, 2):
        c.put(x, 11, K)
    c.fill(19, 15, 25, 23, B)
    c.fill(20, 17, 24, 17, W)
    c.fill(20, 19, 23, 19, W)
    c.fill(20, 21, 24, 21, W)
    # The plug: a nine-pin D connector seen from its face.
    c.sprite(3, 11, [
        "KKKKKKKKKKKKK",
        "KsssssssssssK",
        "KsKsKsKsKsKsK",
        ".KsssssssssK.",
        ".KsKsKsKsKsK.",
        "..KsssssssK..",
        "...KKKKKKK...",
    ])
    # The cable from the plug down and across into the card.
    c.fill(9, 18, 10, 23, T)
    c.fill(9, 22, 16, 23, T)
    return c


def app_16():
    c = Canvas(16)
    c.box(0, 1, 15, 14, K)
    c.fill(1, 2, 14, 13, S)
    c.fill(1, 2, 14, 3, N)
    c.put(13, 2, S)
    c.fill(1, 5, 14, 13, W)
    c.box(8, 6, 13, 12, K)
    c.fill(9, 7, 12, 11, D)
    c.fill(9, 9, 12, 10, B)
    c.put(9, 7, S)
    c.put(11, 7, S)
    c.sprite(2, 6, [
        "KKKK",
        "KssK",
        ".KK.",
    ])
    c.fill(3, 9, 3, 10, T)
    c.fill(3, 10, 7, 10, T)
    return c


def about(size):
    # A white "i" in a blue circle.
    c = Canvas(size)
    half = size / 2
    c.disc(half, half, half - 0.5, N)
    c.disc(half, half, half - 1.6, B)
    if size == 32:
        c.sprite(13, 6, [
            ".ww.",
            "wwww",
            "wwww",
            ".ww.",
        ])
        c.sprite(11, 12, [
            "wwwwww..",
            "..wwww..",
            "..wwww..",
            "..wwww..",
            "..wwww..",
            "..wwww..",
            "..wwww..",
            "..wwww..",
            "..wwww..",
            "..wwww..",
            "..wwww..",
            "wwwwwwww",
            "wwwwwwww",
        ])
    else:
        c.sprite(7, 3, ["ww", "ww"])
        c.sprite(6, 6, [
            "www.",
            ".ww.",
            ".ww.",
            ".ww.",
            ".ww.",
            "wwww",
        ])
    return c


def exit_32():
    # A door standing open on a dark doorway, with a red arrow leading out.
    c = Canvas(32)
    c.box(3, 2, 18, 29, K)
    c.fill(4, 3, 17, 28, D)
    c.fill(4, 3, 17, 3, S)
    c.fill(4, 3, 4, 28, S)
    # The open leaf, drawn in perspective against the left jamb.
    for i in range(8):
        top = 4 + i // 2
        bottom = 31 - i // 2
        c.put(5 + i, top, K)
        c.fill(5 + i, top + 1, 5 + i, bottom - 1, O if i < 7 else K)
        c.put(5 + i, bottom, K)
    c.fill(10, 16, 11, 17, Y)
    # The arrow.
    c.fill(14, 14, 23, 18, R)
    c.fill(14, 13, 23, 13, K)
    c.fill(14, 19, 23, 19, K)
    c.put(14, 14, K)
    c.put(14, 18, K)
    c.fill(14, 15, 14, 17, K)
    for i in range(8):
        c.fill(24 + i, 9 + i, 24 + i, 23 - i, R)
        c.put(24 + i, 9 + i - 1, K)
        c.put(24 + i, 23 - i + 1, K)
    c.fill(24, 8, 24, 13, K)
    c.fill(24, 19, 24, 24, K)
    return c


def bmp_image(canvas):
    """One icon image: BITMAPINFOHEADER, palette, 4-bit XOR image, AND mask."""
    n = canvas.size
    xor_stride = ((n * 4 + 31) // 32) * 4
    and_stride = ((n + 31) // 32) * 4
    header = struct.pack(
        "<IiiHHIIiiII",
        40,  # header size
        n,
        n * 2,  # XOR image and AND mask stacked
        1,  # planes
        4,  # bits per pixel
        0,  # uncompressed
        (xor_stride + and_stride) * n,
        0,
        0,
        16,  # colours used
        0,
    )
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    xor = bytearray()
    mask = bytearray()
    for y in reversed(range(n)):  # bottom-up rows
        row = canvas.px[y]
        line = bytearray(xor_stride)
        bits = bytearray(and_stride)
        for x, c in enumerate(row):
            index = 0 if c is CLEAR else c
            line[x // 2] |= index << (4 if x % 2 == 0 else 0)
            if c is CLEAR:
                bits[x // 8] |= 0x80 >> (x % 8)
        xor += line
        mask += bits
    return header + palette + bytes(xor) + bytes(mask)


def ico(canvases):
    images = [bmp_image(c) for c in canvases]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for canvas, data in zip(canvases, images):
        n = canvas.size
        out += struct.pack("<BBBBHHII", n % 256, n % 256, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    return out + b"".join(images)


def png(canvas):
    n = canvas.size
    raw = bytearray()
    for row in canvas.px:
        raw.append(0)  # no filter
        for c in row:
            raw += bytes((0, 0, 0, 0)) if c is CLEAR else bytes(PALETTE[c] + (255,))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    ihdr = struct.pack(">IIBBBBB", n, n, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr)
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    # The 32x32 image comes first: readers that take one image take that one.
    files = {
        "app.ico": ico([app_32(), app_16()]),
        "about.ico": ico([about(32), about(16)]),
        "exit.ico": ico([exit_32()]),
        "hicolor/32x32/apps/rs232-kalvex.png": png(app_32()),
        "hicolor/16x16/apps/rs232-kalvex.png": png(app_16()),
    }
    for name, data in files.items():
        with open(os.path.join(here, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
