#!/usr/bin/python3
"""Writes the lesson documents: n.rtf (发音规则) and n-n.rtf (发音举例) for n = 0..44.

Input: examples.json and rules.json beside this script (see README.md). Output: 90 RTF files in
the output directory (default: assets/pho of this checkout). Text markup in the source: [abc]
marks the letters that give the sound (bold, coloured), {s i t} is a transcription in symbol
codes, drawn between slashes in the symbol font. The output depends only on the source, so a
re-run reproduces the committed files byte for byte.
"""

import argparse
import os
import sys

sys.dont_write_bytecode = True  # keep the source directory clean when run from the build

import lesson_data  # noqa: E402
import rtf  # noqa: E402

CJK_FONT = "宋体"
LATIN_FONT = "Times New Roman"
SYMBOL_FONT = "Sonavix Phonetic Plain"

TITLE_SIZE = 28  # half-points
SUBTITLE_SIZE = 24
WORD_SIZE = 24
WORD_TABS = (480, 2400, 4600)  # twips: number, word, transcription, gloss


WORD_JOINER = "\u2060"  # keeps a line break from separating a slash from its symbols


def transcription_run(tokens_text, size=None, in_line=False):
    tokens = tokens_text.split()
    codes = lesson_data.join_codes(tokens, "transcription %r" % tokens_text)
    if in_line:
        codes = WORD_JOINER + codes + WORD_JOINER
    return rtf.Run("/" + codes + "/", rtf.FONT_SYMBOL, True, rtf.COLOUR_SYMBOL, size)


def script_runs(text, bold=False, colour=rtf.COLOUR_TEXT, size=None):
    """Splits plain text into Latin and Chinese runs so each script gets its own font."""
    runs = []
    for ch in text:
        font = rtf.FONT_LATIN if ord(ch) < 0x80 else rtf.FONT_CJK
        if runs and runs[-1].font == font:
            runs[-1].text += ch
        else:
            runs.append(rtf.Run(ch, font, bold, colour, size))
    return runs


def inline_runs(text, bold=False, size=None):
    """Turns source markup into runs: [target letters], {symbol codes}, plain text."""
    runs = []
    rest = text
    while rest:
        cut = min((i for i in (rest.find("["), rest.find("{")) if i >= 0), default=len(rest))
        runs += script_runs(rest[:cut], bold, size=size)
        rest = rest[cut:]
        if not rest:
            break
        close = rest.index("]" if rest[0] == "[" else "}")
        inner = rest[1:close]
        if rest[0] == "[":
            runs += script_runs(inner, True, rtf.COLOUR_TARGET, size)
        else:
            runs.append(transcription_run(inner, size, in_line=True))
        rest = rest[close + 1 :]
    return runs


def title(doc, caption, lesson):
    runs = [rtf.Run(caption, rtf.FONT_CJK, True, rtf.COLOUR_HEADING, TITLE_SIZE)]
    runs += [rtf.Run("  ", rtf.FONT_LATIN, size=TITLE_SIZE)]
    runs += [transcription_run(lesson.code, TITLE_SIZE)]
    runs += [rtf.Run("  " + lesson.row, rtf.FONT_CJK, False, rtf.COLOUR_HEADING, SUBTITLE_SIZE)]
    doc.paragraph(runs, space_after=60)


def heading(doc, caption):
    doc.paragraph(
        [rtf.Run(caption, rtf.FONT_CJK, True, rtf.COLOUR_HEADING, SUBTITLE_SIZE)],
        space_before=120,
        space_after=60,
    )


def new_document():
    return rtf.Document(CJK_FONT, LATIN_FONT, SYMBOL_FONT)


