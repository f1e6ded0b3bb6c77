#!/usr/bin/env python3
"""Draws the program's artwork: PNG pictures and the animated strip GIF.

Standard library only. Run from anywhere; writes next to this script:
    python3 src/app/art/draw_art.py
Shapes are anti-aliased by 4x4 supersampling.
"""
import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))

SLATE = (58, 70, 84)
SLATE_LINE = (44, 53, 64)
WHITE = (255, 255, 255)

# Coverage (0-15) of the two characters of the search button's word, rendered
# once from WenQuanYi Micro Hei at 15 px; 32 x 16.
SEARCH_WORD = """
00000000000000000000000000000000
000e300285e111000011115e11111000
000e304f95eaff0008ffffffffffc000
03afb64d03e01f000000005e00000000
026f834ff8eaff000efffffffffff400
000e304d03e01f000e513a211111e400
000e424feefeef000a24d7007d109300
000ef70225e22200006fdcced3400000
02cfa00336f3330000013af800d90000
05cf303dddddef00016cd71135af7000
000e30089002e60004ffdddfb977e100
000e3001cb6e60000005802f19a30000
001f30359ffd742017dd514f117ea100
02fe11ec8205bdf01a4008fd00019000
00000000000000000000000000000000
00000000000000000000000000000000
""".split()


class Canvas:
    def __init__(self, w, h, fill=(0, 0, 0, 0)):
        self.w, self.h = w, h
        self.px = [list(fill) for _ in range(w * h)]

    def blend(self, x, y, rgb, alpha):
        if not (0 <= x < self.w and 0 <= y < self.h) or alpha <= 0:
            return
        p = self.px[y * self.w + x]
        a = min(alpha, 1.0)
        out_a = a + p[3] / 255 * (1 - a)
        for i in range(3):
            base = p[i] * p[3] / 255 * (1 - a)
            p[i] = round((rgb[i] * a + base) / out_a) if out_a else 0
        p[3] = round(out_a * 255)

    def rect(self, x0, y0, x1, y1, rgb):
        for y in range(y0, y1):
            for x in range(x0, x1):
                self.blend(x, y, rgb, 1.0)

    def shape(self, inside, rgb, box=None):
        """Fills the points where inside(x, y) holds, 16 samples per pixel."""
        x0, y0, x1, y1 = box or (0, 0, self.w, self.h)
        for y in range(max(0, y0), min(self.h, y1)):
            for x in range(max(0, x0), min(self.w, x1)):
                hits = sum(inside(x + (i + 0.5) / 4, y + (j + 0.5) / 4)
                           for i in range(4) for j in range(4))
                self.blend(x, y, rgb, hits / 16)

    def png(self, name):
        raw = bytearray()
        for y in range(self.h):
            raw.append(0)
            for x in range(self.w):
                raw.extend(self.px[y * self.w + x])

        def chunk(kind, data):
            body = kind + data
            return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

        data = b"\x89PNG\r\n\x1a\n"
        data += chunk(b"IHDR", struct.pack(">IIBBBBB", self.w, self.h, 8, 6, 0, 0, 0))
        data += chunk(b"IDAT", zlib.compress(bytes(raw), 9))
        data += chunk(b"IEND", b"")
        with open(os.path.join(HERE, name), "wb") as f:
            f.write(data)


def segment(ax, ay, bx, by, half_width):
    def inside(x, y):
        dx, dy = bx - ax, by - ay
        t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
        return math.hypot(x - ax - t * dx, y - ay - t * dy) <= half_width
    return inside


def ring(cx, cy, radius, half_width):
    return lambda x, y: abs(math.hypot(x - cx, y - cy) - radius) <= half_width


def magnifier(c, cx, cy, radius, stroke, handle, rgb):
    c.shape(ring(cx, cy, radius, stroke / 2), rgb)
    d = (radius + stroke / 2) / math.sqrt(2)
    c.shape(segment(cx + d, cy + d, cx + d + handle, cy + d + handle, stroke * 0.65), rgb)


def title_bar():
    c = Canvas(900, 30, SLATE + (255,))
    c.rect(0, 29, 900, 30, SLATE_LINE)
    c.png("title.png")


