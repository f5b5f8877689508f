#!/usr/bin/env python3
"""Moves the resource section of a stripped PE image to a page-aligned file
offset, in place, and rewrites the image's checksum.

    align_resource_section.py IMAGE.exe

An application build is the launcher with its payload (tens of MiB) added to
this section. Windows maps every image section from the file; Wine maps only
sections whose file offset is a multiple of the page size and reads the
others into private memory, which for a build means reading and holding the
whole payload before the launcher's first instruction. The linker puts the
section at any multiple of the file alignment (512); this inserts the zero
bytes that move it, and every section after it, to the next multiple of 4096.
The resource writers keep the section's offset when they rewrite it, so every
build made from the image inherits the alignment.

Refuses (exit 1) an image it cannot shift safely: one with a COFF symbol
table, a debug directory or a certificate, whose file offsets would move too.
"""
import struct
import sys

PAGE = 4096
CHECKSUM_OFFSET = 64
# Where the data directories start in the optional header: PE32 and PE32+.
DATA_DIRECTORIES_OFFSET = {0x10B: 96, 0x20B: 112}
RESOURCE_DIRECTORY = 2
CERTIFICATE_DIRECTORY = 4
DEBUG_DIRECTORY = 6


def pe_checksum(image, checksum_at):
    data = bytearray(image)
    data[checksum_at:checksum_at + 4] = bytes(4)
    if len(data) % 2:
        data.append(0)
    total = 0
    for (word,) in struct.iter_unpack("<H", data):
        total += word
        total = (total & 0xFFFF) + (total >> 16)
    return (total + len(image)) & 0xFFFFFFFF


def align(data):
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[:2] != b"MZ" or data[pe:pe + 4] != b"PE\0\0":
        raise ValueError("not a PE image")
    section_count, = struct.unpack_from("<H", data, pe + 6)
    symbol_table, symbol_count = struct.unpack_from("<II", data, pe + 12)
    optional_size, = struct.unpack_from("<H", data, pe + 20)
    optional = pe + 24
    magic, = struct.unpack_from("<H", data, optional)
    if magic not in DATA_DIRECTORIES_OFFSET:
        raise ValueError("unknown optional header magic 0x%x" % magic)
    directories = optional + DATA_DIRECTORIES_OFFSET[magic]

    def directory(index):
        return struct.unpack_from("<II", data, directories + 8 * index)

    if symbol_table or symbol_count:
        raise ValueError("the image has a COFF symbol table; strip it first")
    if any(directory(index)[1] for index in (CERTIFICATE_DIRECTORY, DEBUG_DIRECTORY)):
        raise ValueError("the image has a certificate or a debug directory")
    resource_rva = directory(RESOURCE_DIRECTORY)[0]
    headers = optional + optional_size
    sections = [headers + 40 * i for i in range(section_count)]
    resource = None
    for at in sections:
        rva, raw_size, raw_offset = struct.unpack_from("<III", data, at + 12)
        if raw_size and rva == resource_rva:
            resource = raw_offset
    if resource is None:
        raise ValueError("no resource section")
    padding = -resource % PAGE
    if padding:
        for at in sections:
            raw_size, raw_offset = struct.unpack_from("<II", data, at + 16)
            if raw_size and raw_offset >= resource:
                struct.pack_into("<I", data, at + 20, raw_offset + padding)
        data[resource:resource] = bytes(padding)
    checksum_at = optional + CHECKSUM_OFFSET
    struct.pack_into("<I", data, checksum_at, pe_checksum(data, checksum_at))
    return padding


def main():
    if len(sys.argv) != 2:
        print(__doc__.strip().splitlines()[2].strip(), file=sys.stderr)
        return 2
    path = sys.argv[1]
    data = bytearray(open(path, "rb").read())
    try:
        align(data)
    except ValueError as error:
        print(f"{path}: {error}", file=sys.stderr)
        return 1
    with open(path, "wb") as out:
        out.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main())
