#!/usr/bin/env python3
"""Writes the seed corpus of the settings fuzzer into corpus/ (see settings_fuzzer.cpp for the layout)."""
import pathlib
import struct

ABSENT, SZ, DWORD, BINARY = 0, 1, 4, 5
NONE, EXPAND_SZ, MULTI_SZ, QWORD = (6 | (n << 3) for n in range(4))
COMMA = 1
DPI = {96: 0, 120: 2, 144: 4, 168: 6}


def value(kind, data=b""):
    if isinstance(data, str):
        data = data.encode("latin-1")
    return bytes([kind]) + struct.pack("<H", len(data)) + data


def seed(flags, *values):
    """values for Top, Left, Bottom, Right, Startup: (kind, data) or a str for REG_SZ."""
    out = bytes([flags])
    for v in values:
        out += value(SZ, v) if isinstance(v, (str, bytes)) else value(*v)
    return out


SEEDS = {
    "valid": seed(0, "6000", "10000", "795", "1425", "1"),
    "negative_fractions": seed(0, "-0.5", "-1234.7", "1234.7", "12.5", "-0.25"),
    "comma_separator": seed(COMMA, "12,5", "-0,5", "12.5", " 12 ", "0,9"),
    "edges_of_range": seed(0, "2147483647", "-2147483648", "2147483648", "-2147483649", "32768"),
    "not_numbers": seed(0, "abc", "1e3", "+7", "\t-3\t", "-"),
    "eleven_digits": seed(0, "99999999999", "-99999999999", "0000000000042", "-0", "-32768"),
    "text_254_255_256": seed(0, "0" * 250 + "1234", "0" * 251 + "1234", "0" * 252 + "1234",
                             "7" * 300, "1" + " " * 253),
    "nul_inside": seed(0, "12\0abc", "123\0", "1" * 255 + "\0", "\0", "1\0"),
    "long_digit_runs": seed(0, "9" * 254, "-" + "9" * 40, "1" + "0" * 20 + ".5", "0." + "9" * 200, "9" * 30),
    "reg_dword": seed(0, (DWORD, struct.pack("<I", 6000)), (DWORD, b"11\0\0"), (DWORD, struct.pack("<i", -1)),
                      (DWORD, b""), (DWORD, struct.pack("<I", 1))),
    "other_types": seed(0, (BINARY, "100"), (EXPAND_SZ, "200"), (MULTI_SZ, "5\0\0"), (NONE, ""), (QWORD, "1" * 8)),
    "empty": seed(0, "", "", "", "", ""),
    "absent": seed(0, (ABSENT,), (ABSENT,), (ABSENT,), (ABSENT,), (ABSENT,)),
    "nothing_stored": bytes([0]),
    "fractional_dpi_comma": seed(COMMA | DPI[168], (ABSENT,), "1234,5678", "", "x", (ABSENT,)),
    "dpi_120_mixed": seed(DPI[120], "-15", (DWORD, b"\x35\0\0\0"), "795.0001", (ABSENT,), "1"),
}

corpus = pathlib.Path(__file__).resolve().parent / "corpus"
corpus.mkdir(exist_ok=True)
for name, data in SEEDS.items():
    (corpus / name).write_bytes(data)
print(f"wrote {len(SEEDS)} seeds to {corpus}")
