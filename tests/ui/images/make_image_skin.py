#!/usr/bin/env python3
"""Builds the skin archive of the image and control tests.

make_image_skin.py <skin folder> <output zip>

The SVG files of the skin folder go in as they are; the raster images are
written here: Image/BkViewInit.png and its "@125" ... "@200" variants, each
its own colour (so a test sees which one was drawn) and sized by its scale;
progress bar images; Image/Plain.png without variants; an empty entry.
"""
import os
import struct
import sys
import zipfile
import zlib


def png(width, height, pixel):
    """An RGBA PNG; pixel(x, y) -> (r, g, b, a)."""
    rows = b''.join(b'\0' + b''.join(bytes(pixel(x, y)) for x in range(width)) for y in range(height))

    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data) & 0xffffffff)

    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, 6, 0, 0, 0)) +
            chunk(b'IDAT', zlib.compress(rows, 9)) + chunk(b'IEND', b''))


# Colours of the background variants, by scale.
VARIANTS = {100: (200, 40, 40), 125: (40, 200, 40), 150: (40, 40, 200), 175: (200, 200, 40), 200: (40, 200, 200)}


def main():
    skin, out = sys.argv[1], sys.argv[2]
    os.makedirs(os.path.dirname(out), exist_ok=True)
    with zipfile.ZipFile(out, 'w', compression=zipfile.ZIP_DEFLATED) as z:
        z.writestr(zipfile.ZipInfo('Image/'), b'')
        for folder, dirs, files in os.walk(skin):
            dirs.sort()
            for name in sorted(files):
                path = os.path.join(folder, name)
                z.write(path, os.path.relpath(path, skin).replace(os.sep, '/'))
        for scale, rgb in VARIANTS.items():
            name = 'Image/BkViewInit.png' if scale == 100 else 'Image/BkViewInit@%d.png' % scale
            w, h = 100 * scale // 100, 40 * scale // 100
            z.writestr(name, png(w, h, lambda x, y, rgb=rgb: rgb + (255,)))
        z.writestr('Image/Plain.png', png(8, 8, lambda x, y: (10, 120, 10, 255)))
        # Progress bar: a grey track and a fore image whose left half is
        # darker, so a stretch and a cut are told apart.
        z.writestr('Image/ProgressBk.png', png(20, 16, lambda x, y: (220, 220, 220, 255)))
        z.writestr('Image/ProgressFore.png', png(20, 16, lambda x, y: (0, 90, 200, 255) if x < 10 else (80, 170, 255, 255)))
        # Half-transparent red, and a magenta mask colour in an opaque image.
        z.writestr('Image/Glass.png', png(4, 4, lambda x, y: (255, 0, 0, 128)))
        z.writestr('Image/Masked.png', png(4, 4, lambda x, y: (255, 0, 255, 255) if x < 2 else (0, 0, 255, 255)))
        z.writestr('Image/Empty.png', b'')


if __name__ == '__main__':
    main()
