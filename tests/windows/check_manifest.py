#!/usr/bin/env python3
"""Checks the application manifest of a Windows program file: one RT_MANIFEST resource, id 1, that
asks for administrator rights, names every Windows from Vista to 10/11 and declares DPI awareness.

Lists and extracts the resource with wrestool (icoutils); --xml checks a manifest file instead of
an image. Exits 1 naming every fault. Windows ignores an element outside its namespace without a
word, so every element is looked up in the namespace that Windows reads it from.
"""
import argparse
import re
import subprocess
import sys
import xml.etree.ElementTree as ElementTree

RT_MANIFEST = 24
ASM_V1 = "urn:schemas-microsoft-com:asm.v1"
ASM_V3 = "urn:schemas-microsoft-com:asm.v3"
COMPATIBILITY = "urn:schemas-microsoft-com:compatibility.v1"
SETTINGS_2005 = "http://schemas.microsoft.com/SMI/2005/WindowsSettings"
SETTINGS_2016 = "http://schemas.microsoft.com/SMI/2016/WindowsSettings"

SUPPORTED_OS = {
    "{e2011457-1546-43c5-a5fe-008deee3d3f0}": "Windows Vista",
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}": "Windows 7",
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}": "Windows 8",
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}": "Windows 8.1",
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}": "Windows 10 and 11",
}


def manifest_resources(image):
    """The names of the image's RT_MANIFEST resources, as wrestool lists them."""
    listing = subprocess.run(["wrestool", "-l", image], check=True, capture_output=True, text=True).stdout
    return [match.group(1).strip("'") for match in re.finditer(rf"--type={RT_MANIFEST} --name=(\S+)", listing)]


def extract_manifest(image, name):
    return subprocess.run(["wrestool", "-x", "--raw", f"--type={RT_MANIFEST}", f"--name={name}", image],
                          check=True, capture_output=True).stdout


def tag(namespace, name):
    return f"{{{namespace}}}{name}"


def path(*steps):
    return "/".join(tag(namespace, name) for namespace, name in steps)


def manifest_faults(data):
    """Every way in which the manifest falls short, as sentences; none when it is right."""
    try:
        root = ElementTree.fromstring(data)
    except ElementTree.ParseError as error:
        return [f"the manifest is no well-formed XML ({error})"]
    if root.tag != tag(ASM_V1, "assembly"):
        return [f"the root element is {root.tag}, expected {tag(ASM_V1, 'assembly')}"]
    faults = []
    if root.get("manifestVersion") != "1.0":
        faults.append(f"manifestVersion is {root.get('manifestVersion')!r}, expected '1.0'")

    levels = root.findall(path((ASM_V3, "trustInfo"), (ASM_V3, "security"), (ASM_V3, "requestedPrivileges"),
                               (ASM_V3, "requestedExecutionLevel")))
    if len(levels) != 1:
        faults.append(f"{len(levels)} requestedExecutionLevel elements under trustInfo (asm.v3), expected 1")
    else:
        if levels[0].get("level") != "requireAdministrator":
            faults.append(f"requestedExecutionLevel is {levels[0].get('level')!r}, expected 'requireAdministrator'")
        if levels[0].get("uiAccess", "false") != "false":
            faults.append(f"uiAccess is {levels[0].get('uiAccess')!r}: only signed programs in a secure place may")

    named = [element.get("Id", "").lower() for element in
             root.findall(path((COMPATIBILITY, "compatibility"), (COMPATIBILITY, "application"),
                               (COMPATIBILITY, "supportedOS")))]
    missing = [system for guid, system in SUPPORTED_OS.items() if guid not in named]
    unknown = [guid for guid in named if guid not in SUPPORTED_OS]
    if missing:
        faults.append(f"supportedOS does not name {', '.join(missing)}")
    if unknown:
        faults.append(f"supportedOS names unknown systems {unknown}")

    settings = path((ASM_V3, "application"), (ASM_V3, "windowsSettings"))
    aware = root.find(f"{settings}/{tag(SETTINGS_2005, 'dpiAware')}")
    awareness = root.find(f"{settings}/{tag(SETTINGS_2016, 'dpiAwareness')}")
    # Vista to 8.1 read dpiAware; Windows 10 reads dpiAwareness first.
    if aware is None or (aware.text or "").strip().lower() not in ("true", "true/pm", "per monitor"):
        faults.append("no dpiAware (2005 WindowsSettings) of true or true/pm, which Vista to 8.1 read")
    values = [value.strip().lower() for value in ((awareness.text or "") if awareness is not None else "").split(",")]
    if not values or values[0] not in ("permonitorv2", "permonitor", "system"):
        faults.append("no dpiAwareness (2016 WindowsSettings) whose first value Windows 10 knows")
    return faults


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    source = parser.add_mutually_exclusive_group(required=True)
    source.add_argument("image", nargs="?")
    source.add_argument("--xml", help="a manifest file instead of an image")
    args = parser.parse_args()

    if args.xml:
        what = args.xml
        with open(args.xml, "rb") as manifest:
            faults = manifest_faults(manifest.read())
    else:
        what = args.image
        names = manifest_resources(args.image)
        if names != ["1"]:
            faults = [f"RT_MANIFEST resources {names}, expected exactly one of id 1"]
        else:
            faults = manifest_faults(extract_manifest(args.image, "1"))
    for fault in faults:
        print(f"{what}: {fault}", file=sys.stderr)
    if not faults:
        print(f"{what}: manifest asks for requireAdministrator, names Vista to 10/11, DPI aware")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
