#!/usr/bin/python3
"""The committed example recordings measured: in the files of the
monophthongs whose words the generator checks, the stressed vowel of each word the Festival voice
says lies nearer its symbol's women's target in the practice chart than any other monophthong's.

The vowel is measured at its middle, which the generator records in the manifest ("vowel_at"),
by Praat's Burg tracker at a woman's ceiling (a plain LPC tracker takes this high voice's first
harmonic for F1). Praat reads the file as ffmpeg decodes it, the time base of the word indexes:
without the encoder's delay, which sonavix-decode keeps.

Usage: example_vowels_test.py   (SONAVIX_PHO=DIR measures another directory)
"""

import json
import os
import subprocess
import sys
import tempfile
import unittest

sys.dont_write_bytecode = True
HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.join(HERE, "..", "..")
sys.path.insert(0, os.path.join(ROOT, "tools", "media", "recordings"))

import make_recordings  # noqa: E402

PHO = os.environ.get("SONAVIX_PHO", os.path.join(ROOT, "assets", "pho"))
MANIFEST = make_recordings.MANIFEST
# Words a move could not bring to their target, which the generator leaves as Festival says them.
LEFT_AS_SAID = "vowel_not_moved"

PRAAT = """Read from file: "{wav}"
To Formant (burg): 0.005, 5, 5500, 0.025, 50
{queries}"""
QUERY = """a = Get value at time: 1, {t}, "hertz", "linear"
b = Get value at time: 2, {t}, "hertz", "linear"
appendInfoLine: fixed$(a, 0), " ", fixed$(b, 0)"""


def praat_formants(mp3, times):
    """F1/F2 by Praat at each time (s) of mp3."""
    with tempfile.TemporaryDirectory() as tmp:
        wav = os.path.join(tmp, "x.wav")
        subprocess.run(["ffmpeg", "-v", "error", "-i", mp3, "-ac", "1", wav], check=True)
        script = os.path.join(tmp, "nuclei.praat")
        with open(script, "w", encoding="utf-8") as f:
            f.write(PRAAT.format(wav=wav, queries="\n".join(QUERY.format(t=t) for t in times)))
        out = subprocess.run(["praat", "--run", script], check=True, capture_output=True,
                             text=True).stdout.split()
    return [(float(a), float(b)) for a, b in zip(out[::2], out[1::2])]


class ExampleVowels(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with open(os.path.join(PHO, "vowels.json"), encoding="utf-8") as f:
            vowels = json.load(f)["vowels"]
        cls.targets = {v["n"]: v["women"]["onset"] for v in vowels if not v["diphthong"]}
        cls.ipa = {v["n"]: v["ipa"] for v in vowels}
        with open(MANIFEST, encoding="utf-8") as f:
            cls.manifest = json.load(f)

    def test_every_checked_word_is_nearest_its_own_vowel(self):
        for n in sorted(make_recordings.MOVABLE_VOWELS):
            listed = self.manifest[str(n)]["examples"]["words"]
            words = [w for w in listed if "vowel_at" in w and LEFT_AS_SAID not in w]
            # the check must not pass by skipping: at least half of each file is measured
            self.assertGreaterEqual(2 * len(words), len(listed), self.ipa[n])
            measured = praat_formants(os.path.join(PHO, "%d-%d.mp3" % (n, n)),
                                      [w["vowel_at"] for w in words])
            for word, f in zip(words, measured):
                with self.subTest(symbol=self.ipa[n], word=word["word"]):
                    self.assertEqual(self.ipa[make_recordings.nearest_target(f, self.targets)],
                                     self.ipa[n],
                                     "measured F1/F2 %.0f/%.0f" % f)


if __name__ == "__main__":
    unittest.main()
