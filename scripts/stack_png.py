#!/usr/bin/env python3
"""Stacks PNG images one above the other, left-aligned with a margin, on white, into an 8-bit grey PNG.

    scripts/stack_png.py OUT.png IN.png...

Reads what oftool writes (8-bit grey, grey with alpha, RGB or RGBA, not interlaced) with the standard
library alone, so that the README's figures need nothing installed. Colour becomes its mean grey.
"""
import struct
import sys
import zlib

MARGIN = 8


def read_png(path):
    with open(path, 'rb') as f:
        data = f.read()
    if data[:8] != b'\x89PNG\r\n\x1a\n':
        sys.exit(f'{path}: not a PNG')
    pos, idat, header = 8, b'', None
    while pos < len(data):
        length, kind = struct.unpack('>I4s', data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b'IHDR':
            header = struct.unpack('>IIBBBBB', body)
        elif kind == b'IDAT':
            idat += body
        pos += 12 + length
    width, height, depth, colour, _, _, interlace = header
    channels = {0: 1, 4: 2, 2: 3, 6: 4}.get(colour)
    if depth != 8 or channels is None or interlace:
        sys.exit(f'{path}: only 8-bit grey, grey with alpha, RGB or RGBA without interlace is read')
    raw, stride = zlib.decompress(idat), width * channels
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind, row = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            left = row[i - channels] if i >= channels else 0
            up, corner = previous[i], previous[i - channels] if i >= channels else 0
            if kind == 1:
                row[i] = (row[i] + left) & 255
            elif kind == 2:
                row[i] = (row[i] + up) & 255
            elif kind == 3:
                row[i] = (row[i] + (left + up) // 2) & 255
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                row[i] = (row[i] + (left if pa <= pb and pa <= pc else up if pb <= pc else corner)) & 255
        grey = []
        for x in range(width):
            pixel = row[x * channels:(x + 1) * channels]
            value = sum(pixel[:3 if channels >= 3 else 1]) // (3 if channels >= 3 else 1)
            alpha = pixel[-1] if channels in (2, 4) else 255
            grey.append((value * alpha + 255 * (255 - alpha) + 127) // 255)
        rows.append(grey)
        previous = row
    return width, rows


def write_png(path, width, rows):
    raw = b''.join(b'\x00' + bytes(row) for row in rows)

    def chunk(kind, body):
        return struct.pack('>I', len(body)) + kind + body + struct.pack('>I', zlib.crc32(kind + body))

    with open(path, 'wb') as f:
        f.write(b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', width, len(rows), 8, 0, 0, 0, 0))
                + chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__.strip().splitlines()[2].strip())
    images = [read_png(path) for path in sys.argv[2:]]
    width = max(w for w, _ in images) + 2 * MARGIN
    rows = [[255] * width for _ in range(MARGIN)]
    for w, image in images:
        rows += [[255] * MARGIN + row + [255] * (width - MARGIN - w) for row in image]
        rows += [[255] * width for _ in range(MARGIN)]
    write_png(sys.argv[1], width, rows)


main()
