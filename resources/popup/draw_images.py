#!/usr/bin/python3
"""Draws the survey popup's icons and bitmaps into this folder.

Level buttons (heart + 满意 / 一般 / 不满意), close buttons in normal, hot and
pressed looks, small logos and toolbar icons. Icons are written as classic
32-bit DIB .ico entries, bitmaps as 24-bit bottom-up .bmp with a key colour.
Each picture is also drawn at 125 %, 150 % and 200 % (its own drawing at that
size: outlines, strokes and captions made for it, not a magnified 1x picture),
written beside the 1x one as NAME-125, NAME-150 and NAME-200. A contact sheet per
scale, magnified on the grounds the pictures will sit on, goes to
build/popup-images/contact-sheet[-SCALE].png for a visual check.

Rerun from the repo root:  python3 resources/popup/draw_images.py
Needs Debian's python3-pil, fonts-wqy-zenhei and fonts-dejavu-core.
"""

import os
import struct
import sys

try:
    from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont
except ImportError:
    # Debian's Pillow lives in the system interpreter, not in a pyenv one.
    if os.path.exists("/usr/bin/python3") and sys.executable != "/usr/bin/python3":
        os.execv("/usr/bin/python3", ["/usr/bin/python3"] + sys.argv)
    raise

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
SHEET_DIR = os.path.join(ROOT, "build", "popup-images")

SS = 8  # supersampling factor
SCALES = (100, 125, 150, 200)  # percent; the popup picks the one at or above its own

CJK_FONT = "/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc"
CJK_SHARP_FACE = 2  # "Zen Hei Sharp": the face that carries the bitmap strikes
LATIN_BOLD = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"
LABEL_FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"

BLACK = (0, 0, 0)
MAGENTA = (255, 0, 255)

# Grounds the pictures are drawn on by the popup.
FACE_TOP, FACE_BOTTOM = (196, 218, 250), (158, 190, 245)
CAPTION_TOP, CAPTION_BOTTOM = (89, 135, 214), (0, 45, 150)
NAVY_TEAL = ((10, 36, 106), (40, 150, 160))

TEXT = (32, 32, 32)


# ---------------------------------------------------------------- helpers

_lighter = ImageChops.lighter    # union of masks
_min = ImageChops.darker         # intersection of masks
_subtract = ImageChops.subtract

def up(v):
    """Rounded half up, as the popup rounds its scaled edges."""
    return int(v + 0.5)


def lerp(a, b, t):
    return tuple(int(round(x + (y - x) * t)) for x, y in zip(a, b))


def vgradient(size, top, bottom, y0=0, y1=None):
    """RGBA image of the given size, colour running top->bottom between rows y0 and y1."""
    w, h = size
    y1 = h if y1 is None else y1
    img = Image.new("RGBA", size)
    px = img.load()
    for y in range(h):
        t = min(1.0, max(0.0, (y - y0) / max(1, y1 - y0)))
        c = lerp(top, bottom, t) + (255,)
        for x in range(w):
            px[x, y] = c
    return img


