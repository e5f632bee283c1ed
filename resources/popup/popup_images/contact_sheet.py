"""Every picture of one scale, magnified on its grounds, in one PNG for a visual check."""

import os

from PIL import Image, ImageDraw, ImageFont

from .canvas import up, vgradient
from .palette import LABEL_FONT


def contact_sheet(items, percent, folder):
    """items: (name, image, kind, grounds) with kind 'ico' or a bitmap's key colour;
    the sheet is written into folder, its path returned."""
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
    os.makedirs(folder, exist_ok=True)
    suffix = "" if percent == 100 else "-%d" % percent
    path = os.path.join(folder, "contact-sheet%s.png" % suffix)
    sheet.save(path)
    return path
