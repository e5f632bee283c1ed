"""The popup's bitmaps: level buttons, close buttons, logo, wordmark and bullet."""

import math

from PIL import Image, ImageDraw, ImageFont

from .canvas import Canvas, intersection, lerp, subtract, union, up, vgradient
from .output import face_ground, keyed
from .palette import BLACK, CJK_FONT, CJK_SHARP_FACE, LATIN_BOLD, MAGENTA, TEXT


def heart_points(cx, cy, w, h, n=240):
    """Classic heart curve scaled into a w x h box centred on (cx, cy)."""
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
        right = subtract(c.rect_mask(0, 0, c.uw, c.uh), left)
        empty = vgradient((c.uw, c.uh), (250, 250, 252), (222, 224, 230), int(y0), int(y1))
        c.paint(intersection(m_out, right), grey_edge)
        c.paint(intersection(m_in, right), empty)
        c.paint(intersection(m_out, left), red_edge)
        c.paint(intersection(m_in, left), red)
    # gloss on the left lobe
    hl = c.ellipse_mask(x0 + w * 0.17, y0 + h * 0.12, x0 + w * 0.42, y0 + h * 0.40)
    c.paint(intersection(hl, m_in), (255, 255, 255), 0.55)


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
    shape = union(union(union(body, knob_top), knob_right), union(neck_top, neck_right))
    shape = subtract(shape, socket_left)
    inner = c.inset(shape, c.edge(1.0))
    c.paint(shape, (28, 100, 30))
    c.paint(inner, vgradient((25, 25), (130, 210, 96), (40, 132, 40), 0, 24))
    # soft shine along the body's top-left edges
    shine = subtract(inner, c.inset(shape, 2.2 * u))
    shine = intersection(shine, c.poly_mask([(0, 8.5), (25, 8.5), (0, 30)]))
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
