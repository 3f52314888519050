#!/usr/bin/env python3
"""Draws the program's icons and finish bitmap and writes them as .ico and .bmp.

setup.ico (icon 1), uninstall.ico (icon 2), order.ico (icon 3): each with 32x32
and 16x16 images in 16 and in 256 colours. finish.bmp (bitmap 2070): 8 bits per
pixel with a colour table; the areas that should look transparent are exactly
RGB 255,0,0, which the program maps to the dialog colour. Standard library only.
Run it after changing a picture and commit the files it writes:
    python3 setup/res/mkres.py
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

# The 16 colours of the classic VGA palette (the 16-colour images use these).
VGA = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
    (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
    (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
# 256 colours: VGA, a 6x6x6 colour cube, then greys.
CUBE = [(r * 51, g * 51, b * 51) for r in range(6) for g in range(6) for b in range(6)]
GREYS = [(v, v, v) for v in range(8, 248, 10)]
PAL256 = (VGA + CUBE + GREYS)[:256]

TRANSPARENT = None


def nearest(palette, rgb):
    return min(range(len(palette)),
               key=lambda i: sum((a - b) ** 2 for a, b in zip(palette[i], rgb)))


# ---- Pictures: shapes in a 0..1 square, drawn back to front.

def rect(x0, y0, x1, y1, c):
    return lambda x, y: c if x0 <= x < x1 and y0 <= y < y1 else None


def frame(x0, y0, x1, y1, t, c):
    inner = rect(x0 + t, y0 + t, x1 - t, y1 - t, True)
    outer = rect(x0, y0, x1, y1, True)
    return lambda x, y: c if outer(x, y) and not inner(x, y) else None


def circle(cx, cy, r, c):
    return lambda x, y: c if (x - cx) ** 2 + (y - cy) ** 2 <= r * r else None


def polygon(points, c):
    def inside(x, y):
        n, hit = len(points), False
        for i in range(n):
            (x0, y0), (x1, y1) = points[i], points[(i + 1) % n]
            if (y0 > y) != (y1 > y) and x < x0 + (y - y0) * (x1 - x0) / (y1 - y0):
                hit = not hit
        return hit
    return lambda x, y: c if inside(x, y) else None


def shaded(shape, base, light):
    """A shape whose colour runs from base (top left) to light (bottom right)."""
    def f(x, y):
        if shape(x, y) is None:
            return None
        t = min(1.0, max(0.0, (x + y) / 2))
        return tuple(int(a + (b - a) * t) for a, b in zip(base, light))
    return f


def box(top, side, front):
    # A package in perspective: lid, right side, front.
    return [
        polygon([(0.12, 0.40), (0.30, 0.26), (0.92, 0.26), (0.74, 0.40)], top),
        polygon([(0.74, 0.40), (0.92, 0.26), (0.92, 0.78), (0.74, 0.94)], side),
        rect(0.12, 0.40, 0.74, 0.94, front),
        frame(0.12, 0.40, 0.74, 0.94, 0.04, (0, 0, 0)),
    ]


SETUP_ICON = box((255, 255, 128), (160, 120, 0), (220, 180, 60)) + [
    # green arrow down into the box
    shaded(rect(0.36, 0.02, 0.52, 0.40, True), (0, 200, 0), (0, 120, 0)),
    shaded(polygon([(0.22, 0.36), (0.66, 0.36), (0.44, 0.62)], True), (0, 200, 0), (0, 120, 0)),
]

UNINSTALL_ICON = box((200, 200, 200), (100, 100, 100), (160, 160, 160)) + [
    # red cross over the box
    polygon([(0.10, 0.18), (0.24, 0.06), (0.92, 0.84), (0.78, 0.96)], (200, 0, 0)),
    polygon([(0.78, 0.06), (0.92, 0.18), (0.24, 0.96), (0.10, 0.84)], (200, 0, 0)),
]

ORDER_ICON = [
    # a sheet with lines and a gold coin
    rect(0.14, 0.04, 0.78, 0.96, (255, 255, 255)),
    frame(0.14, 0.04, 0.78, 0.96, 0.04, (0, 0, 128)),
] + [rect(0.24, y, 0.68, y + 0.05, (0, 0, 160)) for y in (0.16, 0.30, 0.44, 0.58)] + [
    shaded(circle(0.72, 0.76, 0.24, True), (255, 230, 0), (160, 110, 0)),
    circle(0.72, 0.76, 0.12, (255, 255, 128)),
]

RED = (255, 0, 0)


def finish_picture():
    # A tall panel: a package with a green tick, on the dialog colour (red = transparent).
    shapes = [
        rect(0.0, 0.0, 1.0, 1.0, RED),
        shaded(polygon([(0.10, 0.06), (0.90, 0.06), (0.90, 0.94), (0.10, 0.94)], True),
               (0, 64, 160), (120, 180, 255)),
        frame(0.10, 0.06, 0.90, 0.94, 0.02, (0, 0, 64)),
        polygon([(0.22, 0.62), (0.46, 0.50), (0.78, 0.50), (0.54, 0.62)], (255, 255, 128)),
        polygon([(0.54, 0.62), (0.78, 0.50), (0.78, 0.78), (0.54, 0.90)], (160, 120, 0)),
        rect(0.22, 0.62, 0.54, 0.90, (220, 180, 60)),
        polygon([(0.24, 0.30), (0.34, 0.22), (0.46, 0.34), (0.70, 0.10), (0.80, 0.18),
                 (0.46, 0.48)], (0, 200, 0)),
    ] + [circle(x, y, 0.035, (255, 255, 255)) for x, y in ((0.20, 0.14), (0.78, 0.36), (0.30, 0.44))]
    return shapes


def render(shapes, w, h):
    pixels = []
    for j in range(h):
        row = []
        for i in range(w):
            x, y = (i + 0.5) / w, (j + 0.5) / h
            c = TRANSPARENT
            for s in shapes:
                v = s(x, y)
                if v is not None:
                    c = v
            row.append(c)
        pixels.append(row)
    return pixels


def pack_rows(rows, bpp):
    """Bottom-up rows of palette indices, each padded to 4 bytes."""
    out = b''
    for row in reversed(rows):
        bits = ''.join(format(v, '0%db' % bpp) for v in row)
        bits += '0' * (-len(bits) % 32)
        out += int(bits, 2).to_bytes(len(bits) // 8, 'big') if bits else b''
    return out


def dib(pixels, palette, bpp, icon):
    h, w = len(pixels), len(pixels[0])
    index = [[0 if c is None else nearest(palette, c) for c in row] for row in pixels]
    colours = 1 << bpp
    pal = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in
                   (palette + [(0, 0, 0)] * colours)[:colours])
    data = pack_rows(index, bpp)
    if icon:
        data += pack_rows([[1 if c is None else 0 for c in row] for row in pixels], 1)
    header = struct.pack('<IiiHHIIiiII', 40, w, h * 2 if icon else h, 1, bpp, 0,
                         len(data), 0, 0, colours, 0)
    return header + pal + data


def write_ico(name, shapes):
    images = []
    for bpp, palette in ((4, VGA), (8, PAL256)):
        for size in (32, 16):
            images.append((size, bpp, dib(render(shapes, size, size), palette, bpp, True)))
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, bpp, data in images:
        out += struct.pack('<BBBBHHII', size, size, 16 if bpp == 4 else 0, 0, 1, bpp,
                           len(data), offset)
        offset += len(data)
    out += b''.join(data for _, _, data in images)
    with open(os.path.join(HERE, name), 'wb') as f:
        f.write(out)


def write_bmp(name, shapes, w, h):
    # Exactly one entry is the transparent red; nothing else may map to it.
    palette = list(PAL256)
    red = palette.index(RED)
    palette = [c if c != RED or i == red else (250, 250, 250) for i, c in enumerate(palette)]
    pixels = render(shapes, w, h)
    index = []
    for row in pixels:
        out = []
        for c in row:
            if c == RED:
                out.append(red)
            else:
                out.append(min((i for i in range(len(palette)) if i != red),
                               key=lambda i: sum((a - b) ** 2 for a, b in zip(palette[i], c))))
        index.append(out)
    pal = b''.join(struct.pack('<BBBB', b, g, r, 0) for r, g, b in palette)
    data = pack_rows(index, 8)
    info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 8, 0, len(data), 2835, 2835, 256, 0)
    off = 14 + len(info) + len(pal)
    head = struct.pack('<2sIHHI', b'BM', off + len(data), 0, 0, off)
    with open(os.path.join(HERE, name), 'wb') as f:
        f.write(head + info + pal + data)


def main():
    write_ico('setup.ico', SETUP_ICON)
    write_ico('uninstall.ico', UNINSTALL_ICON)
    write_ico('order.ico', ORDER_ICON)
    write_bmp('finish.bmp', finish_picture(), 96, 176)


if __name__ == '__main__':
    main()
