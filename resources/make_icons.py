#!/usr/bin/python3
"""Render the program's icon for the desktop's hicolor theme.

The artwork is the one make_pictures.py draws for the windows; here it is
rasterised at every size a desktop asks for and written under icons/hicolor,
named by the program's desktop id, with the SVG itself as the scalable icon:

    /usr/bin/python3 resources/make_icons.py

Needs rsvg-convert (librsvg2-bin) and Debian's python3-pil.  The icon has no
text, so no fonts are needed.
"""

import pathlib
import shutil
import sys

from make_pictures import HERE, icon16_svg, icon_svg, rasterise

APP_ID = "io.github.vellumar.Vellumar"
THEME = HERE / "icons" / "hicolor"

# At 16 px the full emblem turns to mush: it has a drawing of its own. Up to
# 32 px the lines are drawn thicker; from 48 px on, the full artwork.
SIZES = {16: icon16_svg, 22: lambda: icon_svg(detail=1),
         24: lambda: icon_svg(detail=1), 32: lambda: icon_svg(detail=1),
         48: icon_svg, 64: icon_svg, 128: icon_svg, 256: icon_svg}


def main():
    if shutil.which("rsvg-convert") is None:
        sys.exit("rsvg-convert not found: apt-get install librsvg2-bin")
    for size, draw in SIZES.items():
        folder = THEME / f"{size}x{size}" / "apps"
        folder.mkdir(parents=True, exist_ok=True)
        image = rasterise(draw(), size, size)
        image.save(folder / f"{APP_ID}.png", "PNG", optimize=True)
    scalable = THEME / "scalable" / "apps"
    scalable.mkdir(parents=True, exist_ok=True)
    (scalable / f"{APP_ID}.svg").write_text(icon_svg(), encoding="utf-8")


if __name__ == "__main__":
    main()
