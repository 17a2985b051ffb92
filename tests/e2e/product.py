"""What the program must show and do, as the end-to-end tests check it.

The one place of these facts in the test code: the harness, the scenarios,
the probe (told the title and the field ids when a session starts) and the
README's pictures take them from here. Written from what a user must see,
not taken from the program's sources, so that a change to either shows.

Rectangles are (left, top, right, bottom) in the main window's client
coordinates at 96 DPI, right and bottom exclusive; the harness scales them
to the session's display.
"""

TITLE = " Quorvane V1.01 By Daskelt QQ:0000000000"

# The fields, top to bottom, each with its control id, base, length limit
# and the characters it takes.
FIELDS = ("binary", "octal", "decimal", "hexadecimal")
FIELD_IDS = dict(zip(FIELDS, (1001, 1002, 1003, 1004)))
RADIX = dict(zip(FIELDS, (2, 8, 10, 16)))
LIMITS = dict(zip(FIELDS, (32, 11, 10, 8)))
ALPHABETS = dict(zip(FIELDS, (b"01", b"01234567", b"0123456789", b"0123456789abcdefABCDEF")))
# Each field's label, drawn left of it and named to a screen reader.
LABELS = ("二 进 制 :", "八 进 制 :", "十 进 制 :", "十六进制 :")

# The overflow warning's caption and text (UTF-16; code page 936 bytes
# through the ANSI calls on a Chinese desktop).
WARNING_CAPTION = "系统担示"
WARNING_TEXT = "你输入的数值已大于32位最大值0xffffffffH,请重新输入！"

# --- the layout at 96 DPI ------------------------------------------------------
WINDOW_SIZE = (395, 150)           # with its one-pixel border; centred on the screen
TITLE_STRIP = (0, 0, 393, 19)      # drags the window, except on the two buttons
TITLE_TEXT = (0, 1, 350, 19)       # the title, white
MINIMISE = (357, 0, 376, 19)       # the drawn "-", yellow
CLOSE = (377, 0, 393, 19)          # the drawn "X", yellow
NEUTRAL_SPOT = (200, 53)           # background between two rows: a click there does nothing


# Each row, top to bottom: its grey bar, its label (black on the grey) and its
# edit field.
ROWS = tuple((5, 27 + 30 * i, 388, 50 + 30 * i) for i in range(4))
LABEL_RECTS = tuple((10, 29 + 30 * i, 95, 47 + 30 * i) for i in range(4))
FIELD_RECTS = tuple((100, 30 + 30 * i, 380, 47 + 30 * i) for i in range(4))


def centre(rect):
    return ((rect[0] + rect[2]) // 2, (rect[1] + rect[3]) // 2)
