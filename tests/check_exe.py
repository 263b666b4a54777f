#!/usr/bin/python3
"""check_exe.py <Dimlux.exe> win32|win64: checks the exe's headers with pefile (Debian's python3-pefile, hence
/usr/bin/python3) and its resources with the MinGW binutils' windres, as listed below; exits 1 if any check fails."""
import re
import subprocess
import sys

import pefile

MACHINES = {"win32": "IMAGE_FILE_MACHINE_I386", "win64": "IMAGE_FILE_MACHINE_AMD64"}
WINDRES = "x86_64-w64-mingw32-windres"  # reads both kinds of exe
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll", "msvcrt.dll"}
VERSION_LINES = [
    "FILEVERSION 1, 0, 0, 12",
    "PRODUCTVERSION 1, 0, 0, 12",
    'VALUE "FileVersion", "1.00.0012"',
    'VALUE "ProductVersion", "1.00.0012"',
    'VALUE "ProductName", "Dimlux"',
    'VALUE "InternalName", "Dimlux"',
    'VALUE "OriginalFilename", "Dimlux.exe"',
]


def main():
    if len(sys.argv) != 3 or sys.argv[2] not in MACHINES:
        sys.exit("usage: check_exe.py <exe> win32|win64")
    exe, machine = sys.argv[1], MACHINES[sys.argv[2]]
    pe = pefile.PE(exe)
    resources = subprocess.check_output([WINDRES, "-J", "coff", "-i", exe, "-O", "rc"], text=True)
    manifest = "".join(re.findall(r'^\s*"(.*)"$', resources.split("RT_MANIFEST")[-1], re.M)).replace('""', '"')
    dlls = [entry.dll.decode() for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])]
    checks = [
        (pefile.MACHINE_TYPE.get(pe.FILE_HEADER.Machine) == machine, f"machine ({machine})"),
        (pe.OPTIONAL_HEADER.Subsystem == pefile.SUBSYSTEM_TYPE["IMAGE_SUBSYSTEM_WINDOWS_GUI"], "Windows GUI subsystem"),
        (dlls and all(dll.lower() in SYSTEM_DLLS for dll in dlls), f"imports only system DLLs: {', '.join(dlls)}"),
        (pe.FILE_HEADER.TimeDateStamp == 0, f"no link time stamp ({pe.FILE_HEADER.TimeDateStamp:#x})"),
        ("1 14 /* RT_GROUP_ICON */" in resources, "icon group with id 1"),
        ('level="asInvoker"' in manifest, "manifest asks for asInvoker"),
        (re.search(r"<dpiAware[^>]*>true</dpiAware>", manifest) is not None, "manifest declares system DPI awareness"),
        ("dpiAwareness" not in manifest, "manifest asks for no per-monitor awareness"),
        (re.search(r"<activeCodePage[^>]*>UTF-8</activeCodePage>", manifest) is not None, "manifest: UTF-8 code page"),
        (re.search(r'VALUE "CompanyName", "[^"]+"', resources) is not None, "a CompanyName"),
    ] + [(line in resources, line) for line in VERSION_LINES]
    for ok, what in checks:
        print(f"  {'ok  ' if ok else 'FAIL'} {what}")
    failures = sum(not ok for ok, _ in checks)
    print(f"{failures} problem(s)" if failures else "all checks passed")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
