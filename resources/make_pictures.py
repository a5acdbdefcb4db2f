#!/usr/bin/python3
"""Draw Vellumar's pictures from scratch.

Every picture is written as SVG text here, rasterised with rsvg-convert and
saved with Pillow, so the artwork can be changed and regenerated at will:

    /usr/bin/python3 resources/make_pictures.py

Needs: rsvg-convert (librsvg2-bin), Debian's python3-pil, and the fonts
"Noto Sans CJK SC" (fonts-noto-cjk), "AR PL UKai CN" (fonts-arphic-ukai) and
"P052" (fonts-urw-base35).  Nothing here is random, so two runs give the
same files.
"""

import io
import math
import pathlib
import shutil
import subprocess
import sys

from PIL import Image

HERE = pathlib.Path(__file__).resolve().parent
OUT = HERE / "pictures"

# --- Palette --------------------------------------------------------------
# Deep navy and teal carry the brand; gold is the single accent; the paper
# tones are warm so the sign-in form reads like a fresh ledger page.
NAVY = "#0d2742"
NAVY_DEEP = "#091c31"
TEAL = "#16616a"
TEAL_LIGHT = "#2a8a8f"
GOLD = "#d3ab55"
GOLD_LIGHT = "#f4dc98"
GOLD_DARK = "#9a7028"
PAPER = "#fbf7ec"
PAPER_SHADE = "#e4d8bb"
INK_RED = "#b5483c"

SANS_CJK = "Noto Sans CJK SC"
KAI = "AR PL UKai CN"
SERIF = "P052"

NAME = "Vellumar"
TAGLINE = "店铺账目管理"


# --- Helpers --------------------------------------------------------------

def svg_doc(width, height, defs, body):
    """Wrap drawing code in a complete SVG document of the given size."""
    return (
        f'<svg xmlns="http://www.w3.org/2000/svg" '
        f'width="{width}" height="{height}" viewBox="0 0 {width} {height}">\n'
        f"<defs>\n{defs}\n</defs>\n{body}\n</svg>\n"
    )


def rasterise(svg, width, height):
    """Render SVG text to an RGBA Pillow image of exactly width x height."""
    png = subprocess.run(
        ["rsvg-convert", "--width", str(width), "--height", str(height),
         "--format", "png"],
        input=svg.encode("utf-8"), stdout=subprocess.PIPE, check=True,
    ).stdout
    image = Image.open(io.BytesIO(png))
    image.load()
    return image.convert("RGBA")


def save_jpeg(image, name):
    # 4:4:4 sampling keeps thin gold lines and small text free of colour fringes.
    image.convert("RGB").save(OUT / name, "JPEG", quality=93,
                              subsampling=0, optimize=True)


def save_png(image, name):
    image.save(OUT / name, "PNG", optimize=True)


def ruled_lines(x0, x1, y0, y1, step, colour, width, opacity):
    """Horizontal ledger rules between y0 and y1 (inclusive of y0)."""
    lines = []
    y = y0
    while y <= y1 + 1e-6:
        lines.append(
            f'<line x1="{x0}" y1="{y:.1f}" x2="{x1}" y2="{y:.1f}" '
            f'stroke="{colour}" stroke-width="{width}" '
            f'stroke-opacity="{opacity}"/>')
        y += step
    return "\n".join(lines)


def rosette(cx, cy, radius, depth, lobes, rings, colour, opacity, width=0.6):
    """A banknote-style guilloche rosette: rings of wavy circles, each ring's
    wave shifted in phase so the curves weave into a lattice."""
    paths = []
    steps = 720
    for ring in range(rings):
        phase = math.pi * ring / rings
        pts = []
        for i in range(steps):
            t = 2 * math.pi * i / steps
            r = radius + depth * math.sin(lobes * t + phase)
            pts.append(f"{cx + r * math.cos(t):.2f},{cy + r * math.sin(t):.2f}")
        paths.append(f'<path d="M{" L".join(pts)} Z"/>')
    return (f'<g fill="none" stroke="{colour}" stroke-width="{width}" '
            f'stroke-opacity="{opacity}">' + "".join(paths) + "</g>")


