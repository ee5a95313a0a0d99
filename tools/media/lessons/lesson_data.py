"""Loads and checks the lesson source: examples.json (words) and rules.json (rules texts).

Input: the two JSON files beside this module. Output: a list of 45 Lesson objects in catalogue
order. Every inconsistency (wrong order or code, unknown symbol code, a spelling that does not
match its word, a transcription without the lesson's symbol or with a missing or stray stress
mark, a join that the symbol font could read as another symbol, unbalanced markup) raises
LessonError naming the entry.
"""

import json
import os

HERE = os.path.dirname(os.path.abspath(__file__))

# The catalogue's codes in number order, with the row each starts.
CODES = (
    "i e A Q C u E "
    "i: B: C: u: E: "
    "ei ai Ci iE ZE CE uE Eu au "
    "p t k f W s F h tF "
    "b d g v T z V m n N l r j w dV"
).split()
ROWS = [(0, "短元音"), (7, "长元音"), (12, "双元音"), (21, "清辅音"), (30, "浊辅音")]

STRESS = "'"  # drawn by the symbol font as the primary stress mark
SECONDARY_STRESS = ","

_TWO_LETTER = {c for c in CODES if len(c) == 2}
VOWELS = set(CODES[:21])


class LessonError(ValueError):
    pass


def row_name(number):
    name = ROWS[0][1]
    for first, label in ROWS:
        if number >= first:
            name = label
    return name


def strip_marks(text):
    return text.replace("[", "").replace("]", "")


def check_markup(text, where):
    """Brackets [..] and braces {..} must pair up and must not nest."""
    open_char = None
    for ch in text:
        if ch in "[{":
            if open_char:
                raise LessonError("%s: nested markup in %r" % (where, text))
            open_char = ch
        elif ch in "]}":
            if open_char != {"]": "[", "}": "{"}[ch]:
                raise LessonError("%s: unbalanced markup in %r" % (where, text))
            open_char = None
    if open_char:
        raise LessonError("%s: unclosed markup in %r" % (where, text))


def join_codes(tokens, where):
    """Joins transcription tokens into the text drawn in the symbol font.

    The font reads two-letter codes wherever their letters stand side by side, so a join where the
    last letter of one symbol and the first of the next make up a two-letter code would be shown
    as a different symbol; such a transcription is refused.
    """
    phonemes = [t for t in tokens if t not in (STRESS, SECONDARY_STRESS)]
    for t in tokens:
        if t not in CODES and t not in (STRESS, SECONDARY_STRESS):
            raise LessonError("%s: unknown symbol code %r" % (where, t))
    for a, b in zip(phonemes, phonemes[1:]):
        if a[-1] + b[0] in _TWO_LETTER:
            raise LessonError("%s: %s followed by %s reads as %s" % (where, a, b, a[-1] + b[0]))
    return "".join(tokens)


def syllables(tokens):
    """Vowel symbols, plus a final l or n after a consonant other than r (apple, nation)."""
    phonemes = [t for t in tokens if t not in (STRESS, SECONDARY_STRESS)]
    count = sum(1 for t in phonemes if t in VOWELS)
    if len(phonemes) >= 2 and phonemes[-1] in ("l", "n"):
        before = phonemes[-2]
        if before not in VOWELS and before != "r":
            count += 1
    return count


class Word:
    def __init__(self, entry, where):
        self.word = entry["word"]
        self.spell = entry["spell"]
        self.tokens = entry["codes"].split()
        self.gloss = entry["zh"]
        check_markup(self.spell, where)
        if strip_marks(self.spell) != self.word or "[" not in self.spell:
            raise LessonError("%s: spelling %r does not mark %r" % (where, self.spell, self.word))
        self.transcription = join_codes(self.tokens, where)
        # A learner needs the stress of every longer word, and a mark on a one-syllable word
        # would be noise.
        wanted = 1 if syllables(self.tokens) >= 2 else 0
        if self.tokens.count(STRESS) != wanted:
            raise LessonError("%s: want %d stress mark(s) in %r" % (where, wanted, entry["codes"]))


class Lesson:
    def __init__(self, example, rules):
        self.number = example["n"]
        self.code = example["code"]
        self.ipa = example["ipa"]
        self.row = row_name(self.number)
        where = "symbol %d (%s)" % (self.number, self.code)
        self.words = [Word(w, "%s, %s" % (where, w.get("word"))) for w in example["words"]]
        if not 6 <= len(self.words) <= 10:
            raise LessonError("%s: %d example words, want 6 to 10" % (where, len(self.words)))
        for w in self.words:
            if self.code not in w.tokens:
                raise LessonError("%s: %s has no %s" % (where, w.word, self.code))
            # One highlight per time the word says the sound, so none is left out.
            if w.spell.count("[") != w.tokens.count(self.code):
                raise LessonError("%s: %s marks %d spellings for %d %s" % (
                    where, w.spell, w.spell.count("["), w.tokens.count(self.code), self.code))
        self.sentence = example["sentence"]["en"]
        self.sentence_zh = example["sentence"]["zh"]
        check_markup(self.sentence, where)
        self.rules = rules
        for key in ("how", "spellings", "confusions"):
            if not rules.get(key):
                raise LessonError("%s: rules have no %s" % (where, key))
        for label, text in rules["how"]:
            check_markup(text, where)
        for spelling, examples in rules["spellings"]:
            check_markup(spelling, where)
            check_markup(examples, where)
        for text in rules["confusions"] + rules.get("notes", []) + rules.get("about", []):
            check_markup(text, where)


def load(directory=HERE):
    with open(os.path.join(directory, "examples.json"), encoding="utf-8") as f:
        examples = json.load(f)
    with open(os.path.join(directory, "rules.json"), encoding="utf-8") as f:
        rules = json.load(f)
    if len(examples) != len(CODES) or len(rules) != len(CODES):
        raise LessonError("want %d symbols in both files" % len(CODES))
    lessons = []
    for number, (example, rule) in enumerate(zip(examples, rules)):
        if example["n"] != number or rule["n"] != number or example["code"] != CODES[number]:
            raise LessonError("entry %d is out of catalogue order" % number)
        lessons.append(Lesson(example, rule))
    return lessons
