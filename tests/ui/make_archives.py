#!/usr/bin/env python3
"""Builds the skin archives the UI tests read.

make_archives.py <skin folder> <output folder>

  zip-skin.zip     the skin folder zipped by Info-ZIP's `zip` (with directory entries)
  python-skin.zip  the same files written by Python's zipfile, plus a UTF-8 name
  limits.zip       markup entries of exactly 4 MiB and one byte more, an empty entry
  corrupt.zip      entries whose data contradict their records (written by hand)
  stage/           the files as they are in the archives
"""
import os
import random
import shutil
import struct
import subprocess
import sys
import zipfile
import zlib

MAX_SKIN_FILE = 4 * 1024 * 1024


def stage_skin(skin, stage):
    shutil.rmtree(stage, ignore_errors=True)
    shutil.copytree(skin, stage)
    os.makedirs(os.path.join(stage, "Image"), exist_ok=True)
    # Incompressible: `zip` stores it rather than deflating it.
    rng = random.Random(11)
    with open(os.path.join(stage, "Image", "noise.bin"), "wb") as f:
        f.write(bytes(rng.randrange(256) for _ in range(4096)))


def staged_files(stage):
    for folder, dirs, files in os.walk(stage):
        dirs.sort()
        for name in sorted(files):
            path = os.path.join(folder, name)
            yield os.path.relpath(path, stage).replace(os.sep, "/"), path


def write_python_skin(stage, out):
    with zipfile.ZipFile(out, "w") as z:
        z.writestr(zipfile.ZipInfo("Image/"), b"")
        z.writestr(zipfile.ZipInfo("Layout/"), b"")
        for name, path in staged_files(stage):
            method = zipfile.ZIP_STORED if name.endswith(".bin") else zipfile.ZIP_DEFLATED
            z.write(path, name, compress_type=method)
        z.writestr("Layout/Ärger.xml", "<Ärger/>".encode("utf-8"), compress_type=zipfile.ZIP_DEFLATED)


def markup_of_size(size):
    head, tail = b"<Window>", b"</Window>"
    return head + b"x" * (size - len(head) - len(tail)) + tail


def write_limits(out):
    with zipfile.ZipFile(out, "w", compression=zipfile.ZIP_DEFLATED) as z:
        z.writestr("Big/Exact.xml", markup_of_size(MAX_SKIN_FILE))
        z.writestr("Big/Over.xml", markup_of_size(MAX_SKIN_FILE + 1))
        z.writestr("Empty.xml", b"")


def raw_deflate(data):
    c = zlib.compressobj(9, zlib.DEFLATED, -15)
    return c.compress(data) + c.flush()


def write_raw_zip(out, entries):
    """entries: (name, stored bytes, method, flags, crc, uncompressed size)"""
    body, directory = b"", b""
    for name, data, method, flags, crc, size in entries:
        n = name.encode("ascii")
        fields = struct.pack("<HHHHHIII", 20, flags, method, 0, 0, crc, len(data), size)
        directory += struct.pack("<IH", 0x02014B50, 20) + fields + struct.pack("<HHHHHII", len(n), 0, 0, 0, 0, 0, len(body)) + n
        body += struct.pack("<I", 0x04034B50) + fields + struct.pack("<HH", len(n), 0) + n + data
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, len(entries), len(entries), len(directory), len(body), 0)
    with open(out, "wb") as f:
        f.write(body + directory + end)


def write_corrupt(out):
    text = b"<Window>" + b"corrupt " * 64 + b"</Window>"
    packed = raw_deflate(text)
    crc = zlib.crc32(text)
    broken = bytes([0xFF]) + packed[1:]  # block type 3 does not exist
    write_raw_zip(out, [
        ("Good.xml", packed, 8, 0, crc, len(text)),
        ("Bad/Stream.xml", broken, 8, 0, crc, len(text)),
        ("Bad/Crc.xml", packed, 8, 0, crc ^ 1, len(text)),
        ("Bad/Longer.xml", packed, 8, 0, crc, len(text) - 1),
        ("Bad/Shorter.xml", packed, 8, 0, crc, len(text) + 1),
        ("Bad/Truncated.xml", packed[: len(packed) // 2], 8, 0, crc, len(text)),
        ("Bad/Stored.xml", text, 0, 0, crc, len(text) + 1),
        ("Bad/Encrypted.xml", packed, 8, 1, crc, len(text)),
        ("Bad/Bzip2.xml", packed, 12, 0, crc, len(text)),
    ])


def main():
    skin, out = sys.argv[1], sys.argv[2]
    os.makedirs(out, exist_ok=True)
    stage = os.path.join(out, "stage")
    stage_skin(skin, stage)
    zip_out = os.path.join(out, "zip-skin.zip")
    if os.path.exists(zip_out):
        os.remove(zip_out)
    subprocess.run(["zip", "-q", "-r", "-X", zip_out, "."], cwd=stage, check=True)
    write_python_skin(stage, os.path.join(out, "python-skin.zip"))
    write_limits(os.path.join(out, "limits.zip"))
    write_corrupt(os.path.join(out, "corrupt.zip"))


if __name__ == "__main__":
    main()
