#!/usr/bin/python3
"""The lesson document generator's building blocks: RTF escaping in the Chinese code page, the
joins the symbol font would misread, and the checks on the lesson source."""

import copy
import os
import sys
import unittest

sys.dont_write_bytecode = True
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tools", "media", "lessons"))

import lesson_data  # noqa: E402
import rtf  # noqa: E402


class EscapeText(unittest.TestCase):
    def test_ascii_passes_and_rtf_specials_are_escaped(self):
        self.assertEqual(rtf.escape_text("a{b}\\c"), "a\\{b\\}\\\\c")
        self.assertEqual(rtf.escape_text("x\ty"), "x\\tab y")

    def test_chinese_is_written_as_gbk_bytes(self):
        self.assertEqual(rtf.escape_text("宋体"), "\\'cb\\'ce\\'cc\\'e5")
        self.assertEqual(rtf.escape_text("；"), "\\'a3\\'bb")

    def test_characters_outside_gbk_fall_back_to_unicode_escapes(self):
        # U+026A is not in GBK; U+1D11E needs a surrogate pair with signed 16-bit values.
        self.assertEqual(rtf.escape_text("ɪ"), "\\u618?")
        self.assertEqual(rtf.escape_text("\U0001D11E"), "\\u-10188?\\u-8930?")

    def test_line_breaks_are_refused(self):
        with self.assertRaises(ValueError):
            rtf.escape_text("a\nb")


class DocumentBytes(unittest.TestCase):
    def make(self):
        doc = rtf.Document("宋体", "Times New Roman", "Sonavix Phonetic Plain")
        doc.paragraph([rtf.Run("发音", bold=True), rtf.Run("{x}", rtf.FONT_LATIN)])
        return doc.to_bytes()

    def test_document_is_ascii_rtf_in_code_page_936(self):
        data = self.make()
        self.assertTrue(data.startswith(b"{\\rtf1\\ansi\\ansicpg936"))
        self.assertIn(b"\\fcharset134 \\'cb\\'ce\\'cc\\'e5;", data)
        data.decode("ascii")


class JoinCodes(unittest.TestCase):
    def test_join_keeps_codes_and_stress(self):
        self.assertEqual(lesson_data.join_codes("' b i z i".split(), "t"), "'bizi")
        self.assertEqual(lesson_data.join_codes("s i:".split(), "t"), "si:")

    def test_joins_the_font_would_read_as_another_symbol_are_refused(self):
        for tokens in ("f l au E r", "p l ei E r", "m e i", "C i l"):
            with self.assertRaises(lesson_data.LessonError, msg=tokens):
                lesson_data.join_codes(tokens.split(), "t")

    def test_stress_between_symbols_does_not_hide_a_misread_join(self):
        with self.assertRaises(lesson_data.LessonError):
            lesson_data.join_codes("i ' E".split(), "t")

    def test_unknown_codes_are_refused(self):
        with self.assertRaises(lesson_data.LessonError):
            lesson_data.join_codes("s I t".split(), "t")


class SourceChecks(unittest.TestCase):
    """Each check on the committed source must notice one typical slip."""

    @classmethod
    def setUpClass(cls):
        import json

        here = lesson_data.HERE
        with open(os.path.join(here, "examples.json"), encoding="utf-8") as f:
            cls.examples = json.load(f)
        with open(os.path.join(here, "rules.json"), encoding="utf-8") as f:
            cls.rules = json.load(f)

    def lesson(self, edit):
        example = copy.deepcopy(self.examples[12])
        rules = copy.deepcopy(self.rules[12])
        edit(example, rules)
        return lesson_data.Lesson(example, rules)

    def test_committed_source_passes(self):
        self.assertEqual(len(lesson_data.load()), 45)
        self.lesson(lambda e, r: None)

    def test_slips_are_caught(self):
        def spell_mismatch(e, r):
            e["words"][0]["spell"] = "d[ai]"

        def no_target_mark(e, r):
            e["words"][0]["spell"] = "day"

        def word_without_the_sound(e, r):
            e["words"][0]["codes"] = "d e"

        def sound_left_unmarked(e, r):
            e["words"][0].update(word="dayday", spell="d[ay]day", codes="' d ei d ei")

        def missing_stress(e, r):
            e["words"][7]["codes"] = "g r ei t i s t"

        def stray_stress(e, r):
            e["words"][0]["codes"] = "' d ei"

        def unbalanced_markup(e, r):
            r["confusions"][0] += " [a"

        def too_few_words(e, r):
            del e["words"][5:]

        def missing_rules(e, r):
            r["spellings"] = []

        for slip, reason in (
            (spell_mismatch, "does not mark"),
            (no_target_mark, "does not mark"),
            (word_without_the_sound, "has no ei"),
            (sound_left_unmarked, "marks 1 spellings for 2"),
            (missing_stress, "stress"),
            (stray_stress, "stress"),
            (unbalanced_markup, "markup"),
            (too_few_words, "6 to 10"),
            (missing_rules, "no spellings"),
        ):
            with self.assertRaisesRegex(lesson_data.LessonError, reason, msg=slip.__name__):
                self.lesson(slip)

if __name__ == "__main__":
    unittest.main()
