"""Writes the splash test bitmap: a 24-bit BMP of four coloured quadrants.

    make_bitmap.py OUT.bmp WIDTH HEIGHT

Quadrant colours (red, green, blue): top left QUADRANTS[0], top right [1], bottom left [2],
bottom right [3]. The end-to-end tests import this module for the same colours.
"""
import struct
import sys

QUADRANTS = [(200, 40, 40), (40, 160, 60), (30, 60, 200), (230, 200, 30)]


def colour_at(x, y, width, height):
    """The colour of pixel (x, y), counted from the top-left corner."""
    return QUADRANTS[(2 if y >= height // 2 else 0) + (1 if x >= width // 2 else 0)]


def bmp_bytes(width, height):
    """The BMP file: bottom-up rows of blue, green, red bytes, each padded to 4 bytes."""
    row_size = (width * 3 + 3) // 4 * 4
    pixels = bytearray()
    for y in reversed(range(height)):
        row = bytearray()
        for x in range(width):
            r, g, b = colour_at(x, y, width, height)
            row += bytes((b, g, r))
        pixels += row + bytes(row_size - len(row))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    return header + info + bytes(pixels)


if __name__ == "__main__":
    with open(sys.argv[1], "wb") as f:
        f.write(bmp_bytes(int(sys.argv[2]), int(sys.argv[3])))
