#!/usr/bin/env python3
"""Writes the atlas's resource files: the tool button glyphs pointr.bmp and
zoomin.bmp (40 x 20, 8 bits a pixel with the framework's 256-colour palette,
normal glyph left, disabled glyph right, olive background, which the bottom-left
pixel makes transparent) and the cursors curgeozoom.cur (a magnifier, hot spot
in the lens centre at 6, 6) and curgeohand.cur (an arrow with a hand, hot spot
at the arrow tip 0, 0), 32 x 32 in two colours. Run it in this folder after
changing a drawing; the build embeds the files, not this script."""
import math
import struct

# The framework's default 8-bit palette: 16 VGA colours, a 6x6x6 cube, 24 greys.
VGA = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
       (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
       (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
PALETTE = VGA + [(r * 51, g * 51, b * 51) for b in range(6) for g in range(6) for r in range(6)]
PALETTE += [(8 + 10 * i,) * 3 for i in range(24)]
BLACK, OLIVE, NAVY, SILVER, GRAY, WHITE, MAROON, AQUA = 0, 3, 4, 7, 8, 15, 1, 14

ARROW = """
....................
..X.................
..XX................
..XWX...............
..XWWX..............
..XWWWX.............
..XWWWWX............
..XWWWWWX...........
..XWWWWWWX..........
..XWWWWWWWX.........
..XWWWWWWWWX........
..XWWWWWXXXXX.......
..XWWXWWX...........
..XWX.XWWX..........
..XX..XWWX..........
..X....XWWX.........
.......XWWX.........
........XX..........
....................
....................
"""


def art(text, colours):
    rows = [r for r in text.strip("\n").split("\n")]
    return [[colours[c] for c in row] for row in rows]


def pointer_glyph():
    return art(ARROW, {".": OLIVE, "X": BLACK, "W": WHITE})


def zoom_glyph():
    g = [[OLIVE] * 20 for _ in range(20)]
    cx, cy = 7.5, 7.5
    for y in range(20):
        for x in range(20):
            d = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
            if d <= 4.6:
                g[y][x] = AQUA
            elif d <= 6.2:
                g[y][x] = BLACK
            # The handle, down to the bottom right.
            t = ((x + 0.5 - 12) + (y + 0.5 - 12)) / 2
            if 0 <= t <= 6 and abs((x - y)) <= 1 and x >= 11 and y >= 11:
                g[y][x] = MAROON if abs(x - y) == 0 else BLACK
    for i in range(5, 11):
        g[7][i] = NAVY
        g[i][7] = NAVY
    return g


def disabled(glyph):
    """The classic engraved look: the shape in grey with a white shadow."""
    h, w = len(glyph), len(glyph[0])
    out = [[OLIVE] * w for _ in range(h)]
    for y in range(h):
        for x in range(w):
            if glyph[y][x] != OLIVE and y + 1 < h and x + 1 < w:
                out[y + 1][x + 1] = WHITE
    for y in range(h):
        for x in range(w):
            if glyph[y][x] != OLIVE:
                out[y][x] = GRAY
    return out


def write_bmp8(path, pixels):
    h, w = len(pixels), len(pixels[0])
    stride = (w + 3) // 4 * 4
    rows = b"".join(bytes(row) + b"\0" * (stride - w) for row in reversed(pixels))
    pal = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    offset = 14 + 40 + len(pal)
    header = struct.pack("<2sIHHI", b"BM", offset + len(rows), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 8, 0, len(rows), 2835, 2835, 256, 0)
    with open(path, "wb") as f:
        f.write(header + info + pal + rows)


def write_cur(path, rows, hot):
    """rows: 32 strings of 'X' black, 'W' white, anything else transparent."""
    w = h = 32
    xor_rows, and_rows = [], []
    for row in reversed(rows):
        xbits = abits = 0
        for x in range(w):
            c = row[x] if x < len(row) else "."
            xbits = xbits << 1 | (c == "W")
            abits = abits << 1 | (c not in "XW")
        xor_rows.append(struct.pack(">I", xbits))
        and_rows.append(struct.pack(">I", abits))
    image = struct.pack("<IiiHHIIiiII", 40, w, 2 * h, 1, 1, 0, 0, 0, 0, 2, 0)
    image += struct.pack("<BBBBBBBB", 0, 0, 0, 0, 255, 255, 255, 0)
    image += b"".join(xor_rows) + b"".join(and_rows)
    directory = struct.pack("<HHH", 0, 2, 1)
    entry = struct.pack("<BBBBHHII", w, h, 2, 0, hot[0], hot[1], len(image), 6 + 16)
    with open(path, "wb") as f:
        f.write(directory + entry + image)


def blank():
    return [["."] * 32 for _ in range(32)]


def outline(grid):
    """A white border around the black shape, so the cursor shows on dark maps."""
    out = [row[:] for row in grid]
    for y in range(32):
        for x in range(32):
            if grid[y][x] == ".":
                near = any(0 <= y + dy < 32 and 0 <= x + dx < 32 and grid[y + dy][x + dx] == "X"
                           for dy in (-1, 0, 1) for dx in (-1, 0, 1))
                if near:
                    out[y][x] = "W"
    return out


def zoom_cursor():
    g = blank()
    for y in range(32):
        for x in range(32):
            d = math.hypot(x - 6, y - 6)
            if 4.5 <= d <= 6.0:
                g[y][x] = "X"
    for i in range(3, 10):
        g[6][i] = "X"
        g[i][6] = "X"
    for i in range(11, 19):
        for t in (-1, 0, 1):
            if 0 <= i + t < 32:
                g[i][i + t] = "X"
    return ["".join(r) for r in outline(g)]


HAND = """
....XX.......
...XWWX.XX...
...XWWXXWWX..
...XWWXXWWXXX
.XXXWWXXWWXWWX
XWWXWWWWWWXWWX
XWWWWWWWWWWWWX
.XWWWWWWWWWWWX
..XWWWWWWWWWX.
...XWWWWWWWX..
....XWWWWWX...
....XXXXXXX...
"""


def hand_cursor():
    g = blank()
    arrow = [r for r in ARROW.strip("\n").split("\n")]
    # The arrow of the glyph, moved so its tip lies at (0, 0).
    for y, row in enumerate(arrow):
        for x, c in enumerate(row):
            if c in "XW" and 0 <= y - 1 < 32 and 0 <= x - 2 < 32:
                g[y - 1][x - 2] = c
    for y, row in enumerate(HAND.strip("\n").split("\n")):
        for x, c in enumerate(row):
            if c in "XW":
                g[17 + y][14 + x] = c
    return ["".join(r) for r in g]


def side_by_side(a, b):
    return [ra + rb for ra, rb in zip(a, b)]


if __name__ == "__main__":
    p, z = pointer_glyph(), zoom_glyph()
    write_bmp8("pointr.bmp", side_by_side(p, disabled(p)))
    write_bmp8("zoomin.bmp", side_by_side(z, disabled(z)))
    write_cur("curgeozoom.cur", zoom_cursor(), (6, 6))
    write_cur("curgeohand.cur", hand_cursor(), (0, 0))
