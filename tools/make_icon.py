#!/usr/bin/env python3
"""Draws the window icon, a stylised chip, as a Windows .ico file.

One image: 32 x 32 pixels, 16 colours (4 bits per pixel, one plane), stored the
way an icon resource holds it: a BITMAPINFOHEADER whose height counts the
colour bits and the mask together (64), a 16-entry palette, the colour bits and
the transparency mask, rows bottom-up. That makes 40 + 64 + 512 + 128 = 744
bytes.

Usage: make_icon.py OUTPUT.ico
"""

import struct
import sys

SIZE = 32
BITS_PER_PIXEL = 4
IMAGE_BYTES = 744

# The standard 16-colour palette, as (red, green, blue).
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK, TEAL, GRAY, YELLOW, WHITE = 0, 6, 8, 11, 15
TRANSPARENT = None

BODY_FIRST, BODY_LAST = 7, 24        # the package, outlined in black
DIE_FIRST, DIE_LAST = 12, 19         # the die in the middle of it
PIN_STARTS = (9, 13, 17, 21)         # each pin is two pixels wide
PIN_LENGTH = 4


def draw():
    """Returns rows top to bottom, each a list of palette indices or TRANSPARENT."""
    pixels = [[TRANSPARENT] * SIZE for _ in range(SIZE)]
    for y in range(BODY_FIRST, BODY_LAST + 1):
        for x in range(BODY_FIRST, BODY_LAST + 1):
            edge = y in (BODY_FIRST, BODY_LAST) or x in (BODY_FIRST, BODY_LAST)
            die = DIE_FIRST <= x <= DIE_LAST and DIE_FIRST <= y <= DIE_LAST
            pixels[y][x] = BLACK if edge else TEAL if die else GRAY
    # Pin one's marker in the top-left corner of the package.
    for y in (9, 10):
        for x in (9, 10):
            pixels[y][x] = WHITE
    for start in PIN_STARTS:
        for along in (start, start + 1):
            for out in range(1, PIN_LENGTH + 1):
                pixels[BODY_FIRST - out][along] = YELLOW  # top
                pixels[BODY_LAST + out][along] = YELLOW   # bottom
                pixels[along][BODY_FIRST - out] = YELLOW  # left
                pixels[along][BODY_LAST + out] = YELLOW   # right
    return pixels


def encode(pixels):
    """Returns the icon image: header, palette, colour bits, mask."""
    xor_stride = SIZE * BITS_PER_PIXEL // 8  # 16: already a multiple of 4
    and_stride = 4                          # 32 bits, one per pixel
    header = struct.pack(
        "<IiiHHIIiiII",
        40,                   # biSize
        SIZE,                 # biWidth
        SIZE * 2,             # biHeight: colour bits and mask
        1,                    # biPlanes
        BITS_PER_PIXEL,       # biBitCount
        0,                    # biCompression: BI_RGB
        (xor_stride + and_stride) * SIZE,  # biSizeImage
        0, 0,                 # resolution: unused
        0, 0)                 # biClrUsed, biClrImportant: all 16
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    colour = bytearray()
    mask = bytearray()
    for row in reversed(pixels):  # bitmaps store the bottom row first
        for x in range(0, SIZE, 2):
            left = row[x] if row[x] is not TRANSPARENT else 0
            right = row[x + 1] if row[x + 1] is not TRANSPARENT else 0
            colour.append(left << 4 | right)
        bits = 0
        for x in range(SIZE):
            bits = bits << 1 | (1 if row[x] is TRANSPARENT else 0)
        mask += bits.to_bytes(and_stride, "big")
    image = header + palette + bytes(colour) + bytes(mask)
    assert len(image) == IMAGE_BYTES, len(image)
    return image


def icon_file(image):
    """Wraps one image in the .ico directory (ICONDIR + one ICONDIRENTRY)."""
    directory = struct.pack("<HHH", 0, 1, 1)
    entry_size = 16
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, BITS_PER_PIXEL, len(image),
                        len(directory) + entry_size)
    return directory + entry + image


def main(argv):
    if len(argv) != 2:
        sys.stderr.write("usage: make_icon.py OUTPUT.ico\n")
        return 2
    data = icon_file(encode(draw()))
    try:
        with open(argv[1], "wb") as out:
            out.write(data)
    except OSError as error:
        sys.stderr.write("make_icon.py: cannot write %s: %s\n" % (argv[1], error.strerror))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
