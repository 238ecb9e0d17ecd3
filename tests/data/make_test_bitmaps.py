#!/usr/bin/env python3
"""Writes the small BMP files that the bitmap tests and the BMP reader's fuzz corpus use.

Run from anywhere; the files land next to this script. Pictures are given as sets of lit dots
(row 0 at the top). As the displays expect, a lit dot is stored as a 0 bit.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def stride(width, bpp):
    return (width * bpp + 31) // 32 * 4


def bmp(width, height, lit, bpp=1, top_down=False):
    """A complete file; rows bottom-up unless top_down (negative height)."""
    palette = b""
    if bpp <= 8:
        colours = 1 << bpp
        palette = b"".join(struct.pack("<BBBB", v, v, v, 0)
                           for v in (0, 255) + (128,) * (colours - 2))
    row_bytes = stride(width, bpp)
    rows = []
    for r in range(height):
        row = bytearray(row_bytes)
        for c in range(width):
            dark = (r, c) not in lit
            if bpp == 1:
                if dark:
                    row[c // 8] |= 0x80 >> (c % 8)
            elif bpp == 4:
                row[c // 2] |= (1 if dark else 0) << (4 if c % 2 == 0 else 0)
            else:
                row[c * 3:c * 3 + 3] = b"\xff\xff\xff" if dark else b"\x00\x00\x00"
        rows.append(bytes(row))
    if not top_down:
        rows.reverse()
    pixels = b"".join(rows)
    offset = 14 + 40 + len(palette)
    info = struct.pack("<IiiHHIIiiII", 40, width, -height if top_down else height, 1, bpp, 0,
                       len(pixels), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    return header + info + palette + pixels


def write(name, data):
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)


def frame(width, height):
    """A one-dot border plus a marker dot at row 2, column 2 that shows any flip."""
    lit = {(r, c) for r in range(height) for c in range(width)
           if r in (0, height - 1) or c in (0, width - 1)}
    lit.add((2, 2))
    return lit


def main():
    write("frame_120x32.bmp", bmp(120, 32, frame(120, 32)))
    # Dot (r, r): in the raster command, column c has only bit c of the top band set.
    write("diagonal_8x8.bmp", bmp(8, 8, {(r, r) for r in range(8)}))
    # Column 0 lit over 40 rows (five bands) and one dot at the top of column 7.
    write("column_8x40.bmp", bmp(8, 40, {(r, 0) for r in range(40)} | {(0, 7)}))
    # The largest pictures: packed data just below and just above the 8191-byte limit.
    write("corner_511x128.bmp", bmp(511, 128, {(0, 0)}))
    write("corner_512x128.bmp", bmp(512, 128, {(0, 0)}))
    write("too_wide_513x8.bmp", bmp(513, 8, {(0, 0)}))
    write("too_tall_8x129.bmp", bmp(8, 129, {(0, 0)}))
    write("top_down_8x8.bmp", bmp(8, 8, {(r, r) for r in range(8)}, top_down=True))
    write("truncated_120x32.bmp", bmp(120, 32, frame(120, 32))[:62 + 100])
    write("colour4_8x8.bmp", bmp(8, 8, {(r, r) for r in range(8)}, bpp=4))
    write("colour24_8x8.bmp", bmp(8, 8, {(r, r) for r in range(8)}, bpp=24))


if __name__ == "__main__":
    main()
