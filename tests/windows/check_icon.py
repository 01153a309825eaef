#!/usr/bin/env python3
"""Checks that a program file carries the icon group BSS_ICON with exactly the expected images.

Extracts the group with wrestool and lists its images with icotool (both from icoutils).
Each expected image is WIDTHxHEIGHTxBITS, e.g. 32x32x8.
"""
import argparse
import re
import subprocess
import sys
import tempfile
import os


def extract_icon_group(image, name, directory):
    icon = os.path.join(directory, "group.ico")
    with open(icon, "wb") as out:
        subprocess.run(["wrestool", "-x", "--type=14", f"--name={name}", image], check=True, stdout=out)
    return icon


def icon_images(icon):
    listing = subprocess.run(["icotool", "-l", icon], check=True, capture_output=True, text=True).stdout
    images = []
    for line in listing.splitlines():
        fields = dict(re.findall(r"--([a-z-]+)=(\d+)", line))
        images.append((int(fields["width"]), int(fields["height"]), int(fields["bit-depth"]),
                       int(fields.get("palette-size", 0))))
    return images


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("image")
    parser.add_argument("--group", default="BSS_ICON")
    parser.add_argument("expected", nargs="+", help="WIDTHxHEIGHTxBITS of each image")
    args = parser.parse_args()

    expected = []
    for text in args.expected:
        width, height, bits = (int(part) for part in text.split("x"))
        expected.append((width, height, bits, 1 << bits))  # palette images: 2^bits colours
    with tempfile.TemporaryDirectory() as directory:
        icon = extract_icon_group(args.image, args.group, directory)
        if os.path.getsize(icon) == 0:
            print(f"{args.image}: no icon group {args.group}", file=sys.stderr)
            return 1
        images = icon_images(icon)
    if sorted(images) != sorted(expected):
        print(f"{args.image}: icon group {args.group} holds {images} (width, height, bits, palette), "
              f"expected {expected}", file=sys.stderr)
        return 1
    print(f"{args.image}: icon group {args.group} holds {images}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
