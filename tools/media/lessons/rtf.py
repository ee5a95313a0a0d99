"""Minimal RTF 1.x writer for the lesson documents.

Input: runs of text with a font, bold flag, colour and size. Output: bytes of an RTF document in
the Chinese ANSI code page (\\ansicpg936): ASCII stays ASCII (with \\ { } escaped), every other
character is written as its GBK bytes in \\'hh form, and a character GBK cannot hold falls back to
\\uN with a '?' replacement. Nothing depends on the locale or the clock, so the same runs always
give the same bytes.
"""

# Font numbers in the font table written by Document.
FONT_CJK = 0  # Chinese text
FONT_LATIN = 1  # English words and sentences
FONT_SYMBOL = 2  # sound-symbol codes, shaped into IPA by the symbol font

# Colour numbers in the colour table (0 is the reader's default colour).
COLOUR_TEXT = 1
COLOUR_TARGET = 2  # the letters that give the sound
COLOUR_HEADING = 3
COLOUR_SYMBOL = 4

_COLOURS = [(0x20, 0x20, 0x20), (0xC0, 0x10, 0x10), (0x1F, 0x4E, 0x8C), (0x00, 0x60, 0x30)]


def escape_text(text):
    """Returns the RTF form of text: ASCII escaped, the rest GBK \\'hh or \\uN."""
    out = []
    for ch in text:
        code = ord(ch)
        if ch in "\\{}":
            out.append("\\" + ch)
        elif ch == "\t":
            out.append("\\tab ")
        elif ch == "\n":
            raise ValueError("line breaks belong to paragraphs, not to runs")
        elif 0x20 <= code < 0x7F:
            out.append(ch)
        else:
            try:
                encoded = ch.encode("gbk")
            except UnicodeEncodeError:
                encoded = None
            if encoded and len(encoded) == 2:
                out.append("".join("\\'%02x" % b for b in encoded))
            else:
                # \uN takes a signed 16-bit value; characters beyond the BMP go as a surrogate pair.
                units = ch.encode("utf-16-le")
                for i in range(0, len(units), 2):
                    unit = units[i] | (units[i + 1] << 8)
                    out.append("\\u%d?" % (unit - 0x10000 if unit >= 0x8000 else unit))
    return "".join(out)


class Run:
    """A stretch of text in one character format."""

    def __init__(self, text, font=FONT_CJK, bold=False, colour=COLOUR_TEXT, size=None):
        self.text = text
        self.font = font
        self.bold = bold
        self.colour = colour
        self.size = size  # half-points, None for the paragraph's size

    def same_format(self, other):
        return (self.font, self.bold, self.colour, self.size) == (
            other.font,
            other.bold,
            other.colour,
            other.size,
        )

    def render(self, base_size):
        size = self.size if self.size is not None else base_size
        bold = "\\b" if self.bold else ""
        controls = "\\f%d\\fs%d\\cf%d%s" % (self.font, size, self.colour, bold)
        return "{%s %s}" % (controls, escape_text(self.text))


class Document:
    """Paragraphs of runs, written as one RTF document."""

    def __init__(self, cjk_font, latin_font, symbol_font, base_size=21):
        self.fonts = [
            "{\\f%d\\fnil\\fcharset134 %s;}" % (FONT_CJK, escape_text(cjk_font)),
            "{\\f%d\\fswiss\\fcharset0 %s;}" % (FONT_LATIN, escape_text(latin_font)),
            "{\\f%d\\fnil\\fcharset0 %s;}" % (FONT_SYMBOL, escape_text(symbol_font)),
        ]
        self.base_size = base_size
        self.paragraphs = []

    def paragraph(self, runs, space_before=0, space_after=60, indent=0, tabs=()):
        """Adds a paragraph; spacing and indents in twips, tabs as stop positions in twips."""
        controls = "\\pard\\sb%d\\sa%d\\li%d" % (space_before, space_after, indent)
        controls += "".join("\\tx%d" % t for t in tabs)
        merged = []
        for run in runs:
            if merged and merged[-1].same_format(run):
                last = merged[-1]
                merged[-1] = Run(last.text + run.text, run.font, run.bold, run.colour, run.size)
            else:
                merged.append(run)
        body = "".join(run.render(self.base_size) for run in merged)
        self.paragraphs.append("%s %s\\par" % (controls, body))

    def to_bytes(self):
        colours = "".join("\\red%d\\green%d\\blue%d;" % c for c in _COLOURS)
        lines = [
            "{\\rtf1\\ansi\\ansicpg936\\deff%d\\deflang1033\\deflangfe2052" % FONT_CJK,
            "{\\fonttbl%s}" % "".join(self.fonts),
            "{\\colortbl ;%s}" % colours,
            "\\viewkind4\\uc1",
        ]
        lines += self.paragraphs
        lines.append("}")
        text = "\r\n".join(lines) + "\r\n"
        # Everything outside ASCII was escaped above, so the document is pure ASCII.
        return text.encode("ascii")
