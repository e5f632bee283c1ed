"""The popup's icons, 16 and 32 pixels square at 1x, with alpha."""

from PIL import ImageFilter

from .canvas import SS, Canvas, intersection, union, vgradient


def icon_logo(u=1.0):
    """White speech bubble on an orange badge: stands out on a navy-to-teal band."""
    c = Canvas(16, 16, u)
    badge = c.rect_mask(0, 0, 16, 16, r=3.5)
    c.paint(badge, (176, 74, 8))
    c.paint(c.inset(badge, c.edge(1.0)), vgradient((16, 16), (255, 184, 80), (236, 112, 20)))
    bubble = union(c.rect_mask(2, 3, 14, 11, r=3),
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
    back = union(c.rect_mask(1, 2, 7, 5, r=1), c.rect_mask(1, 4, 14, 15))
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
    c.paint(intersection(c.stroke_mask([(3, 25), (13, 16.5)], 1.0), inside), (170, 180, 200))
    c.paint(intersection(c.stroke_mask([(29, 25), (19, 16.5)], 1.0), inside), (170, 180, 200))
    # top flap, slightly shaded, with a crisp edge
    flap = intersection(c.poly_mask([(2.5, 7.5), (29.5, 7.5), (16, 19)]), inside)
    c.paint(flap, vgradient((32, 32), (246, 248, 252), (214, 222, 236), 8, 19))
    c.paint(intersection(c.stroke_mask([(3, 8), (16, 19), (29, 8)], 1.1), inside), (110, 122, 148))
    # red seal where the flap meets
    seal = c.ellipse_mask(13.5, 15.5, 18.5, 20.5)
    c.paint(seal, (150, 20, 30))
    c.paint(c.inset(seal, 0.8 * u), vgradient((32, 32), (240, 90, 80), (196, 30, 40), 16, 20))
    return c.result()


def icon_close(u=1.0):
    c = Canvas(16, 16, u)
    m = union(c.line_mask((4, 4), (12, 12), 2.0), c.line_mask((12, 4), (4, 12), 2.0))
    c.paint(m, (40, 40, 44))
    return c.result()
