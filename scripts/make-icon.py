#!/usr/bin/env python3
"""Draws the program's icon and writes app/resources/uninstall.ico.

Two images, 32 x 32 and 16 x 16, 256 colours (8 bits per pixel with a
palette and a transparency mask): a cardboard box with a red "remove" badge.
The .ico is committed; run this again only to change the drawing.
"""
import struct
import sys
from pathlib import Path

TRANSPARENT = None
BOX_TOP = (222, 184, 135)
BOX_FRONT = (196, 150, 96)
BOX_EDGE = (120, 84, 44)
TAPE = (240, 222, 180)
BADGE = (200, 30, 30)
BADGE_EDGE = (120, 10, 10)
WHITE = (255, 255, 255)


def draw(size):
    s = size / 32.0
    px = [[TRANSPARENT] * size for _ in range(size)]

    def rect(x0, y0, x1, y1, colour):
        for y in range(int(y0 * s), int(y1 * s)):
            for x in range(int(x0 * s), int(x1 * s)):
                if 0 <= x < size and 0 <= y < size:
                    px[y][x] = colour

    # The box: lid, front, edges, tape.
    rect(3, 8, 27, 13, BOX_TOP)
    rect(3, 13, 27, 29, BOX_FRONT)
    rect(3, 8, 27, 9, BOX_EDGE)
    rect(3, 28, 27, 29, BOX_EDGE)
    rect(3, 8, 4, 29, BOX_EDGE)
    rect(26, 8, 27, 29, BOX_EDGE)
    rect(3, 13, 27, 14, BOX_EDGE)
    rect(13, 8, 17, 20, TAPE)
    # The badge: a red disc with a white bar, bottom right.
    cx, cy, r = 23 * s, 23 * s, 8 * s
    for y in range(size):
        for x in range(size):
            d = ((x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2) ** 0.5
            if d <= r:
                px[y][x] = BADGE_EDGE if d > r - max(1.0, s) else BADGE
    rect(18.5, 21.5, 27.5, 24.5, WHITE)
    return px


def bitmap(px):
    size = len(px)
    palette = [(0, 0, 0)]
    for row in px:
        for c in row:
            if c is not None and c not in palette:
                palette.append(c)
    palette += [(0, 0, 0)] * (256 - len(palette))
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 8, 0, 0, 0, 0, 256, 0)
    pal = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette)
    xor = b""
    for row in reversed(px):
        xor += bytes(0 if c is None else palette.index(c) for c in row)
    mask_row = ((size + 31) // 32) * 4
    andmask = b""
    for row in reversed(px):
        bits = 0
        out = bytearray(mask_row)
        for x, c in enumerate(row):
            if c is None:
                out[x // 8] |= 0x80 >> (x % 8)
        andmask += bytes(out)
    return header + pal + xor + andmask


def main():
    out = Path(sys.argv[1] if len(sys.argv) > 1 else "app/resources/uninstall.ico")
    images = [(32, bitmap(draw(32))), (16, bitmap(draw(16)))]
    data = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, bmp in images:
        data += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 8, len(bmp), offset)
        offset += len(bmp)
    data += b"".join(bmp for _, bmp in images)
    out.write_bytes(data)


if __name__ == "__main__":
    main()
