#!/usr/bin/env python3
"""Writes the program's icon: one 32 x 32 image with 16 colours, as a .ico file.

The picture is a blue tile with rounded corners, a menu bar across its top and a white
letter N below it. Usage: make_icon.py OUTPUT.ico
"""
import struct
import sys

SIZE = 32

# The 16 standard colours, as (blue, green, red, reserved).
PALETTE = [
    (0, 0, 0), (0, 0, 128), (0, 128, 0), (0, 128, 128),
    (128, 0, 0), (128, 0, 128), (128, 128, 0), (192, 192, 192),
    (128, 128, 128), (0, 0, 255), (0, 255, 0), (0, 255, 255),
    (255, 0, 0), (255, 0, 255), (255, 255, 0), (255, 255, 255),
]
BLACK, DARK_BLUE, GREY, BLUE, YELLOW, WHITE = 0, 4, 8, 12, 11, 15


def inside_tile(x, y):
    """True inside the tile: a square of 30 pixels whose corners are rounded off."""
    if not (1 <= x <= 30 and 1 <= y <= 30):
        return False
    radius = 5
    cx = min(max(x, 1 + radius), 30 - radius)
    cy = min(max(y, 1 + radius), 30 - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def on_letter(x, y):
    """The letter N, four pixels thick, between rows 11 and 26."""
    if not (11 <= y <= 26):
        return False
    if 8 <= x <= 11 or 20 <= x <= 23:
        return True
    # The diagonal from the top of the left stem to the bottom of the right one.
    t = (y - 11) / 15.0
    centre = 10 + t * 11.5
    return abs(x - centre) <= 1.8


def colour_at(x, y):
    if not inside_tile(x, y):
        return None
    if 4 <= y <= 7 and 5 <= x <= 26:
        # The menu bar, with three dark entries on it.
        return DARK_BLUE if (y in (5, 6) and x in (7, 8, 9, 13, 14, 15, 19, 20, 21)) else YELLOW
    if on_letter(x, y):
        return WHITE
    # A darker rim gives the tile its edge.
    if not inside_tile(x - 1, y) or not inside_tile(x + 1, y) or not inside_tile(x, y - 1) \
            or not inside_tile(x, y + 1):
        return DARK_BLUE
    return BLUE


def icon_bytes():
    # Rows bottom-up: 4 bits per pixel (16 bytes a row) and the 1-bit mask (4 bytes a row).
    pixels = bytearray()
    mask = bytearray()
    for y in range(SIZE - 1, -1, -1):
        row = [colour_at(x, y) for x in range(SIZE)]
        for x in range(0, SIZE, 2):
            left = row[x] if row[x] is not None else BLACK
            right = row[x + 1] if row[x + 1] is not None else BLACK
            pixels.append((left << 4) | right)
        bits = 0
        for x in range(SIZE):
            bits = (bits << 1) | (1 if row[x] is None else 0)
        mask += struct.pack('>I', bits)
    palette = b''.join(struct.pack('<BBBB', b, g, r, 0) for (b, g, r) in PALETTE)
    # The image's height counts the colour rows and the mask rows together.
    header = struct.pack('<IiiHHIIiiII', 40, SIZE, SIZE * 2, 1, 4, 0,
                         len(pixels) + len(mask), 0, 0, 16, 0)
    image = header + palette + bytes(pixels) + bytes(mask)
    directory = struct.pack('<HHH', 0, 1, 1)
    entry = struct.pack('<BBBBHHII', SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


def main():
    if len(sys.argv) != 2:
        sys.stderr.write('usage: make_icon.py OUTPUT.ico\n')
        return 2
    with open(sys.argv[1], 'wb') as out:
        out.write(icon_bytes())
    return 0


if __name__ == '__main__':
    sys.exit(main())
