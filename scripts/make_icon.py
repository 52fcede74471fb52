#!/usr/bin/env python3
"""Draws the program's icon (a blue tile with a white "Z" over a green
install arrow) and writes it as src/shell/zunaveri.ico with 16, 32 and 48
pixel images (32-bit BMP entries, which every Windows version reads)."""
import struct
import sys
from pathlib import Path

SIZES = (16, 32, 48)
SUPERSAMPLE = 4


def inside_rounded_square(x, y, radius):
    cx = min(max(x, radius), 1 - radius)
    cy = min(max(y, radius), 1 - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def distance_to_segment(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    qx, qy = ax + t * dx, ay + t * dy
    return ((px - qx) ** 2 + (py - qy) ** 2) ** 0.5


def colour_at(x, y):
    """Colour (r, g, b, a) of the icon at unit coordinates (y grows downwards)."""
    if not inside_rounded_square(x, y, 0.18):
        return (0, 0, 0, 0)
    # The install arrow in the lower right corner.
    if 0.62 <= x <= 0.78 and 0.50 <= y <= 0.70:
        return (60, 180, 75, 255)
    if y >= 0.70 and y <= 0.92 and abs(x - 0.70) <= (0.92 - y) * 0.9:
        return (60, 180, 75, 255)
    # The "Z": top bar, diagonal, bottom bar.
    stroke = 0.075
    strokes = ((0.18, 0.20, 0.62, 0.20), (0.62, 0.20, 0.18, 0.72), (0.18, 0.72, 0.55, 0.72))
    if any(distance_to_segment(x, y, *s) <= stroke for s in strokes):
        return (255, 255, 255, 255)
    shade = int(40 * y)
    return (20, 90 - shade // 2, 190 - shade, 255)


def render(size):
    pixels = []
    for row in range(size):
        line = []
        for col in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(SUPERSAMPLE):
                for sx in range(SUPERSAMPLE):
                    r, g, b, a = colour_at((col + (sx + 0.5) / SUPERSAMPLE) / size,
                                           (row + (sy + 0.5) / SUPERSAMPLE) / size)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            n = SUPERSAMPLE * SUPERSAMPLE
            alpha = acc[3] // n
            if acc[3]:
                line.append((acc[0] // acc[3], acc[1] // acc[3], acc[2] // acc[3], alpha))
            else:
                line.append((0, 0, 0, 0))
        pixels.append(line)
    return pixels


def bmp_entry(size):
    pixels = render(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = b''.join(bytes((b, g, r, a)) for row in reversed(pixels) for (r, g, b, a) in row)
    mask_stride = ((size + 31) // 32) * 4
    and_rows = []
    for row in reversed(pixels):
        bits = bytearray(mask_stride)
        for col, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[col // 8] |= 0x80 >> (col % 8)
        and_rows.append(bytes(bits))
    return header + xor + b''.join(and_rows)


def main():
    out = Path(sys.argv[1] if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent / 'src/shell/zunaveri.ico')
    images = [bmp_entry(s) for s in SIZES]
    data = struct.pack('<HHH', 0, 1, len(SIZES))
    offset = 6 + 16 * len(SIZES)
    for size, image in zip(SIZES, images):
        data += struct.pack('<BBBBHHII', size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    out.write_bytes(data + b''.join(images))


if __name__ == '__main__':
    main()
