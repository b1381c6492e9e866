#!/usr/bin/python3
"""Cuts a TrueType font down to the characters the game can draw, for the browser's site.

    subset_font.py FONT.ttf OUT.ttf

The layer draws Windows-1252 text (ANSI strings, mapped to Unicode as the layer's text
code does), so every character that code page reaches is kept, with the glyphs they are
built of and everything that places and hints them: the hinting programs, the metrics
and the tables that the rasteriser reads. The layout tables (the browser's own text never
uses these files) and the glyph names go.

Before the cut is written, each kept character is compared with the whole font: the same
outline, the same hinting instructions, the same advance and side bearing, and the same
global programs and metrics; any difference stops the build. Runs on /usr/bin/python3,
which sees Debian's python3-fonttools.
"""
import logging
import sys

from fontTools import subset
from fontTools.ttLib import TTFont


def repertoire():
    """The Unicode characters of the bytes 0..255 as the layer maps them: Windows-1252,
    with its five unassigned bytes standing for themselves."""
    chars = []
    for b in range(256):
        try:
            chars.append(ord(bytes([b]).decode("cp1252")))
        except UnicodeDecodeError:
            chars.append(b)
    return chars


def same_glyph(full, part, a, b):
    """Glyph a of the whole font and glyph b of the cut: the same ink and hinting."""
    ga, gb = full["glyf"][a], part["glyf"][b]
    if full["hmtx"][a] != part["hmtx"][b] or ga.isComposite() != gb.isComposite():
        return False
    if hasattr(ga, "program") != hasattr(gb, "program") or (
            hasattr(ga, "program") and ga.program.getBytecode() != gb.program.getBytecode()):
        return False
    if ga.isComposite():
        return len(ga.components) == len(gb.components) and all(
            (ca.x, ca.y, ca.flags, getattr(ca, "transform", None)) ==
            (cb.x, cb.y, cb.flags, getattr(cb, "transform", None)) and
            same_glyph(full, part, ca.glyphName, cb.glyphName)
            for ca, cb in zip(ga.components, gb.components))
    if ga.numberOfContours <= 0 or gb.numberOfContours <= 0:
        return ga.numberOfContours == gb.numberOfContours
    return (list(ga.coordinates) == list(gb.coordinates) and list(ga.flags) == list(gb.flags)
            and ga.endPtsOfContours == gb.endPtsOfContours)


def check(full, part):
    problems = []
    for table in ("fpgm", "prep", "cvt ", "gasp"):
        if (table in full) != (table in part) or (
                table in full and full[table].compile(full) != part[table].compile(part)):
            problems.append(f"the table {table!r} differs")
    fields = {"head": ("unitsPerEm", "xMin", "yMin", "xMax", "yMax", "macStyle"),
              "hhea": ("ascent", "descent", "lineGap"),
              "OS/2": ("usWinAscent", "usWinDescent", "xAvgCharWidth", "fsSelection",
                       "usWeightClass"),
              "post": ("isFixedPitch",),
              "maxp": ("maxZones", "maxTwilightPoints", "maxStorage", "maxFunctionDefs",
                       "maxInstructionDefs", "maxStackElements", "maxSizeOfInstructions")}
    for table, names in fields.items():
        for name in names:
            if getattr(full[table], name) != getattr(part[table], name):
                problems.append(f"{table}.{name} differs")
    cmap_full, cmap_part = full.getBestCmap(), part.getBestCmap()
    for c in repertoire():
        if c not in cmap_full:
            continue  # the whole font has no glyph for it either: both draw the same
        if c not in cmap_part:
            problems.append(f"U+{c:04X} lost its glyph")
        elif not same_glyph(full, part, cmap_full[c], cmap_part[c]):
            problems.append(f"U+{c:04X} is drawn differently")
    if not same_glyph(full, part, ".notdef", part.getGlyphOrder()[0]):
        problems.append("the missing-character glyph differs")
    return problems


def main():
    source, target = sys.argv[1:3]
    logging.getLogger("fontTools").setLevel(logging.ERROR)
    options = subset.Options()
    options.hinting = True
    options.notdef_outline = True
    options.layout_features = []
    options.drop_tables += ["GSUB", "GPOS", "GDEF", "FFTM", "kern"]
    options.glyph_names = False
    options.recalc_bounds = False
    options.recalc_average_width = False
    font = subset.load_font(source, options)
    cutter = subset.Subsetter(options)
    cutter.populate(unicodes=repertoire())
    cutter.subset(font)
    subset.save_font(font, target, options)
    problems = check(TTFont(source), TTFont(target))
    if problems:
        print(f"{target}: the cut font draws differently from {source}:\n  " +
              "\n  ".join(problems[:20]), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
