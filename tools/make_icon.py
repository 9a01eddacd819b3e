#!/usr/bin/env python3
"""Writes the installer's icon: a 32x32 and a 16x16 32-bit image of our own."""
import struct
import sys


def image(size):
    pixels = bytearray()
    for y in range(size):              # bottom-up rows
        for x in range(size):
            cx, cy = x - size / 2 + 0.5, y - size / 2 + 0.5
            r = (cx * cx + cy * cy) ** 0.5
            if r < size * 0.45:
                # a teal disc with a light sweep stripe
                stripe = abs(cx + cy) < size * 0.12
                b, g, rr = (240, 250, 250) if stripe else (170, 140, 20)
                pixels += bytes((b, g, rr, 255))
            else:
                pixels += bytes((0, 0, 0, 0))
    mask = bytes(((size + 31) // 32) * 4 * size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
    return header + bytes(pixels) + mask


def main(out):
    images = [image(32), image(16)]
    data = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, img in zip((32, 16), images):
        data += struct.pack('<BBBBHHII', size, size, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    with open(out, 'wb') as f:
        f.write(data + b''.join(images))


if __name__ == '__main__':
    main(sys.argv[1])
