#!/usr/bin/env python3
"""Writes dimlux.ico: a 32 x 32, 16-colour icon of a monitor with a dark
screen and a red power symbol.

The .ico is committed; run this again only when the artwork changes:
    python3 app/res/make_icon.py [output.ico]
"""
import math
import os
import struct
import sys

SIZE = 32

# The standard Windows 16-colour palette, as (red, green, blue).
PALETTE = [
    (0x00, 0x00, 0x00),
    (0x80, 0x00, 0x00),
    (0x00, 0x80, 0x00),
    (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80),
    (0x80, 0x00, 0x80),
    (0x00, 0x80, 0x80),
    (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80),
    (0xFF, 0x00, 0x00),
    (0x00, 0xFF, 0x00),
    (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF),
    (0xFF, 0x00, 0xFF),
    (0x00, 0xFF, 0xFF),
    (0xFF, 0xFF, 0xFF),
]
BLACK, NAVY, SILVER, GRAY, RED = 0, 4, 7, 8, 9
TRANSPARENT = None


def fill(pixels, left, top, right, bottom, colour):
    """Fills the rectangle [left, right] x [top, bottom], edges included."""
    for y in range(top, bottom + 1):
        for x in range(left, right + 1):
            pixels[y][x] = colour


def draw_monitor(pixels):
    fill(pixels, 1, 2, 30, 23, BLACK)  # outline
    fill(pixels, 2, 3, 29, 22, SILVER)  # bezel
    fill(pixels, 2, 22, 29, 22, GRAY)  # bezel shadow
    fill(pixels, 4, 5, 27, 20, BLACK)  # screen, switched off
    for step in range(3):  # faint glare in the top-left corner
        fill(pixels, 6 + step, 11 - step * 2, 6 + step, 12 - step * 2, NAVY)
    fill(pixels, 26, 21, 27, 21, RED)  # power lamp
    fill(pixels, 12, 24, 19, 26, GRAY)  # neck
    fill(pixels, 11, 24, 11, 26, BLACK)
    fill(pixels, 20, 24, 20, 26, BLACK)
    fill(pixels, 6, 27, 25, 29, BLACK)  # foot outline
    fill(pixels, 7, 27, 24, 28, SILVER)  # foot


def draw_power_symbol(pixels, centre_x, centre_y):
    """A broken ring open at the top with a bar through the gap."""
    for y in range(SIZE):
        for x in range(SIZE):
            dx, dy = x + 0.5 - centre_x, y + 0.5 - centre_y
            distance = math.hypot(dx, dy)
            angle_from_top = math.degrees(math.atan2(dx, -dy))
            on_ring = 3.6 <= distance <= 5.6
            in_gap = abs(angle_from_top) < 38
            if on_ring and not in_gap:
                pixels[y][x] = RED
    bar_left = int(centre_x) - 1
    fill(pixels, bar_left, int(centre_y) - 6, bar_left + 1, int(centre_y) - 1, RED)


def draw_icon():
    pixels = [[TRANSPARENT] * SIZE for _ in range(SIZE)]
    draw_monitor(pixels)
    draw_power_symbol(pixels, centre_x=16.0, centre_y=13.5)
    return pixels


def xor_bitmap(pixels):
    """4 bits per pixel, bottom row first; 16 bytes per row needs no padding."""
    rows = []
    for row in reversed(pixels):
        indexes = [0 if p is TRANSPARENT else p for p in row]
        rows.append(bytes((indexes[i] << 4) | indexes[i + 1] for i in range(0, SIZE, 2)))
    return b"".join(rows)


def and_mask(pixels):
    """1 bit per pixel (set = transparent), bottom row first, rows of 4 bytes."""
    rows = []
    for row in reversed(pixels):
        bits = 0
        for p in row:
            bits = (bits << 1) | (1 if p is TRANSPARENT else 0)
        rows.append(bits.to_bytes(SIZE // 8, "big"))
    return b"".join(rows)


def ico_file(pixels):
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    xor, mask = xor_bitmap(pixels), and_mask(pixels)
    # BITMAPINFOHEADER: the height counts the XOR bitmap and the AND mask.
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 4, 0, len(xor) + len(mask), 0, 0, 16, 0)
    image = header + palette + xor + mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    output = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "dimlux.ico")
    with open(output, "wb") as f:
        f.write(ico_file(draw_icon()))
    print(f"wrote {output}")


if __name__ == "__main__":
    main()
