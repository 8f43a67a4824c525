#!/usr/bin/env python3
"""Lists the functions of at least N lines (default 80) in the C++ sources under the given folders.

A function is a definition whose body opens at the end of a line at namespace level and closes
with a "}" alone at the start of a line (clang-format puts every top-level definition so). Lines
are counted from the first line of the signature to the closing brace.
usage: scripts/long-functions.py [-n LINES] FOLDER...
"""
import argparse
import pathlib
import re

SKIP = ("namespace", "class ", "struct ", "enum ", "union ", "#", "//", "}", "extern", "using",
        "template", "static_assert", "inline constexpr", "constexpr ", "const ")


def functions(path):
    lines = path.read_text(encoding="utf-8", errors="replace").splitlines()
    i = 0
    while i < len(lines):
        line = lines[i]
        if not line or line[0].isspace() or line.startswith(SKIP) or "(" not in line:
            i += 1
            continue
        # The signature runs on until a line ending in "{" (a definition) or ";" (a declaration).
        open_at = i
        while open_at < len(lines) and not lines[open_at].rstrip().endswith(("{", ";")):
            open_at += 1
        if open_at == len(lines) or lines[open_at].rstrip().endswith(";") or "=" in line.split("(")[0]:
            i = open_at + 1
            continue
        end = open_at + 1
        while end < len(lines) and not lines[end].startswith("}"):
            end += 1
        name = re.search(r"([\w:~<>]+)\s*\(", line)
        yield (name.group(1) if name else line.strip()), i + 1, end - i + 1
        i = end + 1


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("-n", type=int, default=80)
    parser.add_argument("folders", nargs="+")
    args = parser.parse_args()
    found = []
    for folder in args.folders:
        for path in sorted(pathlib.Path(folder).rglob("*.cpp")):
            for name, line, length in functions(path):
                if length >= args.n:
                    found.append((length, f"{path}:{line}", name))
    for length, where, name in sorted(found, reverse=True):
        print(f"{length:5d}  {name}  {where}")


if __name__ == "__main__":
    main()
