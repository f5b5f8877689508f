#!/usr/bin/env python3
"""Writes a small PE DLL of one bitness: the headers and one section of
random bytes. The builder takes it as an add-in of that bitness (it reads
the headers only); no host could load it.

    make_test_dll.py i386|x86-64 BYTES OUT.dll
"""
import os
import struct
import sys


def test_dll(machine, size):
    pe32_plus = machine == "x86-64"
    optional_size = 240 if pe32_plus else 224
    raw = (size + 0x1FF) & ~0x1FF
    headers = bytearray(0x200)
    headers[0:2] = b"MZ"
    struct.pack_into("<I", headers, 0x3C, 0x40)
    headers[0x40:0x44] = b"PE\0\0"
    characteristics = 0x2022 if pe32_plus else 0x2102  # DLL, executable, 64-bit or 32-bit words
    struct.pack_into("<HHIIIHH", headers, 0x44, 0x8664 if pe32_plus else 0x14C, 1, 0, 0, 0, optional_size,
                     characteristics)
    optional = 0x58
    struct.pack_into("<H", headers, optional, 0x20B if pe32_plus else 0x10B)
    struct.pack_into("<I", headers, optional + 4, raw)  # SizeOfCode
    struct.pack_into("<I", headers, optional + (24 if pe32_plus else 28), 0x10000000)  # ImageBase
    struct.pack_into("<II", headers, optional + 32, 0x1000, 0x200)  # section and file alignment
    struct.pack_into("<II", headers, optional + 56, 0x1000 + ((raw + 0xFFF) & ~0xFFF), 0x200)  # image, headers
    struct.pack_into("<H", headers, optional + 68, 2)  # subsystem
    struct.pack_into("<I", headers, optional + (108 if pe32_plus else 92), 16)  # data directories
    table = optional + optional_size
    headers[table:table + 8] = b".text\0\0\0"
    struct.pack_into("<IIIII", headers, table + 8, raw, 0x1000, raw, 0x200, 0)
    struct.pack_into("<I", headers, table + 36, 0x60000020)
    return bytes(headers) + os.urandom(size) + bytes(raw - size)


def main():
    if len(sys.argv) != 4 or sys.argv[1] not in ("i386", "x86-64"):
        print(__doc__.strip().splitlines()[-1].strip(), file=sys.stderr)
        return 2
    with open(sys.argv[3], "wb") as out:
        out.write(test_dll(sys.argv[1], int(sys.argv[2])))
    return 0


if __name__ == "__main__":
    sys.exit(main())
