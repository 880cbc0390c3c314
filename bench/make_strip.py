#!/usr/bin/env python3
"""Writes the whole-job benchmark's strip: an 8-bit plain bitmap of 512 x 131072 pixels, 256 frames
of 512 rows in which a few shapes move over a still background, as a cartoon strip does.

    bench/make_strip.py strip.bmp
"""
import struct
import sys

WIDTH, FRAME_ROWS, FRAMES = 512, 512, 256


def frame_rows(k):
    """Rows of frame k, top row first."""
    rows = []
    for y in range(FRAME_ROWS):
        row = bytearray((x // 64 + y // 64) % 2 + 1 for x in range(WIDTH))  # checkered sky
        for s in range(4):  # four squares moving at their own speeds
            left = (k * (3 + 2 * s) + 120 * s) % (WIDTH - 80)
            top = 60 + 110 * s + (k * (s + 1)) % 40
            if top <= y < top + 80:
                row[left:left + 80] = bytes([3 + s]) * 80
        if y == (k * 2) % FRAME_ROWS:  # a scan line of changing colours
            row = bytearray((x * 7 + k) % 16 for x in range(WIDTH))
        rows.append(bytes(row))
    return rows


def main():
    palette = b"".join(struct.pack("<BBBB", (i * 37) % 256, (i * 91) % 256, (i * 53) % 256, 0)
                       for i in range(16))
    offset = 14 + 40 + len(palette)
    pixels = WIDTH * FRAME_ROWS * FRAMES
    with open(sys.argv[1], "wb") as out:
        out.write(struct.pack("<2sIHHI", b"BM", offset + pixels, 0, 0, offset))
        out.write(struct.pack("<IiiHHIIiiII", 40, WIDTH, FRAME_ROWS * FRAMES, 1, 8, 0, pixels,
                              2835, 2835, 16, 0))
        out.write(palette)
        # Bottom-up: the last frame's bottom row comes first.
        for k in reversed(range(FRAMES)):
            out.write(b"".join(reversed(frame_rows(k))))


if __name__ == "__main__":
    main()
