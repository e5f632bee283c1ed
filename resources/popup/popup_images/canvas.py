"""Supersampled drawing: masks, gradients and the canvas the pictures are painted on."""

from PIL import Image, ImageChops, ImageDraw, ImageFilter

SS = 8  # supersampling factor

union = ImageChops.lighter
intersection = ImageChops.darker
subtract = ImageChops.subtract


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
