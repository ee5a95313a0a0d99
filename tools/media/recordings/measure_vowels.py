#!/usr/bin/python3
"""Measures the symbol recordings as a listener's tools would, and prints the figures.

Vowels (0..20): Praat's Burg tracker (measure_vowels.praat) on the first saying of n.mp3, the
distance in Bark to the symbol's own reference and to the nearest other one (vowel_space.py),
the distance between ɒ and ɔː, the pitch (F0 at 20 % and 80 % of the vowel and its fall) and
the source's jitter and shimmer.
Fricatives: how periodic the noise envelope is between 4 and 30 Hz (the frame clicks of a
repeated synthetic phoneme show as a strong peak), from ffmpeg's decoding.

Usage: measure_vowels.py [--dir DIR]   (default: assets/pho of this checkout)
Needs praat and ffmpeg.
"""

import argparse
import pathlib
import subprocess
import sys

import numpy as np

sys.dont_write_bytecode = True
HERE = pathlib.Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
import vowel_space  # noqa: E402

FRICATIVES = {24: "f", 25: "θ", 26: "s", 27: "ʃ", 28: "h", 33: "v", 34: "ð", 35: "z", 36: "ʒ"}


def praat(mp3: pathlib.Path) -> list[float]:
    out = subprocess.run(["praat", "--run", str(HERE / "measure_vowels.praat"), str(mp3)],
                         check=True, capture_output=True, text=True).stdout
    return [float("nan") if v.startswith("--") else float(v) for v in out.split()]


def decode(mp3: pathlib.Path, rate: int = 22050) -> np.ndarray:
    raw = subprocess.run(["ffmpeg", "-v", "error", "-i", str(mp3), "-ac", "1", "-ar", str(rate),
                          "-f", "f32le", "-"], check=True, capture_output=True).stdout
    return np.frombuffer(raw, dtype="<f4").astype(float)


def envelope_periodicity(x: np.ndarray, rate: int = 22050) -> float:
    """Peak normalised autocorrelation of the 2 ms RMS envelope of the first saying's loud
    part, at lags of 33-250 ms: near 0 for steady noise, large for noise clicking at a rate."""
    hop = rate // 500
    env = np.sqrt(np.convolve(x * x, np.ones(hop) / hop, "same"))[::hop]
    loud = env > env.max() * 10 ** (-20 / 20)
    idx = np.flatnonzero(loud)
    gaps = np.flatnonzero(np.diff(idx) > 0.15 * 500)
    first = env[idx[0]: idx[gaps[0]] if len(gaps) else idx[-1]]
    first = first[len(first) // 10: len(first) - len(first) // 10]
    e = np.log(first + 1e-9)
    e = e - np.convolve(e, np.ones(50) / 50, "same")  # remove the slow swell, keep ripple
    e = e[25:-25] if len(e) > 80 else e
    ac = np.correlate(e, e, "full")[len(e) - 1:]
    ac /= ac[0] if ac[0] > 0 else 1
    lo, hi = int(0.033 * 500), min(int(0.25 * 500), len(ac) - 1)
    return float(ac[lo:hi].max()) if hi > lo else float("nan")


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--dir", type=pathlib.Path, default=vowel_space.ROOT / "assets" / "pho")
    args = parser.parse_args()
    refs = vowel_space.load()
    measured, pitch = {}, {}
    for r in refs:
        v = praat(args.dir / f"{r['n']}.mp3")
        points = [(v[1], v[2]), (v[4], v[5]), (v[7], v[8])]
        measured[r["n"]] = vowel_space.path_of(points, r)
        pitch[r["n"]] = (v[0], v[10], v[11], v[12], v[13], v[14], v[15])
    print(" n  sym   dur  F1/F2 measured (20/80 or mid)   own  nearest other    "
          "F0 20%  80%   fall   min-max    jitter shimmer")
    failures = 0
    for row in vowel_space.compare(measured, refs):
        n = row["n"]
        m = measured[n]
        where = (f"{m[0][0]:4.0f}/{m[0][1]:4.0f}" if not refs[n]["diphthong"]
                 else f"{m[0][0]:4.0f}/{m[0][1]:4.0f} -> {m[1][0]:4.0f}/{m[1][1]:4.0f}")
        dur, a, b, lo, hi, jitter, shimmer = pitch[n]
        fall = (a - b) / a * 100 if a == a and b == b else float("nan")
        failures += not row["ok"]
        print(f"{n:2}  {row['ipa']:3} {dur:5.3f}  {where:27}  {row['own']:4.2f}  "
              f"{row['nearest_other']:4.2f} {refs[row['nearest_other_n']]['ipa']:3} "
              f"{'ok' if row['ok'] else 'NO':3}  {a:5.1f} {b:5.1f} {fall:5.1f} %  "
              f"{lo:5.1f}-{hi:5.1f}  {jitter:4.2f} % {shimmer:4.1f} %")
    split = vowel_space.point_distance(measured[4][0], measured[9][0])
    print(f"{21 - failures} of 21 nearer their own reference; ɒ-ɔː {split:.2f} Bark apart")
    print("fricative noise envelope periodicity (0 steady, 1 clicking):")
    for n, sym in FRICATIVES.items():
        print(f"  {n:2} {sym} {envelope_periodicity(decode(args.dir / f'{n}.mp3')):.2f}")


if __name__ == "__main__":
    main()
