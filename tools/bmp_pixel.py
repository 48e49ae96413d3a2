#!/usr/bin/env python3
"""Prints the colours of a Windows BMP at the given points, RRGGBB one a line,
so a test can compare what is on the screen with the artwork it came from.
Usage: bmp_pixel.py file.bmp x y [x y ...]   (x, y from the top-left corner)"""
import struct
import sys


def pixels(path, points):
    data = open(path, "rb").read()
    offset = struct.unpack_from("<I", data, 10)[0]
    header_size, width, height, _, bits = struct.unpack_from("<IiiHH", data, 14)
    palette_at = 14 + header_size
    stride = ((width * bits + 31) // 32) * 4
    bottom_up = height > 0
    height = abs(height)
    for x, y in points:
        row = height - 1 - y if bottom_up else y
        at = offset + row * stride
        if bits == 8:
            index = data[at + x]
            b, g, r = data[palette_at + 4 * index: palette_at + 4 * index + 3]
        elif bits in (24, 32):
            b, g, r = data[at + x * (bits // 8): at + x * (bits // 8) + 3]
        else:
            raise SystemExit(f"{path}: {bits}-bit images are not handled")
        yield f"{r:02X}{g:02X}{b:02X}"


if __name__ == "__main__":
    if len(sys.argv) < 4 or len(sys.argv) % 2:
        raise SystemExit(__doc__)
    numbers = list(map(int, sys.argv[2:]))
    for colour in pixels(sys.argv[1], zip(numbers[0::2], numbers[1::2])):
        print(colour)
