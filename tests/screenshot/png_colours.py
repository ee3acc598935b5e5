#!/usr/bin/env python3
"""Checks that a PNG screenshot shows each expected colour.

Usage: png_colours.py FILE NAME=R,G,B ...

Reads the PNG with the standard library only (8-bit RGB or RGBA, non-interlaced), counts the
pixels within a small distance of each expected colour, and fails when one of them is missing.
"""
import struct
import sys
import zlib

TOLERANCE = 8
MIN_PIXELS = 20


def paeth(left, up, corner):
    estimate = left + up - corner
    pa, pb, pc = abs(estimate - left), abs(estimate - up), abs(estimate - corner)
    return left if pa <= pb and pa <= pc else (up if pb <= pc else corner)


def pixel_counts(path):
    """How many pixels of each (r, g, b) the picture holds."""
    with open(path, "rb") as handle:
        data = handle.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError(f"{path}: not a PNG file")
    position, compressed, header = 8, b"", None
    while position < len(data):
        length, kind = struct.unpack(">I4s", data[position:position + 8])
        body = data[position + 8:position + 8 + length]
        header = struct.unpack(">IIBBBBB", body) if kind == b"IHDR" else header
        compressed += body if kind == b"IDAT" else b""
        position += 12 + length
    width, height, depth, colour_type, _, _, interlace = header
    if depth != 8 or colour_type not in (2, 6) or interlace:
        raise ValueError(f"{path}: unsupported PNG layout")
    channels = 3 if colour_type == 2 else 4
    raw, stride, counts = zlib.decompress(compressed), width * channels, {}
    previous = bytearray(stride)
    for row in range(height):
        offset = row * (stride + 1)
        kind, line = raw[offset], bytearray(raw[offset + 1:offset + 1 + stride])
        for i in range(stride):
            left = line[i - channels] if i >= channels else 0
            corner = previous[i - channels] if i >= channels else 0
            up = previous[i]
            predictor = (0 if kind == 0 else left if kind == 1 else up if kind == 2 else
                         (left + up) // 2 if kind == 3 else paeth(left, up, corner))
            line[i] = (line[i] + predictor) & 0xFF
        for x in range(0, stride, channels):
            pixel = (line[x], line[x + 1], line[x + 2])
            counts[pixel] = counts.get(pixel, 0) + 1
        previous = line
    return counts


def main():
    counts = pixel_counts(sys.argv[1])
    missing = []
    for expectation in sys.argv[2:]:
        name, values = expectation.split("=")
        wanted = tuple(int(v) for v in values.split(","))
        found = sum(count for pixel, count in counts.items()
                    if max(abs(a - b) for a, b in zip(pixel, wanted)) <= TOLERANCE)
        print(f"{name:>14} {wanted}: {found} pixels")
        if found < MIN_PIXELS:
            missing.append(name)
    if missing:
        print(f"missing colours: {', '.join(missing)}")
    return 1 if missing else 0


if __name__ == "__main__":
    sys.exit(main())
