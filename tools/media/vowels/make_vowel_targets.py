#!/usr/bin/env python3
"""Writes assets/pho/vowels.json: the practice window's vowel-chart targets of the 21 vowel
symbols for men, women and children.

The men's values and the source of each symbol come from tests/media/vowel_references.json (the
targets the lesson recordings were made to). Women and children take the same source's values
where it measured them: Hillenbrand, Getty, Clark & Wheeler (1995), JASA 97(5):3099-3111,
Table V, means of 48 women and 46 children in h_d words. Deterding (1997) measured men and women
in connected speech, but only his men's means are on record here, and Hillenbrand et al. measured
no neutral vowel: for those symbols the men's value is scaled by the group's mean ratio to the
men over the twelve Hillenbrand vowels (one factor per formant, the geometric mean), which is how
a shorter vocal tract moves every resonance (Fant 1966, STL-QPSR 7(4)).

Run it after changing the references; tests/media checks that the file is current.
"""

import json
import re
import math
import pathlib
import sys

ROOT = pathlib.Path(__file__).resolve().parents[3]
REFERENCES = ROOT / "tests" / "media" / "vowel_references.json"
OUTPUT = ROOT / "assets" / "pho" / "vowels.json"

# Hillenbrand et al. (1995), Table V: F1, F2 in Hz.
H95 = {
    "heed": {"men": (342, 2322), "women": (437, 2761), "children": (452, 3081)},
    "hid": {"men": (427, 2034), "women": (483, 2365), "children": (511, 2552)},
    "hayed": {"men": (476, 2089), "women": (536, 2530), "children": (564, 2656)},
    "head": {"men": (580, 1799), "women": (731, 2058), "children": (749, 2267)},
    "had": {"men": (588, 1952), "women": (669, 2349), "children": (717, 2501)},
    "hod": {"men": (768, 1333), "women": (936, 1551), "children": (1002, 1688)},
    "hawed": {"men": (652, 997), "women": (781, 1136), "children": (803, 1210)},
    "hoed": {"men": (497, 910), "women": (555, 1035), "children": (597, 1137)},
    "hood": {"men": (469, 1122), "women": (519, 1225), "children": (568, 1490)},
    "who'd": {"men": (378, 997), "women": (459, 1105), "children": (494, 1345)},
    "hud": {"men": (623, 1200), "women": (753, 1426), "children": (749, 1546)},
    "heard": {"men": (474, 1379), "women": (523, 1588), "children": (586, 1719)},
}
GROUPS = ("men", "women", "children")

# The target region around each value: half-axes in Bark, about the spread of one group's talkers
# around their mean on Hillenbrand et al.'s charts. A tolerance of ours, not a figure they give.
RADIUS_BARK = {"f1": 0.5, "f2": 0.8}


def scale_factors() -> dict:
    factors = {}
    for group in GROUPS:
        logs = [[], []]
        for word in H95.values():
            for k in (0, 1):
                logs[k].append(math.log(word[group][k] / word["men"][k]))
        factors[group] = tuple(math.exp(sum(l) / len(l)) for l in logs)
    return factors


def value_for(source: str, men: list, group: str, factors: dict) -> list:
    """source is one end's label in the references ("H95 hid", "D97 e", "centre")."""
    parts = source.split()
    if parts[0] == "H95" and len(parts) > 1 and parts[1] in H95:
        h = H95[parts[1]]
        if tuple(men) != h["men"]:
            sys.exit(f"{REFERENCES}: {source} is {men}, Table V says {h['men']}")
        return list(h[group])
    f = factors[group]
    return [round(men[0] * f[0]), round(men[1] * f[1])]


def end_sources(vowel: dict) -> tuple:
    """The source labels of a symbol's onset and offset."""
    text = vowel["source"]
    if "mid" in vowel:
        return text, text
    onset, offset = text.split(", offset ")
    offset = offset.split(" (")[0]
    return onset.removeprefix("onset "), offset


def build() -> dict:
    references = json.loads(REFERENCES.read_text(encoding="utf-8"))
    factors = scale_factors()
    vowels = []
    for v in references["vowels"]:
        onset_source, offset_source = end_sources(v)
        onset_men = v.get("onset", v.get("mid"))
        offset_men = v.get("offset", v.get("mid"))
        entry = {"n": v["n"], "ipa": v["ipa"], "diphthong": "mid" not in v}
        for group in GROUPS:
            onset = value_for(onset_source, onset_men, group, factors)
            offset = value_for(offset_source, offset_men, group, factors)
            entry[group] = {"onset": onset, "offset": offset}
        vowels.append(entry)
    return {
        "about": "F1 and F2 targets in Hz of the 21 vowel symbols for the practice window's chart, "
        "by voice group; a monophthong's onset and offset are the same. Made by "
        "tools/media/vowels/make_vowel_targets.py from tests/media/vowel_references.json.",
        "sources": references["sources"]
        | {
            "scaled": "women and children where the source has no value for them: the men's value "
            "times the group's geometric-mean ratio to the men over the twelve H95 vowels: "
            + ", ".join(f"{g} F1 {f[0]:.3f} F2 {f[1]:.3f}" for g, f in factors.items() if g != "men")
        },
        "radiusBark": RADIUS_BARK,
        "vowels": vowels,
    }


def main() -> None:
    text = json.dumps(build(), ensure_ascii=False, indent=1) + "\n"
    # One line per pair of numbers, so that the file reads as a table.
    text = re.sub(r"\[\s+(\d+),\s+(\d+)\s+\]", r"[\1, \2]", text)
    if len(sys.argv) > 1 and sys.argv[1] == "--check":
        if OUTPUT.read_text(encoding="utf-8") != text:
            sys.exit(f"{OUTPUT} is not current: run {pathlib.Path(__file__).name}")
        return
    OUTPUT.write_text(text, encoding="utf-8")


if __name__ == "__main__":
    main()
