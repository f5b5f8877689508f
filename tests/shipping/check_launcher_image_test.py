#!/usr/bin/env python3
"""The image check refuses what it must: a launcher whose header checksum or
bytes were changed after linking, one larger than its limit, one whose
resource section is not page-aligned. And the alignment step undoes such a
misalignment exactly.

    check_launcher_image_test.py LAUNCHER.exe IMPORTS
"""
import os
import struct
import subprocess
import sys
import tempfile

import check_launcher_image as checker

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "cmake"))
import align_resource_section as aligner  # noqa: E402

CHECKER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "check_launcher_image.py")


def run_checker(data, max_bytes, imports):
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "launcher.exe")
        with open(path, "wb") as image:
            image.write(data)
        result = subprocess.run([sys.executable, CHECKER, path, "--max-bytes", str(max_bytes), "--imports", imports],
                                capture_output=True, text=True)
        return result.returncode, result.stdout


def misaligned(data):
    """The launcher with the gap before its resource section taken out again,
    as the linker laid it out; None when there is none (the linker happened to
    put the section on a page)."""
    image = checker.Image(data)
    start = image.resource_section_offset()
    gap = start - max(raw_offset + raw_size for _, _, _, raw_size, raw_offset in image.sections
                      if raw_size and raw_offset < start)
    if gap == 0:
        return None
    shifted = bytearray(data[:start - gap] + data[start:])
    first_section = image.optional + struct.unpack_from("<H", data, image.pe + 20)[0]
    for i in range(len(image.sections)):
        at = first_section + 40 * i + 20
        raw_offset = struct.unpack_from("<I", shifted, at)[0]
        if raw_offset >= start:
            struct.pack_into("<I", shifted, at, raw_offset - gap)
    checksum_at = image.optional + checker.CHECKSUM_OFFSET
    struct.pack_into("<I", shifted, checksum_at, checker.pe_checksum(shifted, checksum_at))
    return bytes(shifted)


def main():
    launcher, imports = sys.argv[1], sys.argv[2]
    data = open(launcher, "rb").read()
    checksum_at = checker.Image(data).optional + checker.CHECKSUM_OFFSET
    with_wrong_checksum = bytearray(data)
    with_wrong_checksum[checksum_at] ^= 0x01
    with_changed_byte = bytearray(data)
    with_changed_byte[len(data) // 2] ^= 0x80
    # Each case: image, size limit, imports, expected exit status, text the output must hold.
    cases = [
        ("as linked", data, len(data), imports, 0, "CheckSum"),
        ("wrong checksum", bytes(with_wrong_checksum), len(data), imports, 1, "is not the image's checksum"),
        ("changed byte", bytes(with_changed_byte), len(data), imports, 1, "is not the image's checksum"),
        ("one byte over the limit", data, len(data) - 1, imports, 1, f"more than {len(data) - 1}"),
        ("other imports", data, len(data), "KERNEL32.dll", 1, "expected ['KERNEL32.dll']"),
    ]
    failures = 0
    unaligned = misaligned(data)
    if unaligned is None:
        print("note: the linker put the resource section on a page; no misaligned case")
    else:
        cases.append(("resource section off the page", unaligned, len(data), imports, 1, "not a multiple of 4096"))
        realigned = bytearray(unaligned)
        aligner.align(realigned)
        if bytes(realigned) != data:
            failures += 1
            print("FAILED: aligning the misaligned launcher did not give back the launcher byte for byte")
    for name, image, limit, expected_imports, expected_status, expected_text in cases:
        status, output = run_checker(image, limit, expected_imports)
        if status != expected_status or expected_text not in output:
            failures += 1
            print(f"FAILED: {name}: exit {status}, expected {expected_status} and {expected_text!r} in:\n{output}")
    print(f"{len(cases) - failures} passed, {failures} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
