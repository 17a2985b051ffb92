#!/usr/bin/env python3
"""Draws the program's icon and background bitmap.

Python writes the raw pixels (portable pixmaps), ImageMagick's `convert` turns
them into the formats the resource compiler links in, and `identify` checks
the results:

  resources/background.bmp  1 x 450, 24 bits, bottom-up, uncompressed
  resources/quorvane.ico    one 32 x 32 image, 256-colour palette, AND mask

Run from anywhere: python3 tools/make_resources.py
"""

import os
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUT = os.path.join(ROOT, "resources")

# The background: a steel-blue gradient, darker at the top. Rows between the
# anchors are blended linearly.
GRADIENT_ROWS = 450
GRADIENT_ANCHORS = [
    (0, 0x518FAF), (25, 0x5593B5), (50, 0x5A98B8), (75, 0x5C9AB7),
    (100, 0x5F9DBA), (125, 0x67A3BF), (149, 0x6AA5C1), (225, 0x76ADC8),
    (300, 0x7FB4CD), (375, 0x86B9D0), (449, 0x8ABCD5),
]


def rgb(value):
    return (value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF


def gradient_row(row):
    for (r0, c0), (r1, c1) in zip(GRADIENT_ANCHORS, GRADIENT_ANCHORS[1:]):
        if r0 <= row <= r1:
            t = (row - r0) / (r1 - r0)
            return tuple(round(a + (b - a) * t) for a, b in zip(rgb(c0), rgb(c1)))
    raise ValueError(row)


def gradient_ppm():
    head = b"P6\n1 %d\n255\n" % GRADIENT_ROWS
    return head + b"".join(bytes(gradient_row(y)) for y in range(GRADIENT_ROWS))


# The icon: three cubes in oblique view with black outlines, a yellow one
# resting on a blue one (left) and a red one (right), and a grey shadow at the
# lower right. Each face gets a light vertical shading, which also keeps the
# image above 16 colours so that the icon stays a 256-colour one.
ICON = 32
CUBE = 11   # front face edge
DEPTH = 4   # oblique offset of the back edges, up and to the right

CUBES = [  # (left, top of the front face, base colour)
    (2, 16, (0x2A, 0x5C, 0xE0)),   # blue
    (13, 16, (0xE0, 0x30, 0x2A)),  # red
    (8, 5, (0xF5, 0xD0, 0x20)),    # yellow
]


def faces(x, y):
    s, d = CUBE, DEPTH
    front = [(x, y), (x + s, y), (x + s, y + s), (x, y + s)]
    top = [(x, y), (x + d, y - d), (x + s + d, y - d), (x + s, y)]
    side = [(x + s, y), (x + s + d, y - d), (x + s + d, y + s - d), (x + s, y + s)]
    return front, top, side


def inside(poly, px, py):
    """Even-odd test of the pixel centre (px + 0.5, py + 0.5)."""
    cx, cy = px + 0.5, py + 0.5
    hit = False
    for (x0, y0), (x1, y1) in zip(poly, poly[1:] + poly[:1]):
        if (y0 > cy) != (y1 > cy):
            if cx < x0 + (cy - y0) * (x1 - x0) / (y1 - y0):
                hit = not hit
    return hit


def line(x0, y0, x1, y1):
    points = []
    dx, dy = abs(x1 - x0), -abs(y1 - y0)
    sx, sy = (1 if x0 < x1 else -1), (1 if y0 < y1 else -1)
    err = dx + dy
    while True:
        points.append((x0, y0))
        if (x0, y0) == (x1, y1):
            return points
        e2 = 2 * err
        if e2 >= dy:
            err += dy
            x0 += sx
        if e2 <= dx:
            err += dx
            y0 += sy


def shade(colour, factor):
    return tuple(max(0, min(255, round(c * factor))) for c in colour)


def icon_pixels():
    pixels = [[None] * ICON for _ in range(ICON)]

    def fill(poly, colour_at):
        for py in range(ICON):
            for px in range(ICON):
                if inside(poly, px, py):
                    pixels[py][px] = colour_at(py)

    def outline(poly):
        # Edges run along the pixel grid's lines; draw them one pixel in,
        # towards the lower right, so they sit on the face they close.
        for (x0, y0), (x1, y1) in zip(poly, poly[1:] + poly[:1]):
            for px, py in line(x0, y0, x1, y1):
                px, py = min(px, ICON - 1), min(py, ICON - 1)
                pixels[py][px] = (0, 0, 0)

    # Shadow: the cubes' outline, moved down and right, in half-transparent
    # grey; the icon's mask makes it solid, so a mid grey is used.
    for x, y, _ in CUBES:
        for poly in faces(x + 3, y + 3):
            fill(poly, lambda py: (0x80, 0x80, 0x80))

    for x, y, colour in CUBES:
        front, top, side = faces(x, y)
        fill(front, lambda py, c=colour, y=y: shade(c, 1.0 - 0.02 * (py - y)))
        fill(top, lambda py, c=colour, y=y: shade(c, 1.25 - 0.03 * (y - py)))
        fill(side, lambda py, c=colour, y=y: shade(c, 0.70 - 0.015 * (py - y)))
        for poly in (front, top, side):
            outline(poly)
    return pixels


def icon_pam():
    head = (b"P7\nWIDTH %d\nHEIGHT %d\nDEPTH 4\nMAXVAL 255\n"
            b"TUPLTYPE RGB_ALPHA\nENDHDR\n" % (ICON, ICON))
    body = bytearray()
    for row in icon_pixels():
        for p in row:
            body += bytes((0, 0, 0, 0)) if p is None else bytes(p + (255,))
    return head + bytes(body)


def run(*args):
    return subprocess.run(args, check=True, capture_output=True, text=True).stdout


def check(condition, what):
    if not condition:
        sys.exit("make_resources: " + what)


def main():
    with tempfile.TemporaryDirectory() as tmp:
        ppm = os.path.join(tmp, "background.ppm")
        pam = os.path.join(tmp, "icon.pam")
        with open(ppm, "wb") as f:
            f.write(gradient_ppm())
        with open(pam, "wb") as f:
            f.write(icon_pam())

        bmp = os.path.join(OUT, "background.bmp")
        ico = os.path.join(OUT, "quorvane.ico")
        # BMP3 writes a plain BITMAPINFOHEADER (no colour-space block);
        # TrueColor keeps 24 bits even though few colours are used.
        run("convert", ppm, "-type", "TrueColor", "-compress", "None", "BMP3:" + bmp)
        run("convert", pam, "-colors", "255", "ICO:" + ico)

    # The header fields, straight from the files.
    with open(bmp, "rb") as f:
        data = f.read()
    width, height = int.from_bytes(data[18:22], "little", signed=True), \
        int.from_bytes(data[22:26], "little", signed=True)
    bits, compression = int.from_bytes(data[28:30], "little"), int.from_bytes(data[30:34], "little")
    check(data[14:18] == (40).to_bytes(4, "little"), "BMP header is not BITMAPINFOHEADER")
    check((width, height, bits, compression) == (1, 450, 24, 0),
          "BMP is %dx%d, %d bits, compression %d" % (width, height, bits, compression))
    # Bottom-up: the file's first row is the image's last (the light one).
    check(tuple(data[int.from_bytes(data[10:14], "little"):][:3][::-1]) == gradient_row(449),
          "BMP rows are not bottom-up")

    with open(ico, "rb") as f:
        data = f.read()
    count = int.from_bytes(data[4:6], "little")
    entry = data[6:22]
    check(count == 1, "icon has %d images" % count)
    check(entry[0] == 32 and entry[1] == 32, "icon image is not 32 x 32")
    check(int.from_bytes(entry[6:8], "little") == 8, "icon image is not 8 bits per pixel")
    size = int.from_bytes(entry[8:12], "little")
    check(size == 40 + 256 * 4 + 32 * 32 + 32 * 4, "icon image has no 256-colour palette and mask")

    # identify reads the files back; the bit depths come from the headers
    # (identify names the depth per channel and the type by the colours used).
    print(run("identify", "-format", "%f: %m %wx%h, ", bmp)
          + "%d bits per pixel, BI_RGB, bottom-up" % bits)
    print(run("identify", "-format", "%f: %m %wx%h, %k colours, ", ico)
          + "8 bits per pixel (256-colour palette) with AND mask")

if __name__ == "__main__":
    main()
