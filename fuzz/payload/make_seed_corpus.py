#!/usr/bin/env python3
"""Writes the small seed corpora of the payload fuzz targets into
fuzz/corpus/payload_*/. Run from anywhere; the files are checked in."""
import os
import struct
import zlib

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "corpus")
ALPHABET = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ[abcdefghijklmnopqrstuvwxyz{"
SETTINGS_MAGIC = 0xE2205D8A


def encode(data: bytes) -> bytes:
    out = []
    for i in range(0, len(data) - len(data) % 3, 3):
        x, y, z = data[i], data[i + 1], data[i + 2]
        out += [x & 0x3F, (x >> 6) | ((y & 0x0F) << 2), (y >> 4) | ((z & 0x03) << 4), z >> 2]
    rest = data[len(data) - len(data) % 3:]
    if len(rest) == 1:
        out += [rest[0] & 0x3F, rest[0] >> 6]
    elif len(rest) == 2:
        x, y = rest
        out += [x & 0x3F, (x >> 6) | ((y & 0x0F) << 2), y >> 4]
    return "".join(ALPHABET[v] for v in out).encode()


def container(data: bytes, version=0x100, unpacked=None) -> bytes:
    stream = zlib.compress(data, 6)
    size = len(data) if unpacked is None else unpacked
    return struct.pack("<6I", 0x00485A51, 24, version, len(stream), size, 0) + stream


def utf16(text: str) -> bytes:
    return text.encode("utf-16-le")


def record(name="Fuzz", flags=0x20000, builder=0x02050000, password="pw") -> bytes:
    parts = [utf16(name), utf16("info"), encode(utf16("C")), utf16("D"), utf16("E"), b"F", utf16("G")]
    pw = encode(utf16(password))
    header = bytearray(104)
    struct.pack_into("<H", header, 0, 104)
    struct.pack_into("<I", header, 4, 0x01020300)
    struct.pack_into("<I", header, 24, flags)
    header[28] = len(parts[0])
    struct.pack_into("<H", header, 30, len(parts[1]))
    struct.pack_into("<III", header, 32, len(parts[2]), len(parts[3]), len(parts[4]))
    struct.pack_into("<II", header, 64, len(parts[5]), SETTINGS_MAGIC)
    struct.pack_into("<h", header, 72, len(parts[6]))
    struct.pack_into("<III", header, 76, len(pw), 0, ord("4"))
    struct.pack_into("<I", header, 92, builder)
    return bytes(header) + b"".join(parts) + bytes(12) + pw + b"tl"


def old_record_72() -> bytes:
    header = bytearray(72)
    struct.pack_into("<H", header, 0, 72)
    struct.pack_into("<HBxH", header, 24, 0x20000 >> 4, 4, 0)
    struct.pack_into("<I", header, 60, SETTINGS_MAGIC)
    pw = encode(utf16("old"))
    struct.pack_into("<I", header, 68, len(pw))
    return bytes(header) + utf16("Ab") + bytes(12) + pw


def storage(settings: bytes, workbook: bytes, magic=SETTINGS_MAGIC) -> bytes:
    rotr = lambda v, n: ((v >> n) | (v << (32 - n))) & 0xFFFFFFFF
    tag = ~rotr(magic, 2) & 0xFFFFFFFF
    part1, part4 = b"note\0", b"end"
    header = struct.pack("<IIIIQIIII", 0x48535251, 40, 0, tag, 0, len(part1), len(settings), len(workbook),
                         len(part4))
    return header + part1 + settings + workbook + part4


def settings_input(rec: bytes, stored: bytes = b"") -> bytes:
    return struct.pack("<H", len(rec)) + rec + stored


def write(target: str, name: str, data: bytes) -> None:
    folder = os.path.join(ROOT, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


workbook = struct.pack("<I", 0x571102EC) + b"workbook"
write("payload_container", "packed", container(b"packed payload content\n"))
write("payload_container", "one_byte", b"1")
write("payload_container", "version_200", container(b"abcabcabc", version=0x200))
write("payload_container", "claims_more", container(b"zeros" + bytes(200), unpacked=4096))
write("payload_container", "empty_content", container(b"", unpacked=0))

write("payload_settings", "current_with_storage", settings_input(record(), storage(record("Stored"), workbook)))
write("payload_settings", "packed_storage_parts",
      settings_input(container(record()), storage(container(record("Packed")), container(workbook))))
write("payload_settings", "old_builder", settings_input(record(builder=0x02010408, flags=0x4080)))
write("payload_settings", "header_72", settings_input(old_record_72(), storage(old_record_72(), b"")))
write("payload_settings", "tiny", settings_input(b"\x18\x00"))

write("payload_text_decode", "abc", b"X9rO")
write("payload_text_decode", "tails", b"X9rO{X1-X96")
write("payload_text_decode", "utf8", encode("Gr\u00fc\u00dfe \U0001F600".encode()))
write("payload_text_decode", "utf16_password", encode(utf16("secret")))
write("payload_text_decode", "invalid_utf8", encode(b"\xed\xa0\x80\xff"))
