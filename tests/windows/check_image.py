#!/usr/bin/env python3
"""Checks a Windows program file: its PE format, its subsystem, the DLLs that it imports and,
for a program without C runtime, that it has no static constructors (nothing would run them).

Reads the headers with objdump -p (binutils-mingw-w64). Exits 1 naming every difference.
"""
import argparse
import re
import subprocess
import sys


def read_headers(objdump, image):
    return subprocess.run([objdump, "-p", image], check=True, capture_output=True, text=True).stdout


def file_format(headers):
    match = re.search(r"file format (\S+)", headers)
    return match.group(1) if match else None


def subsystem(headers):
    match = re.search(r"^Subsystem\s+([0-9a-fA-F]+)", headers, re.MULTILINE)
    return int(match.group(1), 16) if match else None


def imported_dlls(headers):
    return re.findall(r"^\s*DLL Name: (\S+)", headers, re.MULTILINE)


def constructor_list_bytes(nm, image):
    """The size of the linked constructor list, the two sentinels included (from the symbol table;
    MinGW's linker puts the list into .text between __CTOR_LIST__ and __DTOR_LIST__)."""
    symbols = subprocess.run([nm, image], check=True, capture_output=True, text=True).stdout
    addresses = {}
    for line in symbols.splitlines():
        fields = line.split()
        if len(fields) == 3 and fields[2].lstrip("_") in ("CTOR_LIST__", "DTOR_LIST__"):
            addresses[fields[2].lstrip("_")] = int(fields[0], 16)
    if len(addresses) != 2:
        raise SystemExit(f"{image}: no constructor list in the symbol table (stripped?)")
    return addresses["DTOR_LIST__"] - addresses["CTOR_LIST__"]


SUBSYSTEMS = {"gui": 2, "console": 3}


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("image")
    parser.add_argument("--objdump", default="objdump")
    parser.add_argument("--format", required=True, help="as objdump names it: pei-i386 or pei-x86-64")
    parser.add_argument("--subsystem", choices=SUBSYSTEMS, required=True)
    group = parser.add_mutually_exclusive_group(required=True)
    group.add_argument("--imports-exactly", help="comma-separated DLL names, each imported once")
    group.add_argument("--imports-within", help="comma-separated DLL names that the image may import")
    parser.add_argument("--no-constructors", metavar="NM",
                        help="with this nm: fail on static constructors, as the image's start-up runs none")
    args = parser.parse_args()

    headers = read_headers(args.objdump, args.image)
    faults = []
    if args.no_constructors:
        pointer = 8 if file_format(headers) == "pei-x86-64" else 4
        # An empty list holds only its sentinels, -1 and 0.
        if constructor_list_bytes(args.no_constructors, args.image) > 2 * pointer:
            faults.append("has static constructors, which nothing runs")
    if file_format(headers) != args.format:
        faults.append(f"file format {file_format(headers)}, expected {args.format}")
    if subsystem(headers) != SUBSYSTEMS[args.subsystem]:
        faults.append(f"subsystem {subsystem(headers)}, expected {SUBSYSTEMS[args.subsystem]} ({args.subsystem})")
    dlls = imported_dlls(headers)
    if args.imports_exactly is not None:
        expected = args.imports_exactly.split(",")
        # Windows matches DLL names without regard to case.
        if sorted(name.upper() for name in dlls) != sorted(name.upper() for name in expected):
            faults.append(f"imports {dlls}, expected exactly {expected}")
    else:
        allowed = {name.upper() for name in args.imports_within.split(",")}
        stray = [dll for dll in dlls if dll.upper() not in allowed]
        if stray:
            faults.append(f"imports {stray}, which are not among {sorted(allowed)}")

    for fault in faults:
        print(f"{args.image}: {fault}", file=sys.stderr)
    if not faults:
        print(f"{args.image}: {file_format(headers)}, subsystem {args.subsystem}, imports {dlls}")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
