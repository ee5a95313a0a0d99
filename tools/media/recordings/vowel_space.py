"""The vowel references of tests/media/vowel_references.json and the distances between them and
measured recordings, in Bark over F1 and F2.

Every reference is a path from an onset to an offset (a monophthong's two ends are the same), and
every measurement is the F1/F2 at 20 % and 80 % of the vowel (a monophthong's midpoint at both),
so that monophthongs and diphthongs compete in one space.
"""

import json
import math
import pathlib

ROOT = pathlib.Path(__file__).resolve().parents[3]
REFERENCES = ROOT / "tests" / "media" / "vowel_references.json"


def bark(f: float) -> float:
    """Traunmüller (1990)."""
    return 26.81 * f / (1960.0 + f) - 0.53


def load(path: pathlib.Path = REFERENCES) -> list[dict]:
    """The references in symbol order, each with 'onset' and 'offset' filled in."""
    vowels = json.loads(path.read_text(encoding="utf-8"))["vowels"]
    for v in vowels:
        v.setdefault("onset", v.get("mid"))
        v.setdefault("offset", v.get("mid"))
        v["diphthong"] = "mid" not in v
    if [v["n"] for v in vowels] != list(range(21)):
        raise ValueError(f"{path}: want symbols 0..20 in order")
    return vowels


def point_distance(a, b) -> float:
    return math.hypot(bark(a[0]) - bark(b[0]), bark(a[1]) - bark(b[1]))


def distance(measured: tuple, reference: dict) -> float:
    """measured = (F1F2 at 20 %, F1F2 at 80 %); the RMS of the two point distances."""
    d0 = point_distance(measured[0], reference["onset"])
    d1 = point_distance(measured[1], reference["offset"])
    return math.sqrt((d0 * d0 + d1 * d1) / 2)


def compare(measured: dict[int, tuple], references: list[dict]) -> list[dict]:
    """Per symbol: its distance to its own reference and to the nearest other one."""
    rows = []
    for n, m in sorted(measured.items()):
        own = distance(m, references[n])
        others = sorted((distance(m, r), r["n"]) for r in references if r["n"] != n)
        rows.append({"n": n, "ipa": references[n]["ipa"], "own": own,
                     "nearest_other": others[0][0], "nearest_other_n": others[0][1],
                     "ok": own < others[0][0]})
    return rows


def path_of(formants_20_50_80: list, reference: dict) -> tuple:
    """The (20 %, 80 %) pair compared for a recording: a monophthong's midpoint twice."""
    f20, f50, f80 = formants_20_50_80
    return (f20, f80) if reference["diphthong"] else (f50, f50)