# --- The emblem -----------------------------------------------------------
# An open ledger with a square-holed coin rising behind it: "money kept in
# the book".  It is drawn on a 128 x 128 grid and placed with a transform.

def emblem_defs(p):
    """Gradients the emblem needs; p is an id prefix so documents can hold
    several emblems without clashing ids."""
    return f"""
<radialGradient id="{p}coin" cx="0.38" cy="0.32" r="0.75">
  <stop offset="0" stop-color="{GOLD_LIGHT}"/>
  <stop offset="0.55" stop-color="{GOLD}"/>
  <stop offset="1" stop-color="{GOLD_DARK}"/>
</radialGradient>
<linearGradient id="{p}pageL" x1="0" y1="0" x2="1" y2="0">
  <stop offset="0" stop-color="#f3ecda"/>
  <stop offset="0.8" stop-color="{PAPER}"/>
  <stop offset="1" stop-color="#e9dfc6"/>
</linearGradient>
<linearGradient id="{p}pageR" x1="1" y1="0" x2="0" y2="0">
  <stop offset="0" stop-color="#f3ecda"/>
  <stop offset="0.8" stop-color="{PAPER}"/>
  <stop offset="1" stop-color="#e9dfc6"/>
</linearGradient>
<linearGradient id="{p}cover" x1="0" y1="0" x2="0" y2="1">
  <stop offset="0" stop-color="{GOLD_LIGHT}"/>
  <stop offset="1" stop-color="{GOLD_DARK}"/>
</linearGradient>
<clipPath id="{p}clipL"><path d="{_page_path(-1)}"/></clipPath>
<clipPath id="{p}clipR"><path d="{_page_path(1)}"/></clipPath>
"""


def _page_path(side, spread=0.0, drop=0.0):
    """One page of the open book; side is -1 (left) or 1 (right).  spread and
    drop grow the shape outward/downward to draw the page block and cover."""
    x_out = 64 + side * (42 + spread)
    c1 = 64 + side * (12 + spread * 0.3)
    c2 = 64 + side * (26 + spread * 0.7)
    top_spine, top_out = 64 + drop * 0.5, 60 + drop * 0.5
    bot_spine, bot_out = 102 + drop, 98 + drop * 0.6
    return (
        f"M64,{top_spine} "
        f"C{c1},{top_spine - 6} {c2},{top_out - 3} {x_out},{top_out} "
        f"L{x_out},{bot_out} "
        f"C{c2},{bot_out - 3} {c1},{bot_spine - 6} 64,{bot_spine} Z"
    )


def emblem(p, hole_colour, detail=2):
    """The emblem's SVG group on the 128 grid.  detail 2 is the full artwork;
    1 (for 32 px) drops the rim and red column and draws fewer, bolder rules."""
    parts = []
    # Coin behind the book: gold disc, engraved rim, square hole.
    parts.append(f'<circle cx="64" cy="44" r="25" fill="url(#{p}coin)"/>')
    if detail >= 2:
        parts.append(f'<circle cx="64" cy="44" r="20.5" fill="none" '
                     f'stroke="{GOLD_DARK}" stroke-width="1.6" '
                     f'stroke-opacity="0.7"/>')
    hole = 13 if detail >= 2 else 15
    parts.append(f'<rect x="{64 - hole / 2}" y="{44 - hole / 2}" '
                 f'width="{hole}" height="{hole}" rx="1" '
                 f'fill="{hole_colour}"/>')
    # Cover, page block and top pages, back to front.
    for side in (-1, 1):
        parts.append(f'<path d="{_page_path(side, 5, 7)}" '
                     f'fill="url(#{p}cover)"/>')
    for side in (-1, 1):
        parts.append(f'<path d="{_page_path(side, 2.5, 3.5)}" '
                     f'fill="{PAPER_SHADE}"/>')
    for side, key in ((-1, "L"), (1, "R")):
        parts.append(f'<path d="{_page_path(side)}" '
                     f'fill="url(#{p}page{key})"/>')
    # Ledger rules follow the page curve; clipped so they stop at the edges.
    if detail >= 1:
        widths = 1.7 if detail >= 2 else 3.2
        offsets = (11, 19, 27) if detail >= 2 else (13, 25)
        for side, key in ((-1, "L"), (1, "R")):
            rules = []
            for dy in offsets:
                x_out = 64 + side * 46
                rules.append(
                    f'<path d="M64,{64 + dy} C{64 + side * 12},{58 + dy} '
                    f'{64 + side * 26},{57 + dy} {x_out},{60 + dy}" '
                    f'fill="none" stroke="{TEAL}" stroke-width="{widths}" '
                    f'stroke-opacity="0.55"/>')
            if detail >= 2:
                # A red money column, as ruled in real account books.
                cx = 64 + side * 30
                rules.append(f'<line x1="{cx}" y1="50" x2="{cx}" y2="110" '
                             f'stroke="{INK_RED}" stroke-width="1.2" '
                             f'stroke-opacity="0.55"/>')
            parts.append(f'<g clip-path="url(#{p}clip{key})">'
                         + "".join(rules) + "</g>")
    # Spine crease.
    parts.append(f'<path d="M64,64 L64,102" stroke="{GOLD_DARK}" '
                 f'stroke-width="1.4" stroke-opacity="0.6"/>')
    return "<g>" + "\n".join(parts) + "</g>"


