#!/usr/bin/python3
"""The committed symbol recordings, decoded by sonavix-decode and measured.

Vowels 0..20, with a plain LPC formant tracker: each lies nearer its own published reference
(vowel_references.json) than any other symbol's, ɒ and ɔː stay a full Bark apart, and the pitch
falls as a speaker's does. Plosives and affricates: alone, nothing voiced follows the release
for more than 60 ms (no "puh").

Usage: symbol_models_test.py SONAVIX_DECODE   (SONAVIX_PHO=DIR measures another directory)
"""

import os
import subprocess
import sys
import tempfile
import unittest
import wave

import numpy as np

sys.dont_write_bytecode = True
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tools", "media", "recordings"))

import vowel_space  # noqa: E402

PHO = os.environ.get("SONAVIX_PHO", os.path.join(HERE, "..", "..", "assets", "pho"))
DECODE = None  # set from the command line
RATE = 10000  # twice the 5 kHz formant ceiling for men


def decode(mp3):
    with tempfile.TemporaryDirectory() as tmp:
        out = os.path.join(tmp, "out.wav")
        subprocess.run([DECODE, mp3, out], check=True, capture_output=True)
        with wave.open(out) as w:
            rate, channels = w.getframerate(), w.getnchannels()
            x = np.frombuffer(w.readframes(w.getnframes()), "<i2").astype(float) / 32768
    x = x[::channels]
    # Band-limited resampling in the frequency domain.
    n = int(round(len(x) * RATE / rate))
    return np.fft.irfft(np.fft.rfft(x)[: n // 2 + 1], n) * n / len(x)


def first_saying(x):
    """(start, end) in samples of the first stretch within 25 dB of the loudest 10 ms."""
    hop = RATE // 100
    rms = np.sqrt(np.mean(x[: len(x) // hop * hop].reshape(-1, hop) ** 2, axis=1))
    loud = np.flatnonzero(20 * np.log10(rms + 1e-12) > 20 * np.log10(rms.max()) - 25)
    breaks = np.flatnonzero(np.diff(loud) > 15)
    last = loud[breaks[0]] if len(breaks) else loud[-1]
    return loud[0] * hop, (last + 1) * hop


def lpc_formants(frame, order=10):
    """F1, F2 of one frame: autocorrelation LPC, roots narrower than 500 Hz."""
    frame = np.append(frame[0], frame[1:] - 0.969 * frame[:-1]) * np.hamming(len(frame))
    r = np.correlate(frame, frame, "full")[len(frame) - 1: len(frame) + order]
    a = np.array([1.0])
    err = r[0]
    for i in range(1, order + 1):  # Levinson-Durbin
        k = -(r[i] + np.dot(a[1:], r[i - 1:0:-1])) / err
        a = np.append(a, 0.0) + k * np.append(a, 0.0)[::-1]
        err *= 1 - k * k
    roots = [z for z in np.roots(a) if z.imag > 0]
    hertz = [(np.angle(z) * RATE / (2 * np.pi), -np.log(abs(z)) * RATE / np.pi) for z in roots]
    found = sorted(f for f, bandwidth in hertz if bandwidth < 500 and f > 90)
    return found[:2] if len(found) >= 2 else [np.nan, np.nan]


def formants_at(x, start, end, fraction):
    """Median F1/F2 of five 25 ms frames centred within 10 ms of the point."""
    centre = start + fraction * (end - start)
    half = int(0.0125 * RATE)
    frames = [lpc_formants(x[int(c) - half: int(c) + half])
              for c in centre + np.linspace(-0.01, 0.01, 5) * RATE]
    return tuple(np.nanmedian(np.array(frames), axis=0))


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
