#!/usr/bin/env python3
"""Packs the release zip: Dimlux.exe, the user readme and SHA256SUMS, the same bytes from any checkout.

    make_zip.py ZIP EXE README SOURCE_DIR

Every entry gets the same time, the time of the last commit of SOURCE_DIR (or $SOURCE_DATE_EPOCH when
set; 1980-01-01 outside a git checkout), and fixed permissions, in a fixed order. The readme goes in
with Windows line ends, so that any Notepad shows its lines.
"""
import hashlib
import os
import subprocess
import sys
import time
import zipfile
from pathlib import Path

ZIP_EPOCH = 315532800  # 1980-01-01 00:00:00 UTC, the earliest time a zip entry can hold


def source_date(source_dir):
    if os.environ.get("SOURCE_DATE_EPOCH"):
        return int(os.environ["SOURCE_DATE_EPOCH"])
    commit = subprocess.run(["git", "-C", str(source_dir), "log", "-1", "--format=%ct"], capture_output=True, text=True)
    if commit.returncode == 0 and commit.stdout.strip():
        return int(commit.stdout)
    return ZIP_EPOCH


def add(archive, name, data, mode, stamp):
    entry = zipfile.ZipInfo(name, date_time=time.gmtime(max(stamp, ZIP_EPOCH))[:6])
    entry.compress_type = zipfile.ZIP_DEFLATED
    entry.create_system = 3  # Unix, so that the permissions below are what unzip restores
    entry.external_attr = (0o100000 | mode) << 16
    archive.writestr(entry, data, compresslevel=9)


def main():
    zip_path, exe_path, readme_path, source_dir = map(Path, sys.argv[1:])
    files = {
        "Dimlux.exe": (exe_path.read_bytes(), 0o755),
        "readme.txt": (readme_path.read_bytes().replace(b"\r\n", b"\n").replace(b"\n", b"\r\n"), 0o644),
    }
    sums = "".join(f"{hashlib.sha256(data).hexdigest()}  {name}\n" for name, (data, _) in files.items())
    files["SHA256SUMS"] = (sums.encode(), 0o644)
    stamp = source_date(source_dir)
    partial = zip_path.with_name(zip_path.name + ".part")
    with zipfile.ZipFile(partial, "w") as archive:
        for name, (data, mode) in files.items():
            add(archive, name, data, mode, stamp)
    partial.replace(zip_path)


if __name__ == "__main__":
    main()