class Canvas:
    """A supersampled RGBA picture; coordinates are in 1x pixels (floats allowed), u final
    pixels each. w, h: the final size; uw, uh: the size in 1x pixels."""

    def __init__(self, w, h, u=1.0, s=SS):
        self.uw, self.uh, self.u = w, h, u
        self.w, self.h, self.s = up(w * u), up(h * u), s
        self.k = s * u if u != 1.0 else s  # supersampled pixels per 1x pixel
        self.img = Image.new("RGBA", (self.w * s, self.h * s), (0, 0, 0, 0))

    def edge(self, px):
        """An outline of px 1x pixels as whole final pixels, so it stays crisp."""
        return max(1, up(px * self.u))

    # masks --------------------------------------------------------------
    def mask(self):
        m = Image.new("L", self.img.size, 0)
        return m, ImageDraw.Draw(m)

    def _box(self, x0, y0, x1, y1):
        k = self.k
        return [x0 * k, y0 * k, x1 * k - 1, y1 * k - 1]

    def rect_mask(self, x0, y0, x1, y1, r=0):
        m, d = self.mask()
        if r:
            d.rounded_rectangle(self._box(x0, y0, x1, y1), radius=r * self.k, fill=255)
        else:
            d.rectangle(self._box(x0, y0, x1, y1), fill=255)
        return m

    def ellipse_mask(self, x0, y0, x1, y1):
        m, d = self.mask()
        d.ellipse(self._box(x0, y0, x1, y1), fill=255)
        return m

    def poly_mask(self, pts):
        m, d = self.mask()
        d.polygon([(x * self.k, y * self.k) for x, y in pts], fill=255)
        return m

    def stroke_mask(self, pts, width, closed=False):
        """A polyline of the given width with round joins and caps."""
        m, d = self.mask()
        k = self.k
        p = [(x * k, y * k) for x, y in pts]
        if closed:
            p = p + [p[0]]
        d.line(p, fill=255, width=int(round(width * k)), joint="curve")
        r = width * k / 2
        for x, y in (p if not closed else p[:1]):
            d.ellipse([x - r, y - r, x + r, y + r], fill=255)
        return m

    def line_mask(self, p0, p1, width):
        """A straight stroke with flat ends, as a quad (exact at any angle)."""
        (x0, y0), (x1, y1) = p0, p1
        dx, dy = x1 - x0, y1 - y0
        n = (dx * dx + dy * dy) ** 0.5
        ox, oy = -dy / n * width / 2, dx / n * width / 2
        return self.poly_mask([(x0 + ox, y0 + oy), (x1 + ox, y1 + oy),
                               (x1 - ox, y1 - oy), (x0 - ox, y0 - oy)])

    def inset(self, m, px):
        """Shrinks a mask by px final pixels (for outlines of one colour round a fill);
        see edge() and u for 1x widths."""
        k = int(round(px * self.s))
        out = m
        while k > 0:
            step = min(k, 3)
            out = out.filter(ImageFilter.MinFilter(2 * step + 1))
            k -= step
        return out

    # painting -----------------------------------------------------------
    def paint(self, m, fill, opacity=1.0):
        """Composites a colour or a gradient (final-pixel sized RGBA image) through mask m."""
        if isinstance(fill, Image.Image):
            layer = fill.resize(self.img.size, Image.BILINEAR).convert("RGBA")
        else:
            layer = Image.new("RGBA", self.img.size, tuple(fill[:3]) + (255,))
        a = m if opacity >= 1.0 else m.point(lambda v: int(v * opacity))
        layer.putalpha(a)
        self.img = Image.alpha_composite(self.img, layer)

    def result(self):
        return self.img.resize((self.w, self.h), Image.BOX)


def heart_points(cx, cy, w, h, n=240):
    """Classic heart curve scaled into a w x h box centred on (cx, cy)."""
    import math
    pts = []
    for i in range(n):
        t = 2 * math.pi * i / n
        x = 16 * math.sin(t) ** 3
        y = -(13 * math.cos(t) - 5 * math.cos(2 * t) - 2 * math.cos(3 * t) - math.cos(4 * t))
        pts.append((x, y))
    xs = [p[0] for p in pts]
    ys = [p[1] for p in pts]
    sx = w / (max(xs) - min(xs))
    sy = h / (max(ys) - min(ys))
    mx = (max(xs) + min(xs)) / 2
    my = (max(ys) + min(ys)) / 2
    return [(cx + (x - mx) * sx, cy + (y - my) * sy) for x, y in pts]


# ------------------------------------------------------- key-colour output

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


# ------------------------------------------------------------------ writers

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


# ---------------------------------------------------------------- pictures

def draw_heart(c, box, kind):
    """kind: 'full' (red), 'half' (left red, right empty) or 'grey'."""
    x0, y0, x1, y1 = box
    w, h = x1 - x0, y1 - y0
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    outline_w = c.edge(1.0)
    outer = heart_points(cx, cy, w, h)
    m_out = c.poly_mask(outer)
    m_in = c.inset(m_out, outline_w)
    red = vgradient((c.uw, c.uh), (255, 105, 100), (205, 20, 35), int(y0), int(y1))
    red_edge = (150, 12, 24)
    grey = vgradient((c.uw, c.uh), (214, 214, 220), (160, 162, 170), int(y0), int(y1))
    grey_edge = (112, 114, 124)
    if kind == "full":
        c.paint(m_out, red_edge)
        c.paint(m_in, red)
    elif kind == "grey":
        c.paint(m_out, grey_edge)
        c.paint(m_in, grey)
    else:
        left = c.rect_mask(0, 0, cx, c.uh)
        right = _subtract(c.rect_mask(0, 0, c.uw, c.uh), left)
        empty = vgradient((c.uw, c.uh), (250, 250, 252), (222, 224, 230), int(y0), int(y1))
        c.paint(_min(m_out, right), grey_edge)
        c.paint(_min(m_in, right), empty)
        c.paint(_min(m_out, left), red_edge)
        c.paint(_min(m_in, left), red)
    # gloss on the left lobe
    hl = c.ellipse_mask(x0 + w * 0.17, y0 + h * 0.12, x0 + w * 0.42, y0 + h * 0.40)
    c.paint(_min(hl, m_in), (255, 255, 255), 0.55)


