#!/usr/bin/env python3
"""Prints a PE file's stored header checksum and the one computed from its bytes.

Exit status 0 when they match, 1 when they differ, 2 when the file is no PE image.
The computation is the loader's: 16-bit little-endian words summed with end-around carry,
the checksum field itself counted as zero, then the file length added.
"""
import struct
import sys


def checksum_offset(data):
    if data[:2] != b"MZ" or len(data) < 0x40:
        raise ValueError("no MZ header")
    (pe_offset,) = struct.unpack_from("<I", data, 0x3C)
    if data[pe_offset:pe_offset + 4] != b"PE\0\0":
        raise ValueError("no PE signature")
    # Signature (4) + file header (20) + 64 bytes into the optional header, same for PE32 and PE32+.
    return pe_offset + 4 + 20 + 64


def compute_checksum(data):
    field = checksum_offset(data)
    padded = data + b"\0" if len(data) % 2 else data
    words = struct.unpack(f"<{len(padded) // 2}H", padded)
    total = sum(words) - words[field // 2] - words[field // 2 + 1]
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return total + len(data)


def main(argv):
    if len(argv) != 2:
        print("usage: pe_checksum.py FILE", file=sys.stderr)
        return 2
    with open(argv[1], "rb") as f:
        data = f.read()
    try:
        stored = struct.unpack_from("<I", data, checksum_offset(data))[0]
    except ValueError as e:
        print(f"{argv[1]}: {e}", file=sys.stderr)
        return 2
    computed = compute_checksum(data)
    print(f"stored {stored:08X} computed {computed:08X}")
    return 0 if stored == computed else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
