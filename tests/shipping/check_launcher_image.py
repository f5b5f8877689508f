#!/usr/bin/env python3
"""Checks the shipping launcher's image and prints its figures.

    check_launcher_image.py LAUNCHER.exe --max-bytes N --imports A.dll,B.dll,...

Fails (exit 1) unless the file is a 32-bit GUI PE image of at most N bytes,
stripped of symbols, with the DYNAMIC_BASE (ASLR) and NX_COMPAT (DEP) DLL
characteristics, whose optional header CheckSum equals the checksum computed
here from the file's bytes, and which imports exactly the named DLLs (names
compared without regard to case), and whose resource section starts at a
page-aligned file offset (which every build made from it keeps; see
cmake/align_resource_section.py).
"""
import argparse
import struct
import sys

IMAGE_FILE_MACHINE_I386 = 0x014C
PE32_MAGIC = 0x010B
SUBSYSTEM_WINDOWS_GUI = 2
DLLCHARACTERISTICS_DYNAMIC_BASE = 0x0040
DLLCHARACTERISTICS_NX_COMPAT = 0x0100
# Offsets inside the PE32 optional header.
CHECKSUM_OFFSET = 64
SUBSYSTEM_OFFSET = 68
DLLCHARACTERISTICS_OFFSET = 70
DATA_DIRECTORIES_OFFSET = 96
IMPORT_DIRECTORY = 1
RESOURCE_DIRECTORY = 2
PAGE = 4096


def pe_checksum(image, checksum_at):
    """The image checksum: the file as little-endian 16-bit words (an odd last
    byte padded with zero), the CheckSum field counted as zero, summed with
    the carry folded back into the low 16 bits after every word, plus the
    file's length."""
    data = bytearray(image)
    data[checksum_at:checksum_at + 4] = bytes(4)
    if len(data) % 2:
        data.append(0)
    total = 0
    for (word,) in struct.iter_unpack("<H", data):
        total += word
        total = (total & 0xFFFF) + (total >> 16)
    return (total + len(image)) & 0xFFFFFFFF


class Image:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise ValueError("no MZ header")
        self.pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[self.pe:self.pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        (self.machine, section_count, _, self.symbol_table, self.symbol_count,
         optional_size, self.characteristics) = struct.unpack_from("<HHIIIHH", data, self.pe + 4)
        self.optional = self.pe + 24
        self.magic = struct.unpack_from("<H", data, self.optional)[0]
        first_section = self.optional + optional_size
        self.sections = []
        for i in range(section_count):
            at = first_section + 40 * i
            name = data[at:at + 8].rstrip(b"\0").decode("ascii", "replace")
            virtual_size, rva, raw_size, raw_offset = struct.unpack_from("<IIII", data, at + 8)
            self.sections.append((name, virtual_size, rva, raw_size, raw_offset))

    def u16(self, offset):
        return struct.unpack_from("<H", self.data, self.optional + offset)[0]

    def u32(self, offset):
        return struct.unpack_from("<I", self.data, self.optional + offset)[0]

    def file_offset(self, rva):
        for _, virtual_size, start, raw_size, raw_offset in self.sections:
            if start <= rva < start + max(virtual_size, raw_size):
                return raw_offset + rva - start
        raise ValueError(f"RVA {rva:#x} is in no section")

    def resource_section_offset(self):
        rva = self.u32(DATA_DIRECTORIES_OFFSET + 8 * RESOURCE_DIRECTORY)
        for _, _, start, raw_size, raw_offset in self.sections:
            if raw_size and start == rva:
                return raw_offset
        return None

    def c_string(self, rva):
        at = self.file_offset(rva)
        return self.data[at:self.data.index(b"\0", at)].decode("ascii")

    def imported_dlls(self):
        rva = self.u32(DATA_DIRECTORIES_OFFSET + 8 * IMPORT_DIRECTORY)
        dlls = []
        at = self.file_offset(rva)
        while True:
            descriptor = struct.unpack_from("<IIIII", self.data, at)
            if not any(descriptor):
                return dlls
            dlls.append(self.c_string(descriptor[3]))
            at += 20


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("launcher")
    parser.add_argument("--max-bytes", type=int, required=True)
    parser.add_argument("--imports", required=True, help="comma-separated DLL names")
    args = parser.parse_args()

    data = open(args.launcher, "rb").read()
    image = Image(data)
    failures = []

    def check(condition, what):
        if not condition:
            failures.append(what)

    stored_checksum = image.u32(CHECKSUM_OFFSET)
    computed_checksum = pe_checksum(data, image.optional + CHECKSUM_OFFSET)
    dll_characteristics = image.u16(DLLCHARACTERISTICS_OFFSET)
    dlls = image.imported_dlls()
    expected = args.imports.split(",")

    print(f"{args.launcher}: {len(data)} bytes (at most {args.max_bytes})")
    for name, virtual_size, _, raw_size, _ in image.sections:
        print(f"  section {name:8} {virtual_size:8} bytes in memory, {raw_size:8} in the file")
    print(f"  DllCharacteristics {dll_characteristics:#06x}")
    print(f"  CheckSum {stored_checksum:#010x}, computed {computed_checksum:#010x}")
    print(f"  DLL imports: {', '.join(dlls)}")
    resource_offset = image.resource_section_offset()
    print(f"  resource section at file offset {resource_offset:#x}" if resource_offset is not None
          else "  no resource section")

    check(len(data) <= args.max_bytes, f"{len(data)} bytes, more than {args.max_bytes}")
    check(image.machine == IMAGE_FILE_MACHINE_I386 and image.magic == PE32_MAGIC, "not a 32-bit x86 image")
    check(image.u16(SUBSYSTEM_OFFSET) == SUBSYSTEM_WINDOWS_GUI, "not a GUI program")
    check(image.symbol_table == 0 and image.symbol_count == 0, "not stripped: it has a COFF symbol table")
    check(dll_characteristics & DLLCHARACTERISTICS_DYNAMIC_BASE, "DYNAMIC_BASE (ASLR) not set")
    check(dll_characteristics & DLLCHARACTERISTICS_NX_COMPAT, "NX_COMPAT (DEP) not set")
    check(stored_checksum == computed_checksum,
          f"CheckSum {stored_checksum:#010x} is not the image's checksum {computed_checksum:#010x}")
    check(resource_offset is not None and resource_offset % PAGE == 0,
          f"resource section at file offset {resource_offset or 0:#x}, not a multiple of {PAGE}")
    check(sorted(d.lower() for d in dlls) == sorted(d.lower() for d in expected),
          f"imports {dlls}, expected {expected}")

    for failure in failures:
        print(f"FAILED: {failure}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