def frame_strips():
    Canvas(5, 629, SLATE + (255,)).png("frame_v.png")
    Canvas(623, 5, SLATE + (255,)).png("frame_h.png")


def close_button(name, ground):
    c = Canvas(30, 30, ground + (255,))
    c.shape(segment(10, 10, 20, 20, 1.1), WHITE)
    c.shape(segment(20, 10, 10, 20, 1.1), WHITE)
    c.png(name)


def search_button(name, ground, offset):
    c = Canvas(100, 30, ground + (255,))
    c.rect(0, 29, 100, 30, SLATE_LINE)
    magnifier(c, 22 + offset, 13 + offset, 5.5, 2.0, 4.5, WHITE)
    for row, line in enumerate(SEARCH_WORD):
        for col, digit in enumerate(line):
            c.blend(44 + col + offset, 7 + row + offset, WHITE, int(digit, 16) / 15)
    c.png(name)


def magnifier_icon():
    c = Canvas(32, 32)
    magnifier(c, 13, 13, 8, 3, 8, (138, 150, 164))
    c.png("magnifier.png")


# --- the animated strip: a small level meter, 12 frames ---

STRIP_PALETTE = [(255, 255, 255), (214, 220, 227), (96, 112, 130), (120, 138, 158),
                 (146, 164, 184), (230, 126, 64), (58, 70, 84), (255, 255, 255)]


def strip_frame(t):
    px = [0] * (48 * 48)
    for x in range(4, 44):
        px[42 * 48 + x] = 1                        # base line
    for bar in range(5):
        phase = 2 * math.pi * t / 12 + bar * 1.3
        height = round(8 + 24 * (0.5 + 0.5 * math.sin(phase)))
        x0 = 6 + bar * 8
        for y in range(42 - height, 42):
            for x in range(x0, x0 + 5):
                px[y * 48 + x] = 2 + (bar % 3)
        for x in range(x0, x0 + 5):                 # the peak cap
            px[(40 - height) * 48 + x] = 5
    return px


def lzw(indices, min_size):
    clear, end = 1 << min_size, (1 << min_size) + 1
    size, next_code = min_size + 1, end + 1
    table = {bytes([i]): i for i in range(clear)}
    acc = nbits = 0
    out = bytearray()

    def emit(code):
        nonlocal acc, nbits
        acc |= code << nbits
        nbits += size
        while nbits >= 8:
            out.append(acc & 0xFF)
            acc >>= 8
            nbits -= 8

    emit(clear)
    word = b""
    for k in indices:
        grown = word + bytes([k])
        if grown in table:
            word = grown
            continue
        emit(table[word])
        if next_code < 4095:
            table[grown] = next_code
            next_code += 1
            # The decoder adds its entry one code later, hence ">".
            if next_code > (1 << size) and size < 12:
                size += 1
        else:
            emit(clear)
            table = {bytes([i]): i for i in range(clear)}
            size, next_code = min_size + 1, end + 1
        word = bytes([k])
    emit(table[word])
    emit(end)
    if nbits:
        out.append(acc & 0xFF)
    return bytes(out)


def strip_gif():
    data = b"GIF89a" + struct.pack("<HHBBB", 48, 48, 0xF2, 0, 0)  # 8-colour global table
    data += b"".join(bytes(c) for c in STRIP_PALETTE)
    data += b"\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00"      # loop for ever
    for t in range(12):
        data += b"\x21\xF9\x04\x04" + struct.pack("<H", 8) + b"\x00\x00"  # 80 ms, keep
        data += b"\x2C" + struct.pack("<HHHHB", 0, 0, 48, 48, 0)
        packed = lzw(strip_frame(t), 3)
        data += b"\x03"
        for i in range(0, len(packed), 255):
            block = packed[i:i + 255]
            data += bytes([len(block)]) + block
        data += b"\x00"
    data += b"\x3B"
    with open(os.path.join(HERE, "strip.gif"), "wb") as f:
        f.write(data)


if __name__ == "__main__":
    title_bar()
    frame_strips()
    close_button("close.png", SLATE)
    close_button("close_hover.png", (200, 69, 60))
    search_button("search.png", SLATE, 0)
    search_button("search_hover.png", (74, 90, 108), 0)
    search_button("search_pressed.png", (43, 52, 63), 1)
    magnifier_icon()
    strip_gif()
