#!/usr/bin/env python3
"""Fails when a source file of the launcher includes a header of a layer above its own.

The layers, bottom up: base; payload; text; host and ui (side by side, neither
includes the other); core. tools/, tests/, fuzz/ and bench/ stand beside them
and may include any layer.
"""
import pathlib
import re
import sys

# folder -> the folders whose headers it may include (its own among them)
ALLOWED = {
    "base": {"base"},
    "payload": {"base", "payload"},
    "text": {"base", "payload", "text"},
    "host": {"base", "payload", "text", "host"},
    "ui": {"base", "payload", "text", "ui"},
    "core": {"base", "payload", "text", "host", "ui", "core"},
}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"/]+)/')
SOURCES = {".h", ".hpp", ".cpp", ".c", ".inc", ".rc"}


def main() -> int:
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parent.parent)
    known = set(ALLOWED) | {"tools", "tests", "fuzz", "bench"}
    problems = []
    for layer, allowed in ALLOWED.items():
        for path in sorted((root / layer).rglob("*")):
            if path.suffix not in SOURCES or not path.is_file():
                continue
            for number, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
                match = INCLUDE.match(line)
                if match and match.group(1) in known and match.group(1) not in allowed:
                    problems.append(f"{path.relative_to(root)}:{number}: {layer}/ includes {match.group(1)}/, a layer above it")
    for problem in problems:
        print(problem)
    if problems:
        print(f"{len(problems)} include(s) reach a higher layer")
        return 1
    print("layering: every include stays at or below its own layer")
    return 0


if __name__ == "__main__":
    sys.exit(main())
