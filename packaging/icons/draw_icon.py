#!/usr/bin/env python3
"""Draws the program's desktop icon: one SVG and PNGs of the hicolor sizes.

Standard library only. Run from anywhere; writes the hicolor tree under this
script's folder, or under OUT_DIR when given:
    python3 packaging/icons/draw_icon.py [OUT_DIR]
Both forms come from the same shape list on a 256-unit square, so they match.
PNG shapes are anti-aliased by 4x4 supersampling.
"""
import math
import os
import sys
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
ICON_NAME = "com.lumorafm.Downloader"
PNG_SIZES = (16, 24, 32, 48, 64, 128, 256)

SLATE = (58, 70, 84)
WHITE = (255, 255, 255)
AMBER = (242, 150, 46)

# A music note beside an arrow that lands in a tray: "audio, downloaded".
SHAPES = [
    ("rounded", (8, 8, 248, 248, 44), SLATE),
    ("ellipse", (80, 166, 30, 22, -20), WHITE),
    ("rect", (96, 48, 110, 164), WHITE),
    ("polygon", ((96, 48), (148, 72), (148, 100), (110, 82)), WHITE),
    ("rect", (158, 68, 182, 144), AMBER),
    ("polygon", ((134, 136), (206, 136), (170, 180)), AMBER),
    ("rect", (134, 196, 206, 208), AMBER),
]


def inside_rounded(x0, y0, x1, y1, r):
    def inside(x, y):
        if not (x0 <= x < x1 and y0 <= y < y1):
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside, (x0, y0, x1, y1)


def inside_rect(x0, y0, x1, y1):
    return (lambda x, y: x0 <= x < x1 and y0 <= y < y1), (x0, y0, x1, y1)


def inside_ellipse(cx, cy, rx, ry, degrees):
    a = math.radians(degrees)
    cos_a, sin_a = math.cos(a), math.sin(a)

    def inside(x, y):
        dx, dy = x - cx, y - cy
        u = dx * cos_a + dy * sin_a
        v = -dx * sin_a + dy * cos_a
        return (u / rx) ** 2 + (v / ry) ** 2 <= 1
    reach = max(rx, ry)
    return inside, (cx - reach, cy - reach, cx + reach, cy + reach)


def inside_polygon(points):
    def inside(x, y):
        hit = False
        for (ax, ay), (bx, by) in zip(points, points[1:] + points[:1]):
            if (ay > y) != (by > y) and x < ax + (y - ay) * (bx - ax) / (by - ay):
                hit = not hit
        return hit
    xs, ys = [p[0] for p in points], [p[1] for p in points]
    return inside, (min(xs), min(ys), max(xs), max(ys))


def shape_test(kind, args):
    if kind == "rounded":
        return inside_rounded(*args)
    if kind == "rect":
        return inside_rect(*args)
    if kind == "ellipse":
        return inside_ellipse(*args)
    return inside_polygon(list(args))


def blend(pixel, rgb, alpha):
    out_a = alpha + pixel[3] / 255 * (1 - alpha)
    for i in range(3):
        base = pixel[i] * pixel[3] / 255 * (1 - alpha)
        pixel[i] = round((rgb[i] * alpha + base) / out_a) if out_a else 0
    pixel[3] = round(out_a * 255)


def render(size):
    px = [[0, 0, 0, 0] for _ in range(size * size)]
    unit = 256 / size
    for kind, args, rgb in SHAPES:
        inside, (bx0, by0, bx1, by1) = shape_test(kind, args)
        for y in range(max(0, int(by0 / unit)), min(size, math.ceil(by1 / unit) + 1)):
            for x in range(max(0, int(bx0 / unit)), min(size, math.ceil(bx1 / unit) + 1)):
                hits = sum(inside((x + (i + 0.5) / 4) * unit, (y + (j + 0.5) / 4) * unit)
                           for i in range(4) for j in range(4))
                if hits:
                    blend(px[y * size + x], rgb, hits / 16)
    return px


def png_bytes(size, px):
    raw = bytearray()
    for y in range(size):
        raw.append(0)
        for x in range(size):
            raw.extend(px[y * size + x])

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))
    head = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", head)
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def svg_element(kind, args, rgb):
    fill = "#%02x%02x%02x" % rgb
    if kind == "rounded":
        x0, y0, x1, y1, r = args
        return (f'<rect x="{x0}" y="{y0}" width="{x1 - x0}" height="{y1 - y0}" '
                f'rx="{r}" fill="{fill}"/>')
    if kind == "rect":
        x0, y0, x1, y1 = args
        return f'<rect x="{x0}" y="{y0}" width="{x1 - x0}" height="{y1 - y0}" fill="{fill}"/>'
    if kind == "ellipse":
        cx, cy, rx, ry, degrees = args
        return (f'<ellipse cx="{cx}" cy="{cy}" rx="{rx}" ry="{ry}" '
                f'transform="rotate({degrees} {cx} {cy})" fill="{fill}"/>')
    points = " ".join(f"{x},{y}" for x, y in args)
    return f'<polygon points="{points}" fill="{fill}"/>'


def svg_text():
    body = "\n".join("  " + svg_element(*shape) for shape in SHAPES)
    return ('<?xml version="1.0" encoding="UTF-8"?>\n'
            '<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" '
            'viewBox="0 0 256 256">\n' + body + "\n</svg>\n")


def write(out_dir, relative, data):
    path = os.path.join(out_dir, "hicolor", relative, "apps")
    os.makedirs(path, exist_ok=True)
    ext = "svg" if relative == "scalable" else "png"
    with open(os.path.join(path, f"{ICON_NAME}.{ext}"), "wb") as f:
        f.write(data)


if __name__ == "__main__":
    out = sys.argv[1] if len(sys.argv) > 1 else HERE
    write(out, "scalable", svg_text().encode())
    for size in PNG_SIZES:
        write(out, f"{size}x{size}", png_bytes(size, render(size)))
