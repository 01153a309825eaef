#!/usr/bin/env python3
"""The manifest check must refuse what Windows would not honour: the installer's own manifest,
each time spoilt in one way, has to fail with the fault named, and the intact one has to pass.

Usage: check_manifest_test.py MANIFEST (resources/installer.manifest).
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from check_manifest import manifest_faults  # noqa: E402

# (case, text in the manifest, its replacement, words of the fault expected)
SPOILT = [
    ("runs as the caller", 'level="requireAdministrator"', 'level="asInvoker"', "expected 'requireAdministrator'"),
    ("asks only the most it can", 'level="requireAdministrator"', 'level="highestAvailable"',
     "expected 'requireAdministrator'"),
    ("trustInfo in no namespace Windows reads", 'trustInfo xmlns="urn:schemas-microsoft-com:asm.v3"',
     'trustInfo xmlns="urn:schemas-microsoft-com:asm.v9"', "0 requestedExecutionLevel"),
    ("asks for UI access", 'uiAccess="false"', 'uiAccess="true"', "uiAccess"),
    ("no Windows 10 and 11", '<supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"/>', "",
     "does not name Windows 10 and 11"),
    ("no Vista", '<supportedOS Id="{e2011457-1546-43c5-a5fe-008deee3d3f0}"/>', "", "does not name Windows Vista"),
    ("a mistyped system", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", "{1f676c76-80e1-4239-95bb-83d0f6d0da79}",
     "does not name Windows 8.1"),
    ("not DPI aware before Windows 10", ">true/pm<", ">false<", "no dpiAware"),
    ("dpiAwareness in the 2005 namespace", 'dpiAwareness xmlns="http://schemas.microsoft.com/SMI/2016/',
     'dpiAwareness xmlns="http://schemas.microsoft.com/SMI/2005/', "no dpiAwareness"),
    ("unaware on Windows 10", ">PerMonitorV2, PerMonitor<", ">unaware<", "no dpiAwareness"),
    ("cut short", "</assembly>", "", "no well-formed XML"),
]


def main():
    with open(sys.argv[1], "rb") as manifest:
        intact = manifest.read().decode("utf-8")
    failures = []
    faults = manifest_faults(intact.encode("utf-8"))
    if faults:
        failures.append(f"the intact manifest is refused: {faults}")
    for case, old, new, expected in SPOILT:
        if old not in intact:
            failures.append(f"{case}: the manifest has no {old!r} to spoil")
            continue
        faults = manifest_faults(intact.replace(old, new).encode("utf-8"))
        if not any(expected in fault for fault in faults):
            failures.append(f"{case}: expected a fault with {expected!r}, got {faults}")
        else:
            print(f"{case}: refused ({'; '.join(faults)})")
    for failure in failures:
        print(f"FAILED: {failure}", file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
