#!/usr/bin/python3
"""Measures the target vowel of every example word that Festival's us-slt voice says, as
make_recordings.py makes it (moved to its target where the generator moves it).

Praat's Burg tracker (ceiling 5500 Hz for a woman's voice) takes F1/F2 at the middle of the
word's vowel of the symbol, by Festival's own segment times. Each is compared, in Bark, with the
women's targets of the practice chart's monophthongs (assets/pho/vowels.json) and reported with
the nearest of them, before and after the generator's move.

Usage: measure_examples.py N [N ...]   (symbol numbers; needs festival, praat and python3-numpy)
"""

import pathlib
import sys
import tempfile

sys.dont_write_bytecode = True
HERE = pathlib.Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
import make_recordings  # noqa: E402
import vowel_space  # noqa: E402

def main():
    numbers = [int(a) for a in sys.argv[1:]]
    targets = make_recordings.women_targets()
    ipa = {v["n"]: v["ipa"] for v in vowel_space.load()}
    lessons = make_recordings.load_lessons()
    with tempfile.TemporaryDirectory() as tmp:
        work = pathlib.Path(tmp)
        for n in numbers:
            code = make_recordings.SOUNDS[n][0]
            words = [w["word"] for w in lessons[n]["words"]]
            counts = [0, 0, 0]  # words measured, nearest own before, nearest own after
            for i, (wav, segs) in enumerate(make_recordings.festival(words, work)):
                segment = make_recordings.vowel_segment(code, segs)
                if segment is None or not make_recordings.says_sound(code, [s[0] for s in segs]):
                    continue
                made, _ = make_recordings.vowel_on_target(n, wav, segment, work / f"m{i}.wav")
                middle = (segment[1] + segment[2]) / 2
                before = make_recordings.praat_formants(wav, middle)
                after = make_recordings.praat_formants(made, middle)
                near_before = make_recordings.nearest_target(before, targets)
                near_after = make_recordings.nearest_target(after, targets)
                counts[0] += 1
                counts[1] += near_before == n
                counts[2] += near_after == n
                own = targets.get(n)
                print(f"{n:2} {words[i]:10} {segment[0]:3} {before[0]:5.0f}/{before[1]:5.0f} "
                      f"nearest {ipa[near_before]:2}  ->  {after[0]:5.0f}/{after[1]:5.0f} "
                      f"nearest {ipa[near_after]:2}"
                      + (f"  own {ipa[n]} {vowel_space.point_distance(after, own):.2f} Bark"
                         if own else ""))
            print(f"{n:2}: of {counts[0]} Festival words, {counts[1]} nearest their own vowel "
                  f"as Festival says them, {counts[2]} as recorded")


if __name__ == "__main__":
    main()
