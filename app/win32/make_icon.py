#!/usr/bin/env python3
"""Packs the program's PNG icons into one Windows .ico file.

Usage: make_icon.py OUT.ico IN.png...

Images up to 48 pixels become 32-bit DIBs with an AND mask, which every
version of Windows and wine draw; larger ones are stored as PNG, as Windows
Vista and later read them.
"""
import struct
import sys
import zlib


def read_png(path):
    """Width, height and the RGBA rows of an 8-bit RGBA PNG."""
    data = open(path, 'rb').read()
    if data[:8] != b'\x89PNG\r\n\x1a\n':
        raise SystemExit(f'{path}: not a PNG file')
    pos, idat, width, height = 8, b'', 0, 0
    while pos < len(data):
        length, kind = struct.unpack('>I4s', data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b'IHDR':
            width, height, depth, colour, _, _, interlace = struct.unpack('>IIBBBBB', body)
            if depth != 8 or colour != 6 or interlace != 0:
                raise SystemExit(f'{path}: only 8-bit RGBA without interlacing is handled')
        elif kind == b'IDAT':
            idat += body
        pos += 12 + length
    raw = zlib.decompress(idat)
    stride, bpp = width * 4, 4
    rows, prev, off = [], bytearray(stride), 0
    for _ in range(height):
        kind, line = raw[off], bytearray(raw[off + 1:off + 1 + stride])
        off += 1 + stride
        for i in range(stride):
            a = line[i - bpp] if i >= bpp else 0
            b = prev[i]
            c = prev[i - bpp] if i >= bpp else 0
            if kind == 1:
                line[i] = (line[i] + a) & 0xFF
            elif kind == 2:
                line[i] = (line[i] + b) & 0xFF
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 0xFF
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                pred = a if pa <= pb and pa <= pc else (b if pb <= pc else c)
                line[i] = (line[i] + pred) & 0xFF
        rows.append(bytes(line))
        prev = line
    return width, height, rows, data


def dib(width, height, rows):
    """The icon image: BITMAPINFOHEADER, bottom-up BGRA pixels, AND mask."""
    header = struct.pack('<IiiHHIIiiII', 40, width, height * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b''.join(bytes(v for x in range(width) for v in (row[4 * x + 2], row[4 * x + 1], row[4 * x], row[4 * x + 3]))
                      for row in reversed(rows))
    mask_stride = ((width + 31) // 32) * 4
    mask = b''
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x in range(width):
            if row[4 * x + 3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(bits)
    return header + pixels + mask


def main():
    out, inputs = sys.argv[1], sys.argv[2:]
    images = []
    for path in inputs:
        width, height, rows, png = read_png(path)
        images.append((width, height, png if width > 48 else dib(width, height, rows)))
    images.sort(key=lambda image: image[0])
    directory = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    body = b''
    for width, height, blob in images:
        directory += struct.pack('<BBBBHHII', width % 256, height % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
        body += blob
    with open(out, 'wb') as f:
        f.write(directory + body)


if __name__ == '__main__':
    main()
