#!/usr/bin/env python3
"""Writes res/Encrypt.ico: the dialog tool's icon, 32 x 32 and 16 x 16 pixels, 16 colours
(4 bits per pixel, the standard 16-colour palette) with a 1-bit transparency mask.

The picture: a white window with a navy title bar, and a gold padlock over its lower right
corner. Run it again after changing the drawing: python3 tools/make_icon.py
"""
import os
import struct

# The standard 16-colour palette, as (red, green, blue).
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK, OLIVE, NAVY, SILVER, GREY, YELLOW, WHITE = 0, 3, 4, 7, 8, 11, 15
CLEAR = None  # transparent


def draw(size):
    """Returns size rows of size palette indices (or CLEAR), top row first."""
    px = [[CLEAR] * size for _ in range(size)]

    def rect(x0, y0, x1, y1, colour):  # pixels, x1 and y1 exclusive
        for y in range(y0, y1):
            for x in range(x0, x1):
                px[y][x] = colour

    if size == 32:
        # The window: black frame, navy title bar, white client area with grey text lines.
        rect(1, 3, 27, 25, BLACK)
        rect(2, 4, 26, 8, NAVY)
        rect(2, 8, 26, 24, WHITE)
        rect(22, 5, 25, 7, SILVER)
        for top, right in ((11, 21), (15, 21), (19, 14)):
            rect(5, top, right, top + 2, GREY)
        # The padlock: shackle, then body with a keyhole.
        rect(19, 14, 29, 22, BLACK)
        rect(22, 17, 26, 22, WHITE)
        rect(20, 15, 28, 16, SILVER)
        rect(20, 15, 21, 21, SILVER)
        rect(27, 15, 28, 21, SILVER)
        rect(16, 20, 32, 32, BLACK)
        rect(17, 21, 31, 31, YELLOW)
        rect(17, 29, 31, 31, OLIVE)
        rect(23, 23, 25, 28, BLACK)
    else:
        rect(0, 1, 14, 13, BLACK)
        rect(1, 2, 13, 4, NAVY)
        rect(1, 4, 13, 12, WHITE)
        rect(2, 6, 9, 7, GREY)
        rect(2, 8, 7, 9, GREY)
        rect(9, 6, 15, 11, BLACK)
        rect(11, 8, 13, 11, WHITE)
        rect(10, 7, 14, 8, SILVER)
        rect(8, 10, 16, 16, BLACK)
        rect(9, 11, 15, 15, YELLOW)
        rect(11, 12, 13, 14, BLACK)
    return px


def image(size):
    """The BITMAPINFOHEADER, palette, colour bits and mask of one icon image."""
    px = draw(size)
    colour_row = ((size * 4 + 31) // 32) * 4
    mask_row = ((size + 31) // 32) * 4
    colour = bytearray()
    mask = bytearray()
    for row in reversed(px):  # bitmaps are stored bottom row first
        line = bytearray(colour_row)
        bits = bytearray(mask_row)
        for x, value in enumerate(row):
            index = 0 if value is CLEAR else value
            line[x // 2] |= index << (4 if x % 2 == 0 else 0)
            if value is CLEAR:
                bits[x // 8] |= 0x80 >> (x % 8)
        colour += line
        mask += bits
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0,
                         len(colour) + len(mask), 0, 0, 16, 0)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in PALETTE)
    return header + palette + bytes(colour) + bytes(mask)


def main():
    images = [(32, image(32)), (16, image(16))]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack('<BBBBHHII', size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    out += b''.join(data for _, data in images)
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'res', 'Encrypt.ico')
    with open(path, 'wb') as f:
        f.write(out)


if __name__ == '__main__':
    main()
