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


def read_png(path):
    with open(path, "rb") as handle:
        data = handle.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError(f"{path}: not a PNG file")
    position, chunks, header = 8, [], None
    while position < len(data):
        length, kind = struct.unpack(">I4s", data[position:position + 8])
        body = data[position + 8:position + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            chunks.append(body)
        position += 12 + length
    width, height, depth, colour_type, _, _, interlace = header
    if depth != 8 or colour_type not in (2, 6) or interlace:
        raise ValueError(f"{path}: unsupported PNG layout")
    channels = 3 if colour_type == 2 else 4
    raw = zlib.decompress(b"".join(chunks))
    stride = width * channels
    rows, previous, offset = [], bytearray(stride), 0
    for _ in range(height):
        kind, line = raw[offset], bytearray(raw[offset + 1:offset + 1 + stride])
        offset += 1 + stride
        for i in range(stride):
            left = line[i - channels] if i >= channels else 0
            up = previous[i]
            corner = previous[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + left) & 0xFF
            elif kind == 2:
                line[i] = (line[i] + up) & 0xFF
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 0xFF
            elif kind == 4:
                estimate = left + up - corner
                pa, pb, pc = abs(estimate - left), abs(estimate - up), abs(estimate - corner)
                predictor = left if pa <= pb and pa <= pc else (up if pb <= pc else corner)
                line[i] = (line[i] + predictor) & 0xFF
        rows.append(line)
        previous = line
    return width, height, channels, rows


def main():
    path, expectations = sys.argv[1], sys.argv[2:]
    width, height, channels, rows = read_png(path)
    counts = {}
    for row in rows:
        for x in range(0, width * channels, channels):
            pixel = (row[x], row[x + 1], row[x + 2])
            counts[pixel] = counts.get(pixel, 0) + 1
    missing = []
    for expectation in expectations:
        name, values = expectation.split("=")
        wanted = tuple(int(v) for v in values.split(","))
        found = sum(count for pixel, count in counts.items()
                    if max(abs(a - b) for a, b in zip(pixel, wanted)) <= TOLERANCE)
        print(f"{name:>14} {wanted}: {found} pixels")
        if found < MIN_PIXELS:
            missing.append(name)
    if missing:
        print(f"missing colours: {', '.join(missing)}")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
