#!/usr/bin/env python3
"""Draws the program's pictures: the main icon MAINICON (24, 30, 36 and 48 pixels, PNG with
transparency) and the two 16x16 status pictures BMP_FLAG_RED and BMP_BUTTON_OK (24-bit BMP on
the transparent colour #FF00FF). Plain Python, no imaging library: shapes are sampled 4x4 per
pixel for smooth edges. Run it again after changing a drawing; its output is committed."""

import os
import struct
import zlib

OUT = os.path.join(os.path.dirname(__file__), "..", "src", "gui", "resources", "images")
SS = 4  # samples per pixel along each axis


def rounded_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ring(cx, cy, r_out, r_in):
    return lambda x, y: r_in * r_in <= (x - cx) ** 2 + (y - cy) ** 2 <= r_out * r_out


def polygon(points):
    def inside(x, y):
        hit = False
        n = len(points)
        for i in range(n):
            (ax, ay), (bx, by) = points[i], points[(i + 1) % n]
            if (ay > y) != (by > y) and x < (bx - ax) * (y - ay) / (by - ay) + ax:
                hit = not hit
        return hit
    return inside


def thick_line(ax, ay, bx, by, w):
    def inside(x, y):
        dx, dy = bx - ax, by - ay
        t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
        px, py = ax + t * dx, ay + t * dy
        return (x - px) ** 2 + (y - py) ** 2 <= (w / 2) ** 2
    return inside


def render(size, layers, background=None):
    """layers: (shape in unit coordinates 0..1, (r, g, b)); later layers cover earlier ones.
    Returns rows of (r, g, b, a) with straight alpha."""
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(SS):
                for sx in range(SS):
                    x = (px + (sx + 0.5) / SS) / size
                    y = (py + (sy + 0.5) / SS) / size
                    colour = background
                    for shape, c in layers:
                        if shape(x, y):
                            colour = c
                    if colour is not None:
                        acc[0] += colour[0]
                        acc[1] += colour[1]
                        acc[2] += colour[2]
                        acc[3] += 1
            n = SS * SS
            if acc[3] == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append((round(acc[0] / acc[3]), round(acc[1] / acc[3]),
                            round(acc[2] / acc[3]), round(255 * acc[3] / n)))
        rows.append(row)
    return rows


def png_bytes(rows):
    size = len(rows)
    raw = b"".join(b"\0" + bytes(v for px in row for v in px) for row in rows)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")
    return png


def write_png(path, rows):
    with open(path, "wb") as f:
        f.write(png_bytes(rows))


def write_ico(path, images):
    """A Windows icon holding each picture as PNG data (read by Windows Vista and later)."""
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = len(header) + 16 * len(images)
    entries, data = b"", b""
    for rows in images:
        png = png_bytes(rows)
        size = len(rows) % 256  # 0 stands for 256
        entries += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(png), offset + len(data))
        data += png
    with open(path, "wb") as f:
        f.write(header + entries + data)


def write_bmp(path, rows, key=(255, 0, 255)):
    """24-bit BMP; pixels that are mostly transparent take the key colour, the rest are blended
    onto white so no fringe of the key colour shows."""
    size = len(rows)
    stride = (size * 3 + 3) & ~3
    pixels = b""
    for row in reversed(rows):
        line = b""
        for r, g, b, a in row:
            if a < 96:
                r, g, b = key
            else:
                f = a / 255
                r, g, b = (round(c * f + 255 * (1 - f)) for c in (r, g, b))
            line += bytes((b, g, r))
        pixels += line + b"\0" * (stride - size * 3)
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, size, size, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + pixels)


BLUE = (30, 100, 200)
PAPER = (255, 255, 255)
LINE = (150, 170, 200)
SEAL = (200, 40, 40)
GOLD = (235, 185, 60)


def main_icon():
    # A blue tile with a white certificate on it: text lines and a red seal with a gold ribbon.
    return [
        (rounded_rect(0.02, 0.02, 0.98, 0.98, 0.18), BLUE),
        (rounded_rect(0.20, 0.12, 0.80, 0.88, 0.05), PAPER),
        (rounded_rect(0.30, 0.24, 0.70, 0.29, 0.02), LINE),
        (rounded_rect(0.30, 0.36, 0.70, 0.41, 0.02), LINE),
        (rounded_rect(0.30, 0.48, 0.58, 0.53, 0.02), LINE),
        (polygon([(0.53, 0.70), (0.60, 0.93), (0.64, 0.86), (0.69, 0.92), (0.66, 0.70)]), GOLD),
        (circle(0.62, 0.68, 0.13), SEAL),
        (ring(0.62, 0.68, 0.09, 0.07), (240, 200, 200)),
    ]


def flag_red():
    return [
        (thick_line(0.25, 0.08, 0.25, 0.94, 0.11), (90, 90, 90)),
        (polygon([(0.30, 0.10), (0.88, 0.28), (0.30, 0.52)]), (220, 30, 30)),
    ]


def button_ok():
    return [
        (circle(0.5, 0.5, 0.47), (40, 160, 60)),
        (thick_line(0.27, 0.52, 0.44, 0.70, 0.13), PAPER),
        (thick_line(0.44, 0.70, 0.75, 0.33, 0.13), PAPER),
    ]


def main():
    os.makedirs(OUT, exist_ok=True)
    for size in (24, 30, 36, 48):
        write_png(os.path.join(OUT, f"mainicon-{size}.png"), render(size, main_icon()))
    write_bmp(os.path.join(OUT, "flag-red.bmp"), render(16, flag_red()))
    write_bmp(os.path.join(OUT, "button-ok.bmp"), render(16, button_ok()))
    # The program's icon in the sizes a desktop looks for, installed under hicolor.
    icons = os.path.join(os.path.dirname(__file__), "..", "packaging", "icons")
    os.makedirs(icons, exist_ok=True)
    for size in (16, 22, 24, 32, 48, 64, 128, 256):
        write_png(os.path.join(icons, f"kestaro-zelvan-{size}.png"), render(size, main_icon()))
    # The program's icon for the Windows executable.
    write_ico(os.path.join(OUT, "kestaro.ico"),
              [render(size, main_icon()) for size in (16, 24, 32, 48, 256)])


if __name__ == "__main__":
    main()
