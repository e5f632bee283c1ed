"""Flattening to a key colour, and the .bmp and .ico writers."""

import struct

from PIL import Image

from .canvas import lerp
from .palette import BLACK, FACE_BOTTOM, FACE_TOP


def keyed(rgba, key, ground=None, hard=False):
    """Flattens an RGBA picture to RGB with a transparent key colour.

    ground(y) gives the colour the picture sits on; partial pixels blend with it.
    hard=True makes every pixel fully opaque or fully transparent (for pictures
    that sit on grounds too different to blend against).
    """
    w, h = rgba.size
    src = rgba.load()
    out = Image.new("RGB", (w, h))
    px = out.load()
    for y in range(h):
        g = ground(y, h) if ground else (128, 128, 128)
        for x in range(w):
            r, gg, b, a = src[x, y]
            if hard:
                a = 255 if a >= 128 else 0
            if a == 0:
                px[x, y] = key
                continue
            c = tuple(int(round((v * a + gv * (255 - a)) / 255)) for v, gv in zip((r, gg, b), g))
            if c == key:  # a visible pixel must never read as transparent
                c = (1, 1, 1) if key == BLACK else (254, 0, 254)
            px[x, y] = c
    return out


def face_ground(u):
    # The level buttons are a little taller than their pictures.
    return lambda y, h: lerp(FACE_TOP, FACE_BOTTOM, (y + 4 * u) / (h + 8 * u))


def write_bmp(path, img):
    """24-bit BI_RGB, bottom-up, rows padded to 4 bytes."""
    img = img.convert("RGB")
    w, h = img.size
    stride = (w * 3 + 3) & ~3
    px = img.load()
    rows = []
    for y in range(h - 1, -1, -1):
        row = bytearray()
        for x in range(w):
            r, g, b = px[x, y]
            row += bytes((b, g, r))
        row += b"\0" * (stride - len(row))
        rows.append(bytes(row))
    bits = b"".join(rows)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(bits), 2835, 2835, 0, 0)
    head = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(bits), 0, 0, 14 + len(info))
    with open(path, "wb") as f:
        f.write(head + info + bits)


def write_ico(path, img):
    """One classic 32-bit BGRA DIB entry with an AND mask (1 where alpha is 0)."""
    img = img.convert("RGBA")
    w, h = img.size
    px = img.load()
    xor = bytearray()
    mask_stride = ((w + 31) // 32) * 4
    andm = bytearray()
    for y in range(h - 1, -1, -1):
        mrow = bytearray(mask_stride)
        for x in range(w):
            r, g, b, a = px[x, y]
            if a == 0:
                r = g = b = 0
                mrow[x // 8] |= 0x80 >> (x % 8)
            xor += bytes((b, g, r, a))
        andm += mrow
    info = struct.pack("<IiiHHIIiiII", 40, w, 2 * h, 1, 32, 0, len(xor) + len(andm), 0, 0, 0, 0)
    data = info + bytes(xor) + bytes(andm)
    head = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, 1, 32, len(data), 6 + 16)
    with open(path, "wb") as f:
        f.write(head + entry + data)
