#!/usr/bin/env python3
"""Passes the launch benchmark's output through and answers its requests to
drop a file's pages from the system's page cache.

The benchmark runs under Wine and cannot drop the host system's cache
itself. For each line "EVICT <Windows path>" it prints, this script drops
the file's cached pages (posix_fadvise DONTNEED, after fdatasync), then
writes "<Windows path>.evicted" with the bytes of the file still resident
(fincore, where it is installed). Every other line is printed as it comes.
"""
import os
import subprocess
import sys


def unix_path(windows_path):
    """Wine shows the machine's root as drive Z:."""
    if len(windows_path) > 2 and windows_path[1] == ":" and windows_path[0].upper() == "Z":
        return windows_path[2:].replace("\\", "/")
    return None


def resident(path):
    try:
        out = subprocess.run(["fincore", "--bytes", "--noheadings", "--output", "RES", path],
                             capture_output=True, text=True, timeout=30)
    except (OSError, subprocess.SubprocessError):
        return "unknown (no fincore)"
    return out.stdout.strip() + " bytes" if out.returncode == 0 else "unknown"


def evict(windows_path):
    path = unix_path(windows_path)
    if path is None:
        return
    report = "not dropped"
    try:
        fd = os.open(path, os.O_RDONLY)
        try:
            os.fdatasync(fd)
            os.posix_fadvise(fd, 0, 0, os.POSIX_FADV_DONTNEED)
        finally:
            os.close(fd)
        report = resident(path)
    except OSError as error:
        report = "not dropped: " + str(error)
    with open(path + ".evicted", "w") as answer:
        answer.write(report + "\n")


def main():
    while True:
        line = sys.stdin.readline()
        if not line:
            return 0
        if line.startswith("EVICT "):
            evict(line[len("EVICT "):].rstrip("\r\n"))
            continue
        sys.stdout.write(line)
        sys.stdout.flush()


if __name__ == "__main__":
    sys.exit(main())