# --- Application icon -----------------------------------------------------

ICON_TILE_DEFS = f"""
<linearGradient id="tile" x1="0" y1="0" x2="1" y2="1">
  <stop offset="0" stop-color="{TEAL_LIGHT}"/>
  <stop offset="0.45" stop-color="{TEAL}"/>
  <stop offset="1" stop-color="{NAVY}"/>
</linearGradient>"""


def icon_svg(detail=2):
    """The emblem on a rounded navy-teal tile with a transparent surround.
    detail 2 is the 128 px artwork; detail 1 thickens lines for 32 px."""
    defs = emblem_defs("i") + ICON_TILE_DEFS + """
<linearGradient id="gloss" x1="0" y1="0" x2="0" y2="1">
  <stop offset="0" stop-color="#ffffff" stop-opacity="0.16"/>
  <stop offset="1" stop-color="#ffffff" stop-opacity="0"/>
</linearGradient>
<filter id="lift" x="-20%" y="-20%" width="140%" height="140%">
  <feGaussianBlur in="SourceAlpha" stdDeviation="2.5"/>
  <feOffset dx="0" dy="2.5" result="blur"/>
  <feFlood flood-color="#000000" flood-opacity="0.35"/>
  <feComposite in2="blur" operator="in"/>
  <feMerge><feMergeNode/><feMergeNode in="SourceGraphic"/></feMerge>
</filter>"""
    body = [
        '<rect x="4" y="4" width="120" height="120" rx="26" fill="url(#tile)"/>',
    ]
    if detail >= 2:
        # A soft sheen on the upper half and a hairline gold rim.
        body.append('<path d="M30,4 H98 A26,26 0 0 1 124,30 V56 '
                    'Q64,70 4,56 V30 A26,26 0 0 1 30,4 Z" fill="url(#gloss)"/>')
        body.append(f'<rect x="6.5" y="6.5" width="115" height="115" rx="23.5" '
                    f'fill="none" stroke="{GOLD}" stroke-width="1.5" '
                    f'stroke-opacity="0.5"/>')
    # Nudge the emblem down slightly so its weight sits centred on the tile.
    body.append(f'<g transform="translate(0,1)" filter="url(#lift)">'
                f'{emblem("i", NAVY, detail)}</g>')
    return svg_doc(128, 128, defs, "\n".join(body))


