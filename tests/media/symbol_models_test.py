#!/usr/bin/python3
"""The committed symbol recordings, decoded by sonavix-decode and measured.

Vowels 0..20, with a plain LPC formant tracker: each lies nearer its own published reference
(vowel_references.json) than any other symbol's, ɒ and ɔː stay a full Bark apart, and the pitch
falls as a speaker's does. Plosives and affricates: alone, nothing voiced follows the release
for more than 60 ms (no "puh").

Usage: symbol_models_test.py SONAVIX_DECODE   (SONAVIX_PHO=DIR measures another directory)
"""

import os
import sys
import unittest

import numpy as np

sys.dont_write_bytecode = True
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tools", "media", "recordings"))
sys.path.insert(0, HERE)

import formant_track  # noqa: E402
import vowel_space  # noqa: E402

PHO = os.environ.get("SONAVIX_PHO", os.path.join(HERE, "..", "..", "assets", "pho"))
DECODE = None  # set from the command line
RATE = 10000  # twice the 5 kHz formant ceiling for men


def decode(mp3):
    return formant_track.decode(DECODE, mp3, RATE)


def first_saying(x):
    """(start, end) in samples of the first stretch within 25 dB of the loudest 10 ms."""
    hop = RATE // 100
    rms = np.sqrt(np.mean(x[: len(x) // hop * hop].reshape(-1, hop) ** 2, axis=1))
    loud = np.flatnonzero(20 * np.log10(rms + 1e-12) > 20 * np.log10(rms.max()) - 25)
    breaks = np.flatnonzero(np.diff(loud) > 15)
    last = loud[breaks[0]] if len(breaks) else loud[-1]
    return loud[0] * hop, (last + 1) * hop


def formants_at(x, start, end, fraction):
    return formant_track.formants_around(x, RATE, start + fraction * (end - start))


def f0_at(x, start, end, fraction):
    """Autocorrelation pitch of a 40 ms frame, 60-300 Hz."""
    c = int(start + fraction * (end - start))
    frame = x[c - int(0.02 * RATE): c + int(0.02 * RATE)]
    frame = frame - frame.mean()
    ac = np.correlate(frame, frame, "full")[len(frame) - 1:]
    lo, hi = RATE // 300, RATE // 60
    return RATE / (lo + int(np.argmax(ac[lo:hi])))


class VowelRecordings(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.references = vowel_space.load()
        cls.measured, cls.pitch = {}, {}
        for r in cls.references:
            x = decode(os.path.join(PHO, "%d.mp3" % r["n"]))
            start, end = first_saying(x)
            points = [formants_at(x, start, end, p) for p in (0.2, 0.5, 0.8)]
            cls.measured[r["n"]] = vowel_space.path_of(points, r)
            cls.pitch[r["n"]] = (f0_at(x, start, end, 0.2), f0_at(x, start, end, 0.8))

    def test_references_name_their_published_sources(self):
        import json

        with open(vowel_space.REFERENCES, encoding="utf-8") as f:
            sources = json.load(f)["sources"]
        for r in self.references:
            named = [word for word in r["source"].replace(",", " ").split() if word in sources]
            self.assertTrue(named, r["ipa"])

    def test_every_vowel_is_nearest_its_own_reference(self):
        for row in vowel_space.compare(self.measured, self.references):
            with self.subTest(symbol=row["ipa"]):
                other = self.references[row["nearest_other_n"]]["ipa"]
                self.assertTrue(row["ok"], "%s: %.2f Bark from its reference, %.2f from %s; "
                                "measured %s" % (row["ipa"], row["own"], row["nearest_other"],
                                                 other, self.measured[row["n"]]))

    def test_lot_and_thought_are_a_bark_apart(self):
        self.assertGreaterEqual(vowel_space.point_distance(self.measured[4][0],
                                                           self.measured[9][0]), 1.0)

    def test_pitch_falls_by_a_tenth_over_the_vowel(self):
        for n, (early, late) in self.pitch.items():
            with self.subTest(symbol=self.references[n]["ipa"]):
                self.assertGreater(early, 70)
                self.assertLessEqual(late, 0.9 * early)


def voiced_after_release(x, start, end):
    """Seconds of voicing after the strongest high-frequency onset (the burst) of x[start:end]."""
    hop, win = RATE // 200, RATE * 3 // 100
    seg = x[start:end]
    high = np.diff(seg, prepend=0.0)
    energy = np.array([np.sum(high[i: i + hop] ** 2) for i in range(0, len(seg) - hop, hop)])
    rise = np.diff(np.log(energy + 1e-12), prepend=np.log(energy[0] + 1e-12))
    release = int(np.argmax(rise)) * hop
    loud = np.sqrt(np.mean(seg ** 2)) * 0.1
    voiced = 0
    for i in range(release, len(seg) - win, hop):
        frame = seg[i: i + win] - np.mean(seg[i: i + win])
        ac = np.correlate(frame, frame, "full")[win - 1:]
        if ac[0] <= 0 or np.sqrt(ac[0] / win) < loud:
            continue
        if np.max(ac[RATE // 300: RATE // 60]) / ac[0] > 0.6:
            voiced = i + win // 2 - release
    return voiced / RATE


class StopRecordings(unittest.TestCase):
    STOPS = {21: "p", 22: "t", 23: "k", 29: "tʃ", 30: "b", 31: "d", 32: "g", 44: "dʒ"}

    def test_a_stop_alone_is_released_without_a_vowel(self):
        for n, ipa in self.STOPS.items():
            with self.subTest(symbol=ipa):
                x = decode(os.path.join(PHO, "%d.mp3" % n))
                start, end = first_saying(x)
                self.assertLessEqual(voiced_after_release(x, start, end), 0.06)


if __name__ == "__main__":
    DECODE = sys.argv.pop(1)
    unittest.main()
