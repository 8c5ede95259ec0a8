#!/usr/bin/env python3
"""Writes the PE image checksum (the one the Windows loader checks) into a file."""
import struct
import sys


def pe_checksum(image: bytes, checksum_offset: int) -> int:
    total = 0
    padded = image + b"\0" * (len(image) % 2)
    for (word,) in struct.iter_unpack("<H", padded):
        total += word
        total = (total & 0xFFFF) + (total >> 16)
    # The checksum field itself counts as zero.
    for (word,) in struct.iter_unpack("<H", image[checksum_offset:checksum_offset + 4]):
        total -= word
        if total < 0:
            total += 0xFFFF
    total = (total & 0xFFFF) + (total >> 16)
    total = (total & 0xFFFF) + (total >> 16)
    return (total + len(image)) & 0xFFFFFFFF


def main() -> int:
    if len(sys.argv) != 2:
        print("usage: set-pe-checksum.py IMAGE", file=sys.stderr)
        return 2
    path = sys.argv[1]
    with open(path, "rb") as f:
        image = f.read()
    if image[:2] != b"MZ":
        print(f"{path}: not a PE image", file=sys.stderr)
        return 1
    (pe_offset,) = struct.unpack_from("<I", image, 0x3C)
    if image[pe_offset:pe_offset + 4] != b"PE\0\0":
        print(f"{path}: not a PE image", file=sys.stderr)
        return 1
    # Signature (4) + file header (20), then the optional header, whose
    # checksum sits at offset 64 for both PE32 and PE32+.
    checksum_offset = pe_offset + 24 + 64
    image = bytearray(image)
    struct.pack_into("<I", image, checksum_offset, 0)
    struct.pack_into("<I", image, checksum_offset, pe_checksum(bytes(image), checksum_offset))
    with open(path, "r+b") as f:
        f.write(image)
    return 0


if __name__ == "__main__":
    sys.exit(main())