def icon16_svg():
    """The 16 px icon drawn on its own pixel grid: at this size the full
    emblem turns to mush, so it keeps only the coin, two pages and one rule,
    each edge landing on a pixel boundary."""
    defs = ICON_TILE_DEFS + f"""
<linearGradient id="coin16" x1="0" y1="0" x2="0" y2="1">
  <stop offset="0" stop-color="{GOLD_LIGHT}"/>
  <stop offset="1" stop-color="{GOLD}"/>
</linearGradient>"""
    body = [
        '<rect x="0" y="0" width="16" height="16" rx="3.5" fill="url(#tile)"/>',
        # Coin with its square hole: rows 1..8, hole on rows 4..5.
        '<circle cx="8" cy="5" r="4" fill="url(#coin16)"/>',
        f'<rect x="7" y="4" width="2" height="2" fill="{NAVY}"/>',
        # Gold cover under the pages.
        f'<path d="M2,8 L8,9 L14,8 L14,14 L8,15 L2,14 Z" fill="{GOLD}"/>',
        # Pages meet at the centre; the spine is a darker pixel column.
        f'<path d="M2,7 L8,8 L14,7 L14,13 L8,14 L2,13 Z" fill="{PAPER}"/>',
        f'<rect x="7.5" y="8" width="1" height="6" fill="{PAPER_SHADE}"/>',
        f'<rect x="2" y="10" width="12" height="1" fill="{TEAL}" fill-opacity="0.6"/>',
    ]
    return svg_doc(16, 16, defs, "\n".join(body))


# --- Banner ---------------------------------------------------------------

def banner_svg():
    w, h = 368, 88
    defs = emblem_defs("b") + f"""
<linearGradient id="sky" x1="0" y1="0" x2="1" y2="0.35">
  <stop offset="0" stop-color="{NAVY_DEEP}"/>
  <stop offset="0.55" stop-color="{NAVY}"/>
  <stop offset="1" stop-color="{TEAL}"/>
</linearGradient>
<radialGradient id="glow" cx="0.15" cy="0.5" r="0.35">
  <stop offset="0" stop-color="{TEAL_LIGHT}" stop-opacity="0.45"/>
  <stop offset="1" stop-color="{TEAL_LIGHT}" stop-opacity="0"/>
</radialGradient>
<linearGradient id="rule" x1="0" y1="0" x2="1" y2="0">
  <stop offset="0" stop-color="{GOLD}" stop-opacity="0"/>
  <stop offset="0.15" stop-color="{GOLD}"/>
  <stop offset="0.85" stop-color="{GOLD}"/>
  <stop offset="1" stop-color="{GOLD}" stop-opacity="0"/>
</linearGradient>
<filter id="shadow" x="-20%" y="-20%" width="140%" height="140%">
  <feGaussianBlur in="SourceAlpha" stdDeviation="1.6"/>
  <feOffset dx="0" dy="1.2" result="blur"/>
  <feFlood flood-color="#000000" flood-opacity="0.45"/>
  <feComposite in2="blur" operator="in"/>
  <feMerge><feMergeNode/><feMergeNode in="SourceGraphic"/></feMerge>
</filter>"""
    body = [
        f'<rect width="{w}" height="{h}" fill="url(#sky)"/>',
        f'<rect width="{w}" height="{h}" fill="url(#glow)"/>',
        # Guilloche rosettes, as engraved on banknotes, fill the right side
        # without competing with the wordmark.
        rosette(318, 44, 38, 6, 16, 6, GOLD_LIGHT, 0.15),
        rosette(318, 44, 24, 3.5, 10, 4, GOLD_LIGHT, 0.11),
        f'<rect x="308.5" y="34.5" width="19" height="19" fill="none" '
        f'stroke="{GOLD_LIGHT}" stroke-opacity="0.15" stroke-width="1.2"/>',
    ]
    # Emblem about 77 px across, centred on the banner's height.
    body.append(f'<g transform="translate(13,6) scale(0.6)" filter="url(#shadow)">'
                f'{emblem("b", NAVY_DEEP)}</g>')
    # Wordmark and tagline, separated by a short gold rule.
    body.append(
        f'<text x="98" y="45" font-family="{SERIF}" font-weight="bold" '
        f'font-size="31" letter-spacing="1" fill="{PAPER}" '
        f'filter="url(#shadow)">{NAME}</text>')
    body.append('<rect x="99" y="53" width="156" height="1" fill="url(#rule)"/>')
    body.append(
        f'<text x="100" y="72" font-family="{SANS_CJK}" font-size="13" '
        f'letter-spacing="3.5" fill="{GOLD}">商品进销·店铺账目</text>')
    # Gold hairline at the foot separates banner from the form below.
    body.append(f'<rect x="0" y="{h - 2}" width="{w}" height="2" fill="{GOLD}" '
                f'fill-opacity="0.85"/>')
    return svg_doc(w, h, defs, "\n".join(body))


