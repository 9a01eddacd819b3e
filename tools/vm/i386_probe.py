#!/usr/bin/env python3
"""Writes the smallest static i386 ELF program (it only exits with 0) to the
path given: whether the kernel runs it tells whether this machine executes
32-bit x86 code at all."""
import os
import struct
import sys

BASE = 0x08048000
CODE = bytes.fromhex("b801000000" "31db" "cd80")  # exit(0) through int 0x80
HEADER, PROGRAM_HEADER = 52, 32
size = HEADER + PROGRAM_HEADER + len(CODE)
ident = b"\x7fELF" + bytes([1, 1, 1]) + bytes(9)
elf = ident + struct.pack("<HHIIIIIHHHHHH", 2, 3, 1, BASE + HEADER + PROGRAM_HEADER, HEADER, 0, 0,
                          HEADER, PROGRAM_HEADER, 1, 0, 0, 0)
elf += struct.pack("<IIIIIIII", 1, 0, BASE, BASE, size, size, 5, 0x1000)
elf += CODE
with open(sys.argv[1], "wb") as out:
    out.write(elf)
os.chmod(sys.argv[1], 0o755)
