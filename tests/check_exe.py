#!/usr/bin/env python3
"""Checks a built Dimlux.exe by reading its PE headers directly.

    check_exe.py <Dimlux.exe> win32|win64

Checks the machine type, the GUI subsystem, that only Windows system DLLs are
imported (the exe must be linked statically), the version block, the icon and
the manifest. Prints what it finds; exits 1 if anything is wrong.
"""
import struct
import sys

MACHINES = {"win32": 0x014C, "win64": 0x8664}
MACHINE_NAMES = {0x014C: "i386", 0x8664: "amd64"}
SUBSYSTEM_WINDOWS_GUI = 2
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll",
               "comctl32.dll", "msvcrt.dll", "ntdll.dll"}
RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 14, 16, 24
EXPECTED_VERSION = (1, 0, 0, 12)
EXPECTED_STRINGS = {
    "FileVersion": "1.00.0012",
    "ProductVersion": "1.00.0012",
    "ProductName": "Dimlux",
    "InternalName": "Dimlux",
    "OriginalFilename": "Dimlux.exe",
}
DIR_IMPORT, DIR_RESOURCE = 1, 2


class PeFile:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise ValueError("no MZ header")
        pe = self.u32(0x3C)
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        self.machine, section_count = struct.unpack_from("<HH", data, pe + 4)
        optional_size = self.u16(pe + 20)
        optional = pe + 24
        magic = self.u16(optional)
        self.is_pe32_plus = magic == 0x20B
        self.subsystem = self.u16(optional + 68)
        directory_start = optional + (112 if self.is_pe32_plus else 96)
        directory_count = self.u32(directory_start - 4)
        self.directories = [struct.unpack_from("<II", data, directory_start + 8 * i)
                            for i in range(directory_count)]
        sections = optional + optional_size
        self.sections = [struct.unpack_from("<IIII", data, sections + 40 * i + 8)
                         for i in range(section_count)]

    def u16(self, offset):
        return struct.unpack_from("<H", self.data, offset)[0]

    def u32(self, offset):
        return struct.unpack_from("<I", self.data, offset)[0]

    def offset_of(self, rva):
        for virtual_size, address, raw_size, raw_offset in self.sections:
            if address <= rva < address + max(virtual_size, raw_size):
                return rva - address + raw_offset
        raise ValueError(f"RVA {rva:#x} is in no section")

    def c_string(self, rva):
        start = self.offset_of(rva)
        return self.data[start:self.data.index(b"\0", start)].decode("ascii")

    def imported_dlls(self):
        rva, _ = self.directories[DIR_IMPORT]
        if rva == 0:
            return []
        names, offset = [], self.offset_of(rva)
        while True:
            descriptor = struct.unpack_from("<IIIII", self.data, offset)
            if not any(descriptor):
                return names
            names.append(self.c_string(descriptor[3]))
            offset += 20

    def resources(self):
        """Returns {(type id, name id): data} for the id-named resources."""
        rva, _ = self.directories[DIR_RESOURCE]
        if rva == 0:
            return {}
        base = self.offset_of(rva)
        found = {}
        for type_id, names_dir in self._resource_entries(base, 0):
            for name_id, languages_dir in self._resource_entries(base, names_dir):
                for _, data_entry in self._resource_entries(base, languages_dir):
                    data_rva, size = struct.unpack_from("<II", self.data, base + data_entry)
                    start = self.offset_of(data_rva)
                    found[(type_id, name_id)] = self.data[start:start + size]
        return found

    def _resource_entries(self, base, directory):
        named, ids = struct.unpack_from("<HH", self.data, base + directory + 12)
        entries = base + directory + 16
        for i in range(named + ids):
            name, target = struct.unpack_from("<II", self.data, entries + 8 * i)
            yield name, target & 0x7FFFFFFF


def align4(offset):
    return (offset + 3) & ~3