# --- Sign-in background ---------------------------------------------------

def background_svg():
    w, h = 368, 256
    defs = f"""
<linearGradient id="top" x1="0" y1="0" x2="1" y2="0.35">
  <stop offset="0" stop-color="{NAVY_DEEP}"/>
  <stop offset="0.55" stop-color="{NAVY}"/>
  <stop offset="1" stop-color="{TEAL}"/>
</linearGradient>
<linearGradient id="paper" x1="0" y1="0" x2="0" y2="1">
  <stop offset="0" stop-color="#fdfbf6"/>
  <stop offset="0.55" stop-color="#f7f3ea"/>
  <stop offset="1" stop-color="#ebe6d8"/>
</linearGradient>
<linearGradient id="fade" x1="0" y1="0" x2="0" y2="1">
  <stop offset="0" stop-color="#fff" stop-opacity="0"/>
  <stop offset="1" stop-color="#fff" stop-opacity="1"/>
</linearGradient>
<linearGradient id="lift" x1="0" y1="0" x2="0" y2="1">
  <stop offset="0" stop-color="{NAVY}" stop-opacity="0.12"/>
  <stop offset="1" stop-color="{NAVY}" stop-opacity="0"/>
</linearGradient>
<mask id="rulesMask"><rect x="0" y="200" width="{w}" height="56" fill="url(#fade)"/></mask>"""
    body = [
        # Under the banner: same navy so nothing shows if the banner is
        # drawn a little narrower than the window.
        f'<rect width="{w}" height="88" fill="url(#top)"/>',
        f'<rect y="88" width="{w}" height="{h - 88}" fill="url(#paper)"/>',
        f'<rect y="86" width="{w}" height="2" fill="{GOLD}" fill-opacity="0.85"/>',
        # Soft shade right under the banner gives it a little lift.
        f'<rect y="88" width="{w}" height="8" fill="url(#lift)"/>',
        # Ledger ruling that fades in below the sign-in button.
        '<g mask="url(#rulesMask)">'
        + ruled_lines(0, w, 211.5, h, 9, TEAL, 1, 0.28)
        + f'<line x1="28.5" y1="200" x2="28.5" y2="{h}" stroke="{INK_RED}" '
          f'stroke-opacity="0.45"/>'
        + f'<line x1="31.5" y1="200" x2="31.5" y2="{h}" stroke="{INK_RED}" '
          f'stroke-opacity="0.45"/>'
        + "</g>",
        # A faint guilloche coin in the lower right corner, echoing the banner.
        rosette(338, 230, 34, 5, 14, 5, GOLD_DARK, 0.16),
        f'<rect x="326.5" y="218.5" width="23" height="23" fill="none" '
        f'stroke="{GOLD_DARK}" stroke-opacity="0.16" stroke-width="1.2"/>',
        # Thin gold line closes the window's foot.
        f'<rect y="{h - 3}" width="{w}" height="3" fill="{GOLD}" fill-opacity="0.8"/>',
    ]
    return svg_doc(w, h, defs, "\n".join(body))


# --- Ledger side strip ----------------------------------------------------

