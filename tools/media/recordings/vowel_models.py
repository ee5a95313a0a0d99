"""The model vowels of symbols 0..20: formant synthesis to the published references.

The targets are the references of tests/media/vowel_references.json, so the recordings and the
test that checks them cannot drift apart. Two exceptions, both deliberate:
- ɒ and ɔː: their references (British ɒ, American ɔ) lie under 1 Bark apart, so each model is
  moved away from the other along the line between them until they are SPLIT Bark apart, which
  keeps each nearer its own reference and the contrast audible.
- F3, which the comparison does not use: the table below (Hillenbrand's where he gives one).
"""

import pathlib
import struct

import numpy as np

import formant_voice
import vowel_space

SPLIT = 1.15  # Bark between the ɒ and ɔː models

F3 = {0: 2684, 1: 2605, 2: 2601, 3: 2550, 4: 2500, 5: 2434, 6: 2500, 7: 3000, 8: 2522, 9: 2538,
      10: 2343, 11: 1710}
# Onset and offset F3 of the diphthongs, from the elements' own values.
F3_PATH = {12: (2691, 3000), 13: (2522, 2684), 14: (2538, 2684), 15: (2600, 2500),
           16: (2550, 2500), 17: (2500, 2500), 18: (2350, 2500), 19: (2500, 2350),
           20: (2522, 2434)}

LONG = {7, 8, 9, 10, 11}
SHORT_S, LONG_S, DIPHTHONG_S = 0.26, 0.42, 0.44


def unbark(z: float) -> float:
    return 1960.0 * (z + 0.53) / (26.28 - z)


def _spread(a, b, split):
    """Moves points a and b apart along their line until they are split Bark apart."""
    za = np.array([vowel_space.bark(f) for f in a])
    zb = np.array([vowel_space.bark(f) for f in b])
    d = np.linalg.norm(za - zb)
    if d >= split:
        return a, b
    u = (za - zb) / d
    extra = (split - d) / 2
    za, zb = za + u * extra, zb - u * extra
    return [unbark(z) for z in za], [unbark(z) for z in zb]


def targets() -> dict[int, tuple[list[float], list[float], bool]]:
    """Symbol -> (onset F1 F2 F3, offset F1 F2 F3, diphthong)."""
    refs = vowel_space.load()
    out = {}
    for r in refs:
        n = r["n"]
        f3a, f3b = F3_PATH.get(n, (F3.get(n), F3.get(n)))
        out[n] = ([*r["onset"], f3a], [*r["offset"], f3b], r["diphthong"])
    lot, thought = _spread(out[4][0][:2], out[9][0][:2], SPLIT)
    out[4] = ([*lot, F3[4]], [*lot, F3[4]], False)
    out[9] = ([*thought, F3[9]], [*thought, F3[9]], False)
    return out


def model(n: int, saying: int) -> np.ndarray:
    """One saying of vowel symbol n; the second saying is a little lower, as a speaker's is."""
    onset, offset, diphthong = targets()[n]
    centre = np.array([500.0, 1500.0, 2500.0])
    if diphthong:
        seconds = DIPHTHONG_S
        points = [(0.0, onset), (0.25, onset), (0.75, offset), (1.0, offset)]
    else:
        seconds = LONG_S if n in LONG or n == 17 else SHORT_S
        t = np.array(onset, dtype=float)
        # A held vowel is never quite still: it leaves and returns towards the centre a little.
        points = [(0.0, list(0.96 * t + 0.04 * centre)), (0.3, list(t)), (0.7, list(t)),
                  (1.0, list(0.95 * t + 0.05 * centre))]
    high, low = (128.0, 100.0) if saying == 0 else (123.0, 97.0)
    return formant_voice.vowel(points, seconds, seed=1000 + 2 * n + saying, high=high, low=low)


def write_wav(path: pathlib.Path, y: np.ndarray, rate: int = formant_voice.RATE) -> None:
    """32-bit float mono WAV, peak at half scale (the assembly levels it)."""
    data = (0.5 * y / max(float(np.max(np.abs(y))), 1e-9)).astype("<f4").tobytes()
    header = b"RIFF" + struct.pack("<I", 36 + len(data)) + b"WAVEfmt " + struct.pack(
        "<IHHIIHH", 16, 3, 1, rate, rate * 4, 4, 32) + b"data" + struct.pack("<I", len(data))
    path.write_bytes(header + data)
