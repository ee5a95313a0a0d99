#!/usr/bin/python3
"""Measures the target vowel of every example word that Festival's us-slt voice says.

The words are synthesised again exactly as make_recordings.py makes them, with Festival's own
segment times, and Praat's Burg tracker (ceiling 5500 Hz for a woman's voice) takes F1/F2 at the
middle of the word's vowel of the symbol. Each is compared, in Bark, with the women's means of
Hillenbrand et al. (1995, Table V) and reported with the nearest of them.

Usage: measure_examples.py N [N ...]   (symbol numbers; needs festival and praat)
"""

import json
import pathlib
import re
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True
HERE = pathlib.Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
import make_recordings  # noqa: E402
import vowel_space  # noqa: E402

# Hillenbrand, Getty, Clark & Wheeler (1995), Table V, 48 women: F1, F2.
WOMEN = {"i": (437, 2761), "ɪ": (483, 2365), "e": (536, 2530), "ɛ": (731, 2058),
         "æ": (669, 2349), "ɑ": (936, 1551), "ɔ": (781, 1136), "o": (555, 1035),
         "ʊ": (519, 1225), "u": (459, 1105), "ʌ": (753, 1426), "ɝ": (523, 1588)}
# The women's vowel each symbol's example words should be nearest to.
EXPECTED = {0: "ɪ", 1: "ɛ", 2: "æ", 3: "ʌ", 5: "ʊ", 7: "i", 8: "ɑ", 9: "ɔ", 10: "u",
            11: "ɝ", 17: "ɔ"}

POINT = """form P
    sentence file
    real time
endform
Read from file: file$
To Formant (burg): 0.005, 5, 5500, 0.025, 50
a = Get value at time: 1, time, "hertz", "linear"
b = Get value at time: 2, time, "hertz", "linear"
writeInfoLine: fixed$(a, 0), " ", fixed$(b, 0)
"""


def festival_with_times(words, work):
    script = ["(voice_cmu_us_slt_arctic_hts)"]
    for i, word in enumerate(words):
        wav = work / f"w{i}.wav"
        script.append(
            f'(set! u (utt.synth (Utterance Text "{word}")))(utt.save.wave u "{wav}" \'riff)'
            f'(format t "SEG{i}:")(mapcar (lambda (s) (format t " %s/%s/%s" (item.name s)'
            " (item.feat s 'segment_start) (item.feat s 'end))) (utt.relation.items u 'Segment))"
            '(format t "\\n")')
    scm = work / "w.scm"
    scm.write_text("\n".join(script) + "\n", encoding="utf-8")
    out = subprocess.run(["festival", "-b", str(scm)], check=True, capture_output=True,
                         text=True).stdout
    segs = {}
    for m in re.finditer(r"^SEG(\d+):(.*)$", out, re.M):
        segs[int(m.group(1))] = [(p, float(a), float(b)) for p, a, b in
                                 (s.split("/") for s in m.group(2).split())]
    return [(work / f"w{i}.wav", segs.get(i, [])) for i in range(len(words))]


def main():
    numbers = [int(a) for a in sys.argv[1:]]
    manifest = json.loads(make_recordings.MANIFEST.read_text(encoding="utf-8"))
    with tempfile.TemporaryDirectory() as tmp:
        work = pathlib.Path(tmp)
        point = work / "point.praat"
        point.write_text(POINT, encoding="utf-8")
        for n in numbers:
            code = make_recordings.SOUNDS[n][0]
            spoken = manifest[str(n)]["examples"]["words"]
            words = [w["word"] for w in spoken if w["voice"].startswith("festival")]
            vowels = {seq.split()[0] for seq in make_recordings.FESTIVAL_SOUND[code]}
            good = 0
            for word, (wav, segs) in zip(words, festival_with_times(words, work)):
                seg = next((s for s in segs if s[0] in vowels), None)
                if seg is None:
                    print(f"{n:2} {word:10} no vowel segment")
                    continue
                out = subprocess.run(["praat", "--run", str(point), str(wav),
                                      str((seg[1] + seg[2]) / 2)], check=True,
                                     capture_output=True, text=True).stdout.split()
                f = (float(out[0]), float(out[1]))
                near = min(WOMEN, key=lambda v: vowel_space.point_distance(f, WOMEN[v]))
                want = EXPECTED.get(n)
                ok = want is None or near == want
                good += ok
                print(f"{n:2} {word:10} {seg[0]:3} {f[0]:5.0f}/{f[1]:5.0f}  nearest {near} "
                      f"{vowel_space.point_distance(f, WOMEN[near]):.2f}"
                      + (f"  own {want} {vowel_space.point_distance(f, WOMEN[want]):.2f}"
                         if want else "") + ("" if ok else "  <-"))
            print(f"{n:2}: {good} of {len(words)} Festival words nearest their vowel")


if __name__ == "__main__":
    main()