def version_node(data, offset):
    """Parses one VS_VERSIONINFO-style node: returns (key, value, children)."""
    length, value_length, value_type = struct.unpack_from("<HHH", data, offset)
    end = offset + length
    key_start = offset + 6
    key_end = key_start
    while data[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    key = data[key_start:key_end].decode("utf-16-le")
    position = align4(key_end + 2)
    value = b""
    if value_length:
        size = value_length * 2 if value_type == 1 else value_length
        value = data[position:min(position + size, end)]
        position = align4(position + size)
    children = []
    while position < end:
        child = version_node(data, position)
        children.append(child[:3])
        position = align4(position + child[3])
    return key, value, children, length


def version_info(block):
    """Returns (fixed file version, product version, {string name: text})."""
    key, fixed, children, _ = version_node(block, 0)
    if key != "VS_VERSION_INFO" or struct.unpack_from("<I", fixed)[0] != 0xFEEF04BD:
        raise ValueError("not a version block")
    file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<IIII", fixed, 8)
    split = lambda ms, ls: (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
    strings = {}
    for child_key, _, tables in children:
        if child_key != "StringFileInfo":
            continue
        for _, _, entries in tables:
            for name, text, _ in entries:
                strings[name] = text.decode("utf-16-le").split("\0")[0]
    return split(file_ms, file_ls), split(product_ms, product_ls), strings


class Checker:
    def __init__(self):
        self.failures = 0

    def expect(self, ok, what):
        print(f"  {'ok  ' if ok else 'FAIL'} {what}")
        if not ok:
            self.failures += 1


def check(path, arch):
    with open(path, "rb") as f:
        pe = PeFile(f.read())
    checker = Checker()
    print(f"{path}:")

    machine = MACHINE_NAMES.get(pe.machine, hex(pe.machine))
    checker.expect(pe.machine == MACHINES[arch], f"machine {machine} (want {MACHINE_NAMES[MACHINES[arch]]})")
    checker.expect(pe.subsystem == SUBSYSTEM_WINDOWS_GUI, f"subsystem {pe.subsystem} (want 2, Windows GUI)")

    dlls = pe.imported_dlls()
    foreign = [dll for dll in dlls if dll.lower() not in SYSTEM_DLLS]
    checker.expect(dlls and not foreign, f"imports {', '.join(dlls) or 'nothing'}"
                   + (f" (not system DLLs: {', '.join(foreign)})" if foreign else ""))

    resources = pe.resources()
    checker.expect((RT_GROUP_ICON, 1) in resources, "icon group with id 1")

    manifest = resources.get((RT_MANIFEST, 1), b"").decode("utf-8", "replace")
    checker.expect('level="asInvoker"' in manifest, "manifest asks for asInvoker")
    checker.expect(manifest and "dpiaware" not in manifest.lower(), "manifest declares no DPI awareness")

    block = resources.get((RT_VERSION, 1))
    checker.expect(block is not None, "version block present")
    if block is not None:
        file_version, product_version, strings = version_info(block)
        for name, version in (("file", file_version), ("product", product_version)):
            checker.expect(version == EXPECTED_VERSION,
                           f"{name} version {'.'.join(map(str, version))}")
        for name, want in EXPECTED_STRINGS.items():
            got = strings.get(name)
            checker.expect(got == want, f"{name} {got!r}" + ("" if got == want else f" (want {want!r})"))
        company = strings.get("CompanyName", "")
        checker.expect(company.strip() != "", f"CompanyName {company!r}")

    return checker.failures


def main():
    if len(sys.argv) != 3 or sys.argv[2] not in MACHINES:
        sys.exit("usage: check_exe.py <exe> win32|win64")
    try:
        failures = check(sys.argv[1], sys.argv[2])
    except (OSError, ValueError, struct.error) as error:
        sys.exit(f"cannot read {sys.argv[1]}: {error}")
    print(f"{failures} problem(s)" if failures else "all checks passed")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