def side_svg():
    w, h = 128, 496
    defs = emblem_defs("s") + f"""
<linearGradient id="panel" x1="0" y1="0" x2="0.35" y2="1">
  <stop offset="0" stop-color="{TEAL}"/>
  <stop offset="0.45" stop-color="{NAVY}"/>
  <stop offset="1" stop-color="{NAVY_DEEP}"/>
</linearGradient>
<radialGradient id="halo" cx="0.5" cy="0.12" r="0.5">
  <stop offset="0" stop-color="{TEAL_LIGHT}" stop-opacity="0.5"/>
  <stop offset="1" stop-color="{TEAL_LIGHT}" stop-opacity="0"/>
</radialGradient>
<linearGradient id="vrule" x1="0" y1="0" x2="0" y2="1">
  <stop offset="0" stop-color="{GOLD}" stop-opacity="0"/>
  <stop offset="0.5" stop-color="{GOLD}"/>
  <stop offset="1" stop-color="{GOLD}" stop-opacity="0"/>
</linearGradient>
<filter id="shadow" x="-20%" y="-20%" width="140%" height="140%">
  <feGaussianBlur in="SourceAlpha" stdDeviation="2"/>
  <feOffset dx="0" dy="1.5" result="blur"/>
  <feFlood flood-color="#000000" flood-opacity="0.45"/>
  <feComposite in2="blur" operator="in"/>
  <feMerge><feMergeNode/><feMergeNode in="SourceGraphic"/></feMerge>
</filter>"""
    body = [
        f'<rect width="{w}" height="{h}" fill="url(#panel)"/>',
        f'<rect width="{w}" height="{h}" fill="url(#halo)"/>',
        # Half a guilloche rosette rises from the foot of the strip.
        rosette(64, h + 6, 58, 7, 18, 6, GOLD_LIGHT, 0.13),
        rosette(64, h + 6, 38, 4, 12, 4, GOLD_LIGHT, 0.10),
        # Gold edge on the right, where the strip meets the grid.
        f'<rect x="{w - 3}" width="3" height="{h}" fill="{GOLD}" fill-opacity="0.85"/>',
        # Emblem at the top.
        f'<g transform="translate(26,28) scale(0.59375)" filter="url(#shadow)">'
        f'{emblem("s", NAVY)}</g>',
        f'<rect x="40" y="114" width="48" height="1" fill="{GOLD}" fill-opacity="0.8"/>',
    ]
    # The tagline written top to bottom, one character per line, in Kai.
    y = 146
    for ch in TAGLINE:
        body.append(f'<text x="64" y="{y}" text-anchor="middle" '
                    f'font-family="{KAI}" font-size="23" fill="{PAPER}" '
                    f'filter="url(#shadow)">{ch}</text>')
        y += 31
    # A small gold diamond divides the Chinese from the Latin name.
    body.append(f'<path d="M64,{y - 5} l4,5 l-4,5 l-4,-5 Z" fill="{GOLD}"/>')
    body.append(f'<rect x="63.5" y="{y - 22}" width="1" height="14" fill="url(#vrule)"/>')
    # The product name runs up the lower half of the strip, centred between
    # the diamond and the foot; x sits half a cap height right of centre.
    centre = (y + 14 + h - 22) / 2
    body.append(
        f'<text transform="translate(70,{centre:.1f}) rotate(-90)" '
        f'text-anchor="middle" font-family="{SERIF}" font-weight="bold" '
        f'font-size="17" letter-spacing="2.5" fill="{GOLD}">{NAME.upper()}</text>')
    return svg_doc(w, h, defs, "\n".join(body))


# --- Main -----------------------------------------------------------------

def check_tools():
    if shutil.which("rsvg-convert") is None:
        sys.exit("rsvg-convert not found: apt-get install librsvg2-bin")
    fonts = subprocess.run(["fc-list", ":", "family"], stdout=subprocess.PIPE,
                           text=True, check=True).stdout
    for family in (SANS_CJK, KAI, SERIF):
        if family not in fonts:
            sys.exit(f"font '{family}' is not installed")


def main():
    check_tools()
    OUT.mkdir(exist_ok=True)

    save_jpeg(rasterise(background_svg(), 368, 256), "signin_background.jpg")
    save_jpeg(rasterise(banner_svg(), 368, 88), "signin_banner.jpg")
    save_jpeg(rasterise(side_svg(), 128, 496), "ledger_side.jpg")

    (OUT / "app_icon.svg").write_text(icon_svg(), encoding="utf-8")
    save_png(rasterise(icon_svg(), 128, 128), "app_icon.png")
    save_png(rasterise(icon_svg(detail=1), 32, 32), "app_icon_32.png")
    save_png(rasterise(icon16_svg(), 16, 16), "app_icon_16.png")


if __name__ == "__main__":
    main()
