#!/usr/bin/python3
"""Builds the symbol font assets/font/Svphonet.ttf and its licence file.

Input: Charis SIL Bold from Debian's fonts-sil-charis (SIL Open Font License
1.1) and that package's copyright file. Output: a subset of it, renamed to the
family "Sonavix Phonetic Plain" (the licence reserves the source's names), in
which the ASCII codes of the lesson symbols draw the IPA glyphs, plus OFL.txt.

The program only hands code strings such as "i:" or "sit" to the font, so the
font alone decides what the learner sees. A character map cannot tell "i" (ɪ)
from the "i" of "i:" (iː), nor "C" (ɒ) from the "C" of "C:", "Ci", "CE" (ɔ),
nor "E" (ə) from the "E" of "E:" (ɜ): contextual alternates (GSUB calt) settle
those, inside whole transcriptions as well as in the bare codes.

The real IPA code points stay mapped to their own glyphs, so the same glyph
ids can be looked up by character; the contextual rules then also act on real
IPA text, where they only turn obsolete spellings (ɪː, əː) into today's.

Usage: make_svphonet.py [--source TTF] [--copyright FILE] [--out-dir DIR]
"""

import argparse
import pathlib
import re

from fontTools import subset
from fontTools.feaLib.builder import addOpenTypeFeaturesFromString
from fontTools.ttLib import TTFont

FAMILY = "Sonavix Phonetic Plain"
STYLE = "Bold"
POSTSCRIPT = "SonavixPhoneticPlain-Bold"
VERSION = "1.000"

# The ASCII code characters whose glyph is not their own letter.
CODE_GLYPHS = {
    "i": "ɪ", "A": "æ", "Q": "ʌ", "C": "ɒ", "u": "ʊ", "E": "ə", "B": "ɑ",
    "Z": "e", ":": "ː", "W": "θ", "F": "ʃ", "T": "ð", "V": "ʒ", "N": "ŋ",
    # Textbooks print the single-storey IPA g; the source's Latin g is two-storey.
    "g": "ɡ",
    # Stress marks inside word transcriptions.
    "'": "ˈ", ",": "ˌ",
}

# (glyph, following glyphs) -> replacement, all given as characters.
CONTEXT_RULES = [
    ("ɪ", "ː", "i"),    # i:  iː
    ("ʊ", "ː", "u"),    # u:  uː
    ("ə", "ː", "ɜ"),    # E:  ɜː
    ("ɒ", "ːɪə", "ɔ"),  # C:  ɔː,  Ci  ɔɪ,  CE  ɔə
]

# Everything beyond ASCII that the codes or plain IPA text may need.
EXTRA_UNICODES = (
    list(range(0x00A0, 0x0100))       # Latin-1: æ ð and the like
    + [0x014B, 0x03B8]                # ŋ θ
    + list(range(0x0250, 0x0300))     # IPA extensions, spacing modifiers
)

# Fixed so that regenerating gives the same bytes.
TIMESTAMP = 0xE2E4F680  # 2024-01-01 in seconds since 1904


def licence_text(copyright_file: pathlib.Path) -> str:
    """The OFL block of a Debian copyright file, unfolded."""
    text = copyright_file.read_text(encoding="utf-8")
    block = re.search(r"^License: OFL-1\.1-RFN\n((?: .*\n?)+)", text, re.M)
    if not block:
        raise SystemExit(f"{copyright_file}: no OFL-1.1-RFN licence block")
    lines = []
    for line in block.group(1).splitlines():
        line = line[1:]
        lines.append("" if line == "." else line)
    return "\n".join(lines).strip() + "\n"


def subset_font(source: pathlib.Path) -> TTFont:
    font = TTFont(source)
    options = subset.Options()
    options.layout_features = []  # our own GSUB replaces the source's
    options.name_IDs = [0, 13, 14]  # copyright and licence survive, names are ours
    options.glyph_names = True
    options.notdef_outline = True
    options.hinting = True
    options.drop_tables += ["Silt", "Silf", "Glat", "Gloc", "Feat", "GPOS", "GDEF"]
    subsetter = subset.Subsetter(options)
    subsetter.populate(unicodes=list(range(0x20, 0x7F)) + EXTRA_UNICODES)
    subsetter.subset(font)
    return font


def remap_codes(font: TTFont) -> dict[str, str]:
    """Points the code characters at the symbol glyphs; returns char -> glyph."""
    cmap = font.getBestCmap()
    glyph_of = {chr(u): g for u, g in cmap.items()}
    for table in font["cmap"].tables:
        if not table.isUnicode():
            continue
        for code, shown in CODE_GLYPHS.items():
            table.cmap[ord(code)] = glyph_of[shown]
    return glyph_of


def features(glyph_of: dict[str, str]) -> str:
    rules = []
    for target, following, replacement in CONTEXT_RULES:
        context = " ".join(glyph_of[c] for c in following)
        rules.append(f"    sub {glyph_of[target]}' [{context}] by {glyph_of[replacement]};")
    return "\n".join(
        ["languagesystem DFLT dflt;", "languagesystem latn dflt;", "", "feature calt {"]
        + rules
        + ["} calt;", ""]
    )


def rename(font: TTFont) -> None:
    name = font["name"]
    names = {
        1: FAMILY,
        2: STYLE,
        3: f"{FAMILY} {STYLE} {VERSION}",
        4: f"{FAMILY} {STYLE}",
        5: f"Version {VERSION}",
        6: POSTSCRIPT,
    }
    for name_id, value in names.items():
        name.setName(value, name_id, 3, 1, 0x409)
        name.setName(value, name_id, 1, 0, 0)
    head = font["head"]
    head.fontRevision = float(VERSION)
    head.created = head.modified = TIMESTAMP
    font["OS/2"].achVendID = "NONE"


def main() -> None:
    here = pathlib.Path(__file__).resolve()
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument(
        "--source", type=pathlib.Path,
        default=pathlib.Path("/usr/share/fonts/truetype/charis/CharisSIL-Bold.ttf"))
    parser.add_argument(
        "--copyright", type=pathlib.Path,
        default=pathlib.Path("/usr/share/doc/fonts-sil-charis/copyright"))
    parser.add_argument("--out-dir", type=pathlib.Path,
                        default=here.parents[3] / "assets" / "font")
    args = parser.parse_args()

    font = subset_font(args.source)
    glyph_of = remap_codes(font)
    addOpenTypeFeaturesFromString(font, features(glyph_of), tables=["GSUB"])
    rename(font)
    font.recalcTimestamp = False

    args.out_dir.mkdir(parents=True, exist_ok=True)
    font.save(args.out_dir / "Svphonet.ttf")
    header = (
        f"Svphonet.ttf (family \"{FAMILY}\") is a Modified Version of Charis SIL Bold,\n"
        "cut down to the glyphs the lesson symbols need and with its character map\n"
        "and contextual alternates changed; it is distributed under the licence below.\n\n"
    )
    (args.out_dir / "OFL.txt").write_text(header + licence_text(args.copyright), encoding="utf-8")


if __name__ == "__main__":
    main()
