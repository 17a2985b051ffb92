"""Pictures of the real window for the README, taken from the running program.

    python3 tools/screenshots.py OUT_DIR

Writes, each cropped to what it shows and stored as an indexed PNG:
  quorvane.png                 a Chinese desktop (code page 936), a value typed
  quorvane-cp1252.png          a Western desktop (code page 1252)
  quorvane-cp1252-warning.png  the same, the overflow warning up over the window
  quorvane-cp1252-nofont.png   a Western desktop with no face of the label
                               font's name, only a CJK font under its own name
  quorvane-150.png             a Chinese desktop at 150 % display scale
  quorvane-contrast.png        a Chinese desktop in Windows' High Contrast Black
                               theme, high contrast on

Needs the end-to-end harness's environment; scripts/screenshots.sh sets it.
"""

import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
import scenarios  # noqa: E402
from harness import Session  # noqa: E402
from product import NEUTRAL_SPOT  # noqa: E402


def save(session, rect, path):
    """Crops the screen to rect (left, top, right, bottom) into an indexed PNG."""
    left, top, right, bottom = rect
    shot = subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:-"],
                          env=session.env, stdout=subprocess.PIPE, check=True).stdout
    subprocess.run(["convert", "ppm:-", "-crop", "%dx%d+%d+%d" % (right - left, bottom - top, left, top),
                    "+repage", "-colors", "64", "-strip", "PNG8:" + path],
                   input=shot, check=True)
    print("screenshots: %s (%d x %d)" % (path, right - left, bottom - top))


def union(a, b):
    return [min(a[0], b[0]), min(a[1], b[1]), max(a[2], b[2]), max(a[3], b[3])]


# Each picture: its session, the field typed into, the keys and what then
# shows. A click on the window's background leaves the caret in its field.
PICTURES = [
    ("quorvane.png", {}, "decimal", "3735928559", {"hexadecimal": "DEADBEEF"}),
    ("quorvane-cp1252.png", {"codepage": 1252}, "decimal", "429496729",
     {"hexadecimal": "19999999"}),
    ("quorvane-cp1252-nofont.png", {"codepage": 1252, "font_mapping": False}, "hexadecimal",
     "c0ffee", {"decimal": "12648430"}),
    ("quorvane-150.png", {"dpi": 144}, "decimal", "3735928559", {"hexadecimal": "DEADBEEF"}),
    ("quorvane-contrast.png", {"theme": "hcblack"}, "decimal", "3735928559",
     {"hexadecimal": "DEADBEEF"}),
]


def main(out):
    os.makedirs(out, exist_ok=True)
    for name, options, field, keys, shown in PICTURES:
        with Session(**options) as session:
            session.scenario = "screenshots." + name
            app = session.launch()
            app.focus_field(field)
            app.type(keys)
            st = app.expect("value shown", **shown)
            warning = name == "quorvane-cp1252.png"
            if not warning:
                app.click(*NEUTRAL_SPOT)
            if options.get("theme"):
                # Wine never turns high contrast on: the probe makes the program see it.
                scenarios.switch_contrast(app, "on", "both")
                colours = app.probe("colours")["colours"]
                picture = scenarios.background_picture(session.repo)
                app.until_none("high contrast on", "the theme's colours",
                               lambda: scenarios.contrast_problems(app, colours, picture))
            save(session, st["rect"], os.path.join(out, name))
            if warning:
                app.type("6")
                box = app.expect_warning("overflow warning")
                save(session, union(st["rect"], box["rect"]),
                     os.path.join(out, "quorvane-cp1252-warning.png"))
                app.key("Return")
                app.expect("warning dismissed", box=None)
            app.close()


if __name__ == "__main__":
    if len(sys.argv) != 2:
        print(__doc__)
        sys.exit(2)
    main(sys.argv[1])
