"""Fonts and colours the pictures are drawn with, and the grounds they sit on."""

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
