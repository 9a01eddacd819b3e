#!/usr/bin/env python3
"""make_fixtures.py OUT: a small file tree and 7z archives of it made by 7zz,
one per coder arrangement the tests expect to extract or to refuse.

The tree is deterministic: every file and folder carries the same
modification time, one file is read-only, one is empty, one folder is empty,
and the binary files contain x86 call/jump and ARM branch patterns so the
branch converters really change them."""
import os
import shutil
import stat
import subprocess
import sys

out = os.path.abspath(sys.argv[1])
tree = os.path.join(out, 'tree')
MTIME = 981173106  # 2001-02-03 04:05:06 UTC


def clear(path):
    if os.path.lexists(path):
        for root, dirs, files in os.walk(path):
            for name in dirs + files:
                os.chmod(os.path.join(root, name), 0o755)
        shutil.rmtree(path)


def write(rel, data, mode=0o644):
    path = os.path.join(tree, rel)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, 'wb') as f:
        f.write(data)
    os.chmod(path, mode)


def machine_code(size, seed):
    """Bytes that look like x86 and ARM code: calls, jumps, branch-and-link words."""
    data = bytearray()
    state = seed
    while len(data) < size:
        state = (state * 1103515245 + 12345) & 0x7FFFFFFF
        kind = state % 4
        target = (state >> 8) & 0xFFFF
        if kind == 0:
            data += bytes([0xE8]) + target.to_bytes(4, 'little')       # x86 call rel32
        elif kind == 1:
            data += bytes([0xE9]) + (target * 3).to_bytes(4, 'little')  # x86 jmp rel32
        elif kind == 2:
            while len(data) % 4:
                data.append(0x90)
            data += (target & 0xFFFF).to_bytes(3, 'little') + bytes([0xEB])  # ARM BL
        else:
            data += bytes([0x55, 0x8B, 0xEC, 0x83, 0xEC, state & 0x3F, 0x5D, 0xC3])
    return bytes(data[:size])


clear(out)
os.makedirs(tree)
write('readme.txt', b'KWSweep payload fixture\r\n' * 40)
write('bin/code.bin', machine_code(96 * 1024, 7))
write('bin/more.bin', machine_code(64 * 1024, 11))
write('a/b/c.txt', b'nested file\r\n')
write('empty.txt', b'')
write('ro.txt', b'read-only content\r\n', 0o444)
write(u'名前/ü.txt'.encode().decode(), 'unicode name\r\n'.encode())
os.makedirs(os.path.join(tree, 'emptydir'))
for root, dirs, files in os.walk(tree):
    for name in dirs + files:
        os.utime(os.path.join(root, name), (MTIME, MTIME), follow_symlinks=False)

ARCHIVES = {
    # extracted byte-exact
    'copy.7z': ['-m0=Copy', '-mhc=off'],
    'lzma.7z': ['-m0=LZMA'],
    'lzma2.7z': ['-m0=LZMA2'],
    'bcj_lzma.7z': ['-mf=BCJ', '-m0=LZMA'],
    'arm_lzma.7z': ['-mf=ARM', '-m0=LZMA'],
    'bcj2.7z': ['-mf=BCJ2', '-m0=LZMA'],
    'nonsolid.7z': ['-m0=LZMA2', '-ms=off'],
    # refused
    'ppmd.7z': ['-m0=PPMd'],
    'delta.7z': ['-mf=Delta:4', '-m0=LZMA'],
    'arm64.7z': ['-mf=ARM64', '-m0=LZMA'],
    'riscv.7z': ['-mf=RISCV', '-m0=LZMA'],
    'sparc.7z': ['-mf=SPARC', '-m0=LZMA'],
    'armt.7z': ['-mf=ARMT', '-m0=LZMA'],
    'aes.7z': ['-m0=LZMA', '-pSecret'],
    'aes_header.7z': ['-m0=LZMA', '-pSecret', '-mhe=on'],
}
for name, switches in ARCHIVES.items():
    subprocess.run(['7zz', 'a', '-t7z', '-bd', '-bso0', '-bsp0', '-mmt=1', *switches,
                    os.path.join(out, name), '.'], cwd=tree, check=True)

# Only the file itself, without folder items: a/b must be created on the way.
subprocess.run(['7zz', 'a', '-t7z', '-bd', '-bso0', '-bsp0', '-m0=LZMA2',
                os.path.join(out, 'nested_only.7z'), 'a/b/c.txt'], cwd=tree, check=True)

# The payload as a resource stores it: bytes 0 and 1 exchanged.
data = bytearray(open(os.path.join(out, 'lzma2.7z'), 'rb').read())
data[0], data[1] = data[1], data[0]
open(os.path.join(out, 'lzma2_swapped.7z'), 'wb').write(data)