def rules_document(lesson):
    doc = new_document()
    title(doc, "发音规则", lesson)
    # Said once, where a learner starts: what the symbols are and how the transcriptions mix.
    about = lesson.rules.get("about", [])
    if about:
        heading(doc, "关于本课程的音标")
        for text in about:
            doc.paragraph(inline_runs(text), indent=240)
    heading(doc, "发音要领")
    for label, text in lesson.rules["how"]:
        doc.paragraph([rtf.Run(label + "：", rtf.FONT_CJK, True)] + inline_runs(text), indent=240)
    heading(doc, "常见拼写")
    for spelling, examples in lesson.rules["spellings"]:
        # The letters stand out; a remark after them ("（非重读）", " 不发音的词") does not.
        marks = [i for i in (spelling.find("（"), spelling.find(" ")) if i > 0]
        cut = min(marks, default=len(spelling))
        runs = script_runs(spelling[:cut], True, rtf.COLOUR_TARGET)
        runs += inline_runs(spelling[cut:])
        runs += [rtf.Run("：", rtf.FONT_CJK)] + inline_runs(examples)
        doc.paragraph(runs, indent=240)
    heading(doc, "易混辨析")
    for text in lesson.rules["confusions"]:
        doc.paragraph([rtf.Run("· ", rtf.FONT_CJK, True)] + inline_runs(text), indent=240)
    notes = lesson.rules.get("notes", [])
    if notes:
        heading(doc, "美式发音提示")
        for text in notes:
            doc.paragraph([rtf.Run("· ", rtf.FONT_CJK, True)] + inline_runs(text), indent=240)
    return doc.to_bytes()


def examples_document(lesson):
    doc = new_document()
    title(doc, "发音举例", lesson)
    for index, word in enumerate(lesson.words, 1):
        runs = [rtf.Run("%d." % index, rtf.FONT_LATIN, size=WORD_SIZE)]
        runs += [rtf.Run("\t", rtf.FONT_LATIN, size=WORD_SIZE)]
        runs += inline_runs(word.spell, size=WORD_SIZE)
        runs += [rtf.Run("\t", rtf.FONT_LATIN, size=WORD_SIZE)]
        runs += [transcription_run(" ".join(word.tokens), WORD_SIZE)]
        runs += [rtf.Run("\t", rtf.FONT_LATIN, size=WORD_SIZE)]
        runs += script_runs(word.gloss, size=WORD_SIZE)
        doc.paragraph(runs, space_after=40, indent=120, tabs=WORD_TABS)
    heading(doc, "例句")
    doc.paragraph(inline_runs(lesson.sentence, size=WORD_SIZE), indent=240)
    doc.paragraph(script_runs(lesson.sentence_zh), indent=240)
    return doc.to_bytes()


def read_or_none(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except FileNotFoundError:
        return None


def documents(lessons):
    """Yields (file name, bytes) for every document, in catalogue order."""
    for lesson in lessons:
        n = lesson.number
        yield "%d.rtf" % n, rules_document(lesson)
        yield "%d-%d.rtf" % (n, n), examples_document(lesson)


def main():
    default_out = os.path.join(lesson_data.HERE, "..", "..", "..", "assets", "pho")
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", default=default_out, help="output directory")
    parser.add_argument(
        "--check", action="store_true", help="write nothing; fail if a document is out of date"
    )
    args = parser.parse_args()
    try:
        lessons = lesson_data.load()
    except lesson_data.LessonError as error:
        sys.exit("lesson source: %s" % error)
    if not args.check:
        os.makedirs(args.out, exist_ok=True)
    stale = []
    for name, data in documents(lessons):
        path = os.path.join(args.out, name)
        if read_or_none(path) == data:
            continue
        stale.append(name)
        if not args.check:
            with open(path, "wb") as f:
                f.write(data)
    if args.check:
        if stale:
            sys.exit("out of date in %s: %s" % (args.out, " ".join(stale)))
        print("%d lesson documents up to date" % (2 * len(lessons)))
    else:
        print("%d lesson documents, %d written" % (2 * len(lessons), len(stale)))


if __name__ == "__main__":
    main()
