#!/usr/bin/env python3
"""png_colours.py FILE NAME=R,G,B ...: fails unless the PNG (8-bit RGB or RGBA, not interlaced,
read with the standard library only) has at least 20 pixels within 8 of each colour."""
import struct, sys, zlib


def pixel_counts(path):
    data, position, chunks = open(path, "rb").read(), 8, []
    while position < len(data):
        length, kind = struct.unpack(">I4s", data[position:position + 8])
        body = data[position + 8:position + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour_type, _, _, interlace = struct.unpack(">IIBBBBB", body)
        chunks += [body] if kind == b"IDAT" else []
        position += 12 + length
    if data[:8] != b"\x89PNG\r\n\x1a\n" or depth != 8 or colour_type not in (2, 6) or interlace:
        raise ValueError(f"{path}: not an 8-bit RGB or RGBA PNG")
    n = 3 if colour_type == 2 else 4
    raw, stride, previous, counts = zlib.decompress(b"".join(chunks)), width * n, bytearray(width * n), {}
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):  # undoes the row's filter: none, sub, up, average or Paeth
            a, b, c = (line[i - n] if i >= n else 0), previous[i], (previous[i - n] if i >= n else 0)
            p = a + b - c
            paeth = a if abs(p - a) <= abs(p - b) and abs(p - a) <= abs(p - c) else b if abs(p - b) <= abs(p - c) else c
            line[i] = (line[i] + [0, a, b, (a + b) // 2, paeth][kind]) & 0xFF
        for x in range(0, stride, n):
            counts[tuple(line[x:x + 3])] = counts.get(tuple(line[x:x + 3]), 0) + 1
        previous = line
    return counts


counts, missing = pixel_counts(sys.argv[1]), []
for name, values in (argument.split("=") for argument in sys.argv[2:]):
    wanted = tuple(int(v) for v in values.split(","))
    found = sum(k for pixel, k in counts.items() if max(abs(a - b) for a, b in zip(pixel, wanted)) <= 8)
    print(f"{name:>14} {wanted}: {found} pixels")
    missing += [name] if found < 20 else []
if missing:
    sys.exit(f"missing colours: {', '.join(missing)}")
