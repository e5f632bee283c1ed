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
Needs Debian's python3-pil, fonts-wqy-zenhei and fonts-dejavu-core. The drawing
lives in popup_images/ beside this script.
"""

import os
import sys

try:
    from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont  # noqa: F401
except ImportError:
    # Debian's Pillow lives in the system interpreter, not in a pyenv one.
    if os.path.exists("/usr/bin/python3") and sys.executable != "/usr/bin/python3":
        os.execv("/usr/bin/python3", ["/usr/bin/python3"] + sys.argv)
    raise

from popup_images.bitmaps import close_frames, info_bullet, level_button, puzzle_piece, wordmark
from popup_images.contact_sheet import contact_sheet
from popup_images.icons import icon_close, icon_disk, icon_folder, icon_logo, icon_mail
from popup_images.output import write_bmp, write_ico
from popup_images.palette import BLACK, CAPTION_BOTTOM, CAPTION_TOP, FACE_BOTTOM, FACE_TOP, MAGENTA, NAVY_TEAL

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
SHEET_DIR = os.path.join(ROOT, "build", "popup-images")

SCALES = (100, 125, 150, 200)  # percent; the popup picks the one at or above its own


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

        print(contact_sheet(items, percent, SHEET_DIR))


if __name__ == "__main__":
    main()