def level_button(w, h, kind, text, u=1.0):
    """A heart with a caption, centred; text from the sharp bitmap strikes where the
    face has one (up to 16 px), else smoothed."""
    heart_w, heart_h = 13.0 * u, 12.0 * u
    gap = 4 * u
    size = up(12 * u)
    font = ImageFont.truetype(CJK_FONT, size, index=CJK_SHARP_FACE)
    tb = font.getbbox(text)
    text_w = tb[2] - tb[0]
    total = heart_w + gap + text_w
    c = Canvas(w, h, u)
    W, H = c.w, c.h
    left = int((W - total) // 2)
    hy0 = (H - heart_h) / 2
    draw_heart(c, (left / u, hy0 / u, (left + heart_w) / u, (hy0 + heart_h) / u), kind)
    img = c.result()
    # Glyphs drawn straight at final size: the strikes unsmoothed, as Windows shows them.
    tm = Image.new("L", (W, H), 0)
    d = ImageDraw.Draw(tm)
    d.fontmode = "1" if size <= 16 else "L"
    ink_h = tb[3] - tb[1]
    ty = (H - ink_h + 1) // 2 - tb[1]
    d.text((int(left + heart_w + gap) - tb[0], ty), text, font=font, fill=255)
    layer = Image.new("RGBA", (W, H), TEXT + (255,))
    layer.putalpha(tm)
    img = Image.alpha_composite(img, layer)
    return keyed(img, MAGENTA, face_ground(u))


def x_pattern(n, t):
    """Pixel set of a crisp x: n rows, strokes t pixels wide."""
    pts = set()
    for r in range(n):
        for k in range(t):
            pts.add((r + k, r))
            pts.add((n - 1 - r + k, r))
    return pts, n + t - 1, n


def close_frames(fw, fh, n, t, u=1.0):
    """Normal, hot and pressed close buttons side by side; black is transparent.
    Frame, cross and stroke sizes scale by u; border and press shift by whole pixels."""
    fw, fh, n, t = up(fw * u), up(fh * u), up(n * u), up(t * u)
    b = max(1, up(u) if u >= 1.5 else 1)  # border width
    pts, gw, gh = x_pattern(n, t)
    strip = Image.new("RGB", (fw * 3, fh), BLACK)
    for state in range(3):
        frame = Image.new("RGBA", (fw, fh), (0, 0, 0, 0))
        if state:
            border = (0, 45, 150) if state == 1 else (0, 30, 110)
            if state == 1:
                face = vgradient((fw, fh), (255, 246, 212), (255, 206, 128))
            else:
                face = vgradient((fw, fh), (244, 140, 64), (255, 206, 140))
            frame.paste(face, (0, 0))
            fp = frame.load()
            for x in range(fw):
                for y in range(fh):
                    edge_x, edge_y = min(x, fw - 1 - x) < b, min(y, fh - 1 - y) < b
                    if edge_x and edge_y:
                        fp[x, y] = (0, 0, 0, 0)  # clipped corner reads as rounded
                    elif edge_x or edge_y:
                        fp[x, y] = border + (255,)
                    elif x in (b, fw - 1 - b) and y in (b, fh - 1 - b):
                        fp[x, y] = lerp(border, fp[x, y][:3], 0.6) + (255,)
        glyph = (72, 76, 90) if state == 0 else (24, 24, 32)
        shift = b if state == 2 else 0
        ox = (fw - gw) // 2 + shift
        oy = (fh - gh) // 2 + shift
        fp = frame.load()
        for x, y in pts:
            fp[ox + x, oy + y] = glyph + (255,)
        strip.paste(keyed(frame, BLACK, hard=True), (state * fw, 0))
    return strip


def puzzle_piece(u=1.0):
    c = Canvas(25, 25, u)
    body = c.rect_mask(2, 8, 18, 24, r=1.5)
    knob_top = c.ellipse_mask(6, 0.5, 14, 8.5)
    knob_right = c.ellipse_mask(16.5, 12, 24.5, 20)
    neck_top = c.rect_mask(8, 7, 12, 9)
    neck_right = c.rect_mask(17, 14, 19, 18)
    socket_left = c.ellipse_mask(-1.5, 13, 4.5, 19)
    shape = _lighter(_lighter(_lighter(body, knob_top), knob_right), _lighter(neck_top, neck_right))
    shape = _subtract(shape, socket_left)
    inner = c.inset(shape, c.edge(1.0))
    c.paint(shape, (28, 100, 30))
    c.paint(inner, vgradient((25, 25), (130, 210, 96), (40, 132, 40), 0, 24))
    # soft shine along the body's top-left edges
    shine = _subtract(inner, c.inset(shape, 2.2 * u))
    shine = _min(shine, c.poly_mask([(0, 8.5), (25, 8.5), (0, 30)]))
    c.paint(shine, (235, 255, 220), 0.7)
    return keyed(c.result(), BLACK, hard=True)


def wordmark(u=1.0):
    w, h = 45, 18
    c = Canvas(w, h, u)
    e = c.edge(1.0) / u  # the dark rim, whole pixels wide
    c.paint(c.rect_mask(0, 1, w, h - 1, r=3), (8, 52, 120))
    c.paint(c.rect_mask(e, 1 + e, w - e, h - 1 - e, r=2.2),
            vgradient((w, h), (60, 150, 225), (14, 86, 170), 2, h - 2))
    gloss = c.rect_mask(e, 1 + e, w - e, h / 2, r=2.2)
    c.paint(gloss, (255, 255, 255), 0.18)
    img = c.result()
    # Hinted text at whole-pixel positions stays sharpest at this size.
    font = ImageFont.truetype(LATIN_BOLD, up(10 * u))
    w, h = c.w, c.h
    tl = Image.new("RGBA", (w, h), (0, 0, 0, 0))
    d = ImageDraw.Draw(tl)
    tb = font.getbbox("Zandle")
    tx = (w - (tb[2] - tb[0])) // 2 - tb[0]
    ty = (h - (tb[3] - tb[1])) // 2 - tb[1]
    d.text((tx, ty), "Zandle", font=font, fill=(255, 255, 255, 255))
    img = Image.alpha_composite(img, tl)
    return keyed(img, BLACK, hard=True)


def info_bullet(u=1.0):
    c = Canvas(13, 13, u)
    disc = c.ellipse_mask(0, 0, 13, 13)
    c.paint(disc, (18, 70, 160))
    c.paint(c.inset(disc, c.edge(1.0)), vgradient((13, 13), (110, 175, 245), (30, 100, 205)))
    img = c.result()
    px = img.load()
    white = (255, 255, 255, 255)
    # A crisp "i": dot, stem with a serif and a foot, in whole pixels; the stem as wide
    # as the scale allows, centred on the disc.
    sw = max(1, up(u))
    x0 = (c.w - sw) // 2
    top, dot = up(3 * u), sw
    stem0, foot = top + dot + max(1, up(u)), up(10 * u)
    cells = [(x, y) for x in range(x0, x0 + sw) for y in range(top, top + dot)]
    cells += [(x, y) for x in range(x0, x0 + sw) for y in range(stem0, foot)]
    cells += [(x0 - sw + i, stem0 + j) for i in range(sw) for j in range(sw)]  # serif
    cells += [(x0 - sw + i, foot - sw + j) for i in range(3 * sw) for j in range(sw)]  # foot
    for x, y in cells:
        px[x, y] = white
    return keyed(img, BLACK, hard=True)


# ------------------------------------------------------------------ icons

def icon_logo(u=1.0):
    """White speech bubble on an orange badge: stands out on a navy-to-teal band."""
    c = Canvas(16, 16, u)
    badge = c.rect_mask(0, 0, 16, 16, r=3.5)
    c.paint(badge, (176, 74, 8))
    c.paint(c.inset(badge, c.edge(1.0)), vgradient((16, 16), (255, 184, 80), (236, 112, 20)))
    bubble = _lighter(c.rect_mask(2, 3, 14, 11, r=3),
                      c.poly_mask([(4.5, 10), (8, 10), (3.5, 13.6)]))
    c.paint(bubble, (255, 255, 255))
    for x in (4, 7, 10):
        c.paint(c.rect_mask(x, 6, x + 2, 8, r=0.6), (214, 96, 10))
    return c.result()


def icon_disk(u=1.0):
    c = Canvas(16, 16, u)
    body = c.poly_mask([(1, 1), (14, 1), (15, 2), (15, 15), (1, 15)])
    c.paint(body, (22, 42, 98))
    c.paint(c.poly_mask([(2, 2), (13.6, 2), (14, 2.4), (14, 14), (2, 14)]),
            vgradient((16, 16), (90, 130, 210), (36, 70, 156), 2, 14))
    # metal shutter with its slot
    c.paint(c.rect_mask(4, 1, 12, 6), (112, 120, 136))
    c.paint(c.rect_mask(5, 1, 11, 5), vgradient((16, 16), (236, 240, 246), (180, 188, 200), 1, 5))
    c.paint(c.rect_mask(8, 2, 10, 4), (60, 72, 96))
    # paper label
    c.paint(c.rect_mask(3, 8, 13, 15), (22, 42, 98))
    c.paint(c.rect_mask(4, 9, 12, 15), (252, 252, 252))
    c.paint(c.rect_mask(5, 10, 11, 11), (170, 186, 214))
    c.paint(c.rect_mask(5, 12, 11, 13), (170, 186, 214))
    return c.result()


def icon_folder(u=1.0):
    c = Canvas(16, 16, u)
    edge = (150, 100, 20)
    back = _lighter(c.rect_mask(1, 2, 7, 5, r=1), c.rect_mask(1, 4, 14, 15))
    c.paint(back, edge)
    c.paint(c.inset(back, c.edge(1.0)), vgradient((16, 16), (236, 196, 96), (206, 150, 44), 3, 14))
    # a sheet of paper inside
    c.paint(c.rect_mask(3, 5, 12, 10), (140, 144, 156))
    c.paint(c.rect_mask(4, 6, 11, 10), (255, 255, 255))
    front = c.poly_mask([(4, 8), (16, 8), (13, 15), (1, 15)])
    c.paint(front, edge)
    c.paint(c.inset(front, c.edge(1.0)), vgradient((16, 16), (255, 234, 150), (244, 188, 64), 9, 14))
    return c.result()


def icon_mail(u=1.0):
    c = Canvas(32, 32, u)
    # soft shadow below
    sh = c.rect_mask(3, 9, 31, 28, r=1.5)
    sh = sh.filter(ImageFilter.GaussianBlur(SS * u))
    c.paint(sh, (0, 0, 0), 0.35)
    outer = c.rect_mask(2, 7, 30, 26, r=1.5)
    c.paint(outer, (96, 108, 132))
    c.paint(c.inset(outer, c.edge(1.0)), vgradient((32, 32), (255, 255, 255), (226, 232, 242), 8, 25))
    inside = c.inset(outer, c.edge(1.0))
    # lower folds, faint
    c.paint(_min(c.stroke_mask([(3, 25), (13, 16.5)], 1.0), inside), (170, 180, 200))
    c.paint(_min(c.stroke_mask([(29, 25), (19, 16.5)], 1.0), inside), (170, 180, 200))
    # top flap, slightly shaded, with a crisp edge
    flap = _min(c.poly_mask([(2.5, 7.5), (29.5, 7.5), (16, 19)]), inside)
    c.paint(flap, vgradient((32, 32), (246, 248, 252), (214, 222, 236), 8, 19))
    c.paint(_min(c.stroke_mask([(3, 8), (16, 19), (29, 8)], 1.1), inside), (110, 122, 148))
    # red seal where the flap meets
    seal = c.ellipse_mask(13.5, 15.5, 18.5, 20.5)
    c.paint(seal, (150, 20, 30))
    c.paint(c.inset(seal, 0.8 * u), vgradient((32, 32), (240, 90, 80), (196, 30, 40), 16, 20))
    return c.result()


def icon_close(u=1.0):
    c = Canvas(16, 16, u)
    m = _lighter(c.line_mask((4, 4), (12, 12), 2.0), c.line_mask((12, 4), (4, 12), 2.0))
    c.paint(m, (40, 40, 44))
    return c.result()


# ------------------------------------------------------------ contact sheet

def contact_sheet(items, percent):
    """items: (name, image, kind) with kind 'ico', ('bmp', key, [grounds])."""
    label_font = ImageFont.truetype(LABEL_FONT, 12)
    Z = max(2, up(8 * 100 / percent))
    rows = []
    for name, img, kind, grounds in items:
        tiles = []
        for top, bottom in grounds:
            w, h = img.size
            g = vgradient((w, h), top, bottom)
            if kind == "ico":
                g = Image.alpha_composite(g, img)
            else:
                key = kind
                m = Image.new("L", (w, h), 0)
                src, mp = img.load(), m.load()
                for y in range(h):
                    for x in range(w):
                        if src[x, y] != key:
                            mp[x, y] = 255
                g.paste(img.convert("RGBA"), (0, 0), m)
            tiles.append(g)
        rows.append((name, img.size, tiles))
    pad = 12
    width = max(pad + sum(t.size[0] * Z + pad for t in tiles) + sum(t.size[0] + 6 for t in tiles) + pad
                for _, _, tiles in rows)
    width = max(width, 400)
    height = sum(22 + r[2][0].size[1] * Z + pad for r in rows) + pad
    sheet = Image.new("RGB", (width, height), (250, 250, 250))
    d = ImageDraw.Draw(sheet)
    y = pad
    for name, size, tiles in rows:
        d.text((pad, y), "%s  %dx%d" % (name, size[0], size[1]), font=label_font, fill=(30, 30, 30))
        y += 20
        x = pad
        for t in tiles:
            sheet.paste(t.convert("RGB").resize((t.size[0] * Z, t.size[1] * Z), Image.NEAREST), (x, y))
            x += t.size[0] * Z + pad
        for t in tiles:  # actual size, for a 100 % impression
            sheet.paste(t.convert("RGB"), (x, y))
            x += t.size[0] + 6
        y += tiles[0].size[1] * Z + pad
    os.makedirs(SHEET_DIR, exist_ok=True)
    suffix = "" if percent == 100 else "-%d" % percent
    path = os.path.join(SHEET_DIR, "contact-sheet%s.png" % suffix)
    sheet.save(path)
    return path


# ------------------------------------------------------------------- main

def file_name(stem, percent, ext):
    """bitmap160.bmp at 100 %, bitmap160-125.bmp at 125 %."""
    return "%s%s.%s" % (stem, "" if percent == 100 else "-%d" % percent, ext)


def main():
    face = (FACE_TOP, FACE_BOTTOM)
    caption = (CAPTION_TOP, CAPTION_BOTTOM)
    light = ((255, 255, 255), (236, 240, 248))

    for percent in SCALES:
        u = percent / 100.0
        items = []
        icons = [
            (140, icon_logo(u), [NAVY_TEAL, caption, face]),
            (143, icon_disk(u), [face, light]),
            (144, icon_folder(u), [face, light]),
            (155, icon_mail(u), [face, light, caption]),
            (156, icon_close(u), [face, light]),
        ]
        for rid, img, grounds in icons:
            name = file_name("icon%d" % rid, percent, "ico")
            write_ico(os.path.join(HERE, name), img)
            items.append((name, img, "ico", grounds))

        bitmaps = [
            (141, close_frames(15, 14, 7, 2, u), BLACK, [face, caption, light]),
            (145, puzzle_piece(u), BLACK, [face, caption, light]),
            (147, wordmark(u), BLACK, [face, caption, light]),
            (150, info_bullet(u), BLACK, [face, caption, light]),
            (160, level_button(61, 16, "full", "满意", u), MAGENTA, [face]),
            (161, level_button(61, 16, "half", "一般", u), MAGENTA, [face]),
            (162, level_button(68, 15, "grey", "不满意", u), MAGENTA, [face]),
            (300, close_frames(13, 13, 6, 2, u), BLACK, [face, caption, light]),
            (301, close_frames(18, 18, 9, 2, u), BLACK, [face, caption, light]),
        ]
        for rid, img, key, grounds in bitmaps:
            name = file_name("bitmap%d" % rid, percent, "bmp")
            write_bmp(os.path.join(HERE, name), img)
            items.append((name, img, key, grounds))

        print(contact_sheet(items, percent))


if __name__ == "__main__":
    main()
