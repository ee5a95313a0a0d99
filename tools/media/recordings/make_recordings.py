#!/usr/bin/python3
"""Makes the 90 lesson recordings in assets/pho/ with offline speech synthesis.

Inputs: the example words of tools/media/lessons/examples.json (the single list of
what each n-n.mp3 says) and the sound table below. Outputs, for symbol n = 0..44:
  n.mp3    the symbol's sound in a male model voice made by formant synthesis: a vowel said
           twice, a consonant alone and then in a syllable with ɑː, with a short gap;
  n-n.mp3  the example words in their listed order with short gaps (Festival's
           us-slt voice, or espeak-ng for a word whose Festival phones miss the sound);
  n-n.json the word index of n-n.mp3: each word with the seconds where it starts and ends,
           found from the encoded file's silences;
and manifest.json beside this script: voice, formants or phones and words of every file; for a
checked word also where its vowel's middle lies in the recording (vowel_at, s) and, when it
was off target, Praat's F1/F2 before (vowel_measured) and after the move (vowel_made), or
vowel_not_moved when no move landed clearly on target.

Levels: every recording is brought to one speech loudness (RMS of the voiced parts)
with the peak held below -1.4 dBFS so that the encoder's ripple cannot clip; lead-in
and tail are cut to 0.04 s of silence before encoding.

Before writing anything it checks that espeak-ng's transcription of every example
word contains the symbol's sound, and that every synthesised piece is audible. A Festival
word whose stressed vowel Praat measures nearer another monophthong's target than its own
(the practice chart's women's targets) has that vowel moved to its own (vowel_shift.py).

To measure what it made: measure_vowels.py (the symbol recordings, with Praat) and
measure_examples.py N ... (the vowels of Festival's example words).

Usage: make_recordings.py [--only N ...] [--symbols-only] [--out-dir DIR]
       make_recordings.py --check   (only the word checks against the committed manifest)
       make_recordings.py --index-only [--only N ...]   (word indexes of the committed files)
Needs espeak-ng, festival with festvox-us-slt-hts, praat, sox, lame, ffmpeg and python3-numpy;
--check only espeak-ng; --index-only ffmpeg and python3-numpy.
"""

import argparse
import functools
import json
import math
import pathlib
import re
import subprocess
import sys
import tempfile
import wave

import numpy

sys.dont_write_bytecode = True
sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import consonant_models  # noqa: E402
import vowel_models  # noqa: E402
import vowel_shift  # noqa: E402
import vowel_space  # noqa: E402

HERE = pathlib.Path(__file__).resolve().parent
ROOT = HERE.parents[2]
LESSONS = ROOT / "tools" / "media" / "lessons" / "examples.json"
MANIFEST = HERE / "manifest.json"
VOWEL_TARGETS = ROOT / "assets" / "pho" / "vowels.json"

# Symbol codes in catalogue order. The symbol recordings are formant synthesis (vowel_models,
# consonant_models); the codes name the sounds the example words must contain.
SOUNDS = [(code,) for code in (
    "i e A Q C u E i: B: C: u: E: ei ai Ci iE ZE CE uE Eu au "
    "p t k f W s F h tF b d g v T z V m n N l r j w dV").split()]

# What espeak-ng -x (en-us) writes for each sound inside words.
ESPEAK_SOUND = {
    "i": {"I", "I2", "I#", "i"}, "e": {"E"}, "A": {"a", "aa"}, "Q": {"V"}, "C": {"0"},
    "u": {"U"}, "E": {"@", "a#", "3"}, "i:": {"i:"}, "B:": {"A:", "A@"},
    "C:": {"O:", "O@"}, "u:": {"u:"}, "E:": {"3:"}, "ei": {"eI"}, "ai": {"aI"},
    "Ci": {"OI"}, "iE": {"i@", "i@3"}, "ZE": {"e@"}, "CE": {"o@", "O@"}, "uE": {"U@"},
    "Eu": {"oU", "@U"}, "au": {"aU"}, "W": {"T"}, "F": {"S"}, "tF": {"tS"}, "T": {"D"},
    "V": {"Z"}, "N": {"N"}, "dV": {"dZ"}, "t": {"t", "t2"}, "l": {"l", "@L"},
}
ESPEAK_TOKENS = sorted(
    {"i@3", "aI@", "aU@", "tS", "dZ", "eI", "aI", "OI", "oU", "@U", "aU", "i@", "e@",
     "o@", "O@", "U@", "A@", "A:", "O:", "i:", "u:", "3:", "@L", "a#", "I#", "I2", "t2",
     "O2", "aa", "e#"}, key=len, reverse=True)

# Festival's phones (US radio set) that say each sound; a word passes when one of
# the sequences occurs in its phones. ɒ has no American vowel of its own, so its words
# may take ɑ; an ɔː word said with ɑ (the voice merges "caught" with "cot") may not.
FESTIVAL_SOUND = {
    "i": ["ih"], "e": ["eh"], "A": ["ae"], "Q": ["ah"], "C": ["aa", "ao"], "u": ["uh"],
    "E": ["ax", "ah", "er"], "i:": ["iy"], "B:": ["aa"], "C:": ["ao"],
    "u:": ["uw"], "E:": ["er"], "ei": ["ey"], "ai": ["ay"], "Ci": ["oy"],
    "iE": ["ih r", "iy r", "iy ax", "iy ah"], "ZE": ["eh r", "ey r", "ae r"],
    "CE": ["ao r", "ow r"], "uE": ["uh r", "uw r", "er"], "Eu": ["ow"], "au": ["aw"],
    "p": ["p"], "t": ["t"], "k": ["k"], "f": ["f"], "W": ["th"], "s": ["s"], "F": ["sh"],
    "h": ["hh"], "tF": ["ch"], "b": ["b"], "d": ["d"], "g": ["g"], "v": ["v"],
    "T": ["dh"], "z": ["z"], "V": ["zh"], "m": ["m"], "n": ["n"], "N": ["ng"],
    "l": ["l"], "r": ["r"], "j": ["y"], "w": ["w"], "dV": ["jh"],
}

# Most recordings are MPEG-1 44.1 kHz joint stereo; these exercise the decoder's
# single-channel and MPEG-2 (22.05 kHz) paths as well.
MONO = {"3.mp3", "10.mp3", "17.mp3", "24.mp3", "31.mp3", "38.mp3", "41.mp3",
        "5-5.mp3", "12-12.mp3", "19-19.mp3", "26-26.mp3", "33-33.mp3", "40-40.mp3"}
LOW_RATE = {"6.mp3", "13.mp3", "20.mp3", "27.mp3", "34.mp3", "41.mp3",
            "2-2.mp3", "9-9.mp3", "16-16.mp3", "23-23.mp3", "30-30.mp3", "37-37.mp3",
            "44-44.mp3"}

VOWELS = 21  # symbols 0..20 are vowels, modelled by formant synthesis

FALLBACK_VOICE = "en-us+f3"  # for words Festival does not say right

# Symbols whose Festival words have their vowel measured against the women's targets of the
# practice chart's monophthongs (the example voice is a woman's), and moved to the symbol's own
# target when it lies nearer another's. ɒ is left as said: the American voice gives its words ɑ,
# as the lessons note. ə is unstressed and varies by nature.
MOVABLE_VOWELS = {0, 1, 2, 3, 5, 7, 8, 9, 10, 11, 17}

SYMBOL_GAP = 0.5     # seconds between the two sayings of a sound
WORD_GAP = 0.45      # seconds between example words
EDGE = 0.04          # silence kept before and after
TARGET_RMS = 0.1     # about -20 dBFS over the voiced parts
PEAK_LIMIT = 0.85    # -1.4 dBFS
QUIET_DB = "-45d"    # below this a piece's edge counts as silence
FADE = 0.006         # seconds of ramp at each cut
# A word's span reaches this far into the silence round it: the player's decoder may start a
# few milliseconds later than the encoder's timing, and a cut at the very edge clips a word.
SPAN_MARGIN = 0.06


# sox dithers to 16 bits with fresh noise each run unless told to repeat itself.
SOX = ["sox", "-R"]


def run(args, **kw):
    return subprocess.run(args, check=True, capture_output=True, text=True, **kw)


def stats(wav: pathlib.Path) -> tuple[float, float, float]:
    """(duration s, peak, RMS) of a sound file, as sox measures them."""
    out = run([*SOX, str(wav), "-n", "stat"]).stderr
    value = {m.group(1).strip(): float(m.group(2))
             for m in re.finditer(r"^([A-Za-z ()]+):\s+(-?[\d.e+-]+|nan)$", out, re.M)}
    peak = max(abs(value["Maximum amplitude"]), abs(value["Minimum amplitude"]))
    return value["Length (seconds)"], peak, value["RMS     amplitude"]


def trim(src: pathlib.Path, dst: pathlib.Path) -> None:
    """Mono 44.1 kHz float copy without leading or trailing silence."""
    run([*SOX, str(src), "-b", "32", "-e", "floating-point", "-c", "1", str(dst),
         "rate", "-v", "44100",
         # each cut lands mid-wave: without a ramp a piece starts and ends with a click
         "silence", "1", "0.005", QUIET_DB, "fade", "h", f"{FADE}", "reverse",
         "silence", "1", "0.005", QUIET_DB, "fade", "h", f"{FADE}", "reverse"])
    length, peak, _ = stats(dst)
    if length < 0.05 or peak < 0.01:
        raise SystemExit(f"{src.name}: synthesised piece is silent")


def leading_silence(src: pathlib.Path, work: pathlib.Path) -> float:
    """Seconds that trim() cuts from the front of src."""
    front = work / "front.wav"
    run([*SOX, str(src), str(front), "silence", "1", "0.005", QUIET_DB])
    return stats(src)[0] - stats(front)[0]


def espeak_tokens(transcription: str) -> list[str]:
    text = transcription.replace("'", "").replace(",", "")
    tokens, i = [], 0
    while i < len(text):
        token = next((t for t in ESPEAK_TOKENS if text.startswith(t, i)), text[i])
        tokens.append(token)
        i += len(token)
    return tokens


def check_words_have_sound(code: str, words: list[str]) -> list[str]:
    """espeak-ng's transcription of each word; exits when one lacks the sound."""
    lines = run(["espeak-ng", "-q", "-x", "-v", "en-us"], input="\n".join(words)).stdout.split()
    if len(lines) != len(words):
        raise SystemExit(f"espeak-ng gave {len(lines)} transcriptions for {words}")
    wanted = ESPEAK_SOUND.get(code, {code})
    for word, line in zip(words, lines):
        if not wanted & set(espeak_tokens(line)):
            raise SystemExit(f"\"{word}\" ({line}) lacks the sound of \"{code}\"")
    return lines


def espeak(voice: str, text: str, wav: pathlib.Path, speed: int = 130) -> None:
    run(["espeak-ng", "-v", voice, "-s", str(speed), "-w", str(wav), text])


def festival(words: list[str], work: pathlib.Path) -> list[tuple[pathlib.Path, list]]:
    """Says each word with the us-slt voice; returns its wave file and segments, each
    (phone, start s, end s)."""
    script = ["(voice_cmu_us_slt_arctic_hts)"]
    out = []
    for i, word in enumerate(words):
        wav = work / f"fest{i}.wav"
        quoted = word.replace("\\", "").replace('"', "")
        script.append(
            f'(set! u (utt.synth (Utterance Text "{quoted}")))'
            f'(utt.save.wave u "{wav}" \'riff)'
            f'(format t "PHONES{i}:")'
            "(mapcar (lambda (s) (format t \" %s/%s/%s\" (item.name s)"
            " (item.feat s 'segment_start) (item.feat s 'end)))"
            " (utt.relation.items u 'Segment))"
            '(format t "\\n")')
        out.append(wav)
    scm = work / "words.scm"
    scm.write_text("\n".join(script) + "\n", encoding="utf-8")
    printed = run(["festival", "-b", str(scm)]).stdout
    segments = {int(m.group(1)): [(p, float(a), float(b)) for p, a, b in
                                  (s.split("/") for s in m.group(2).split())]
                for m in re.finditer(r"^PHONES(\d+):(.*)$", printed, re.M)}
    return [(wav, segments.get(i, [])) for i, wav in enumerate(out)]


def says_sound(code: str, phones: list[str]) -> bool:
    said = " " + " ".join(phones) + " "
    return any(f" {seq} " in said for seq in FESTIVAL_SOUND[code])


def assemble(pieces: list[pathlib.Path], gap: float, work: pathlib.Path, name: str,
             out_dir: pathlib.Path) -> dict:
    """Joins the trimmed pieces with gaps, levels, encodes; returns the file's facts."""
    voiced = work / f"{name}.voiced.wav"
    run([*SOX, *map(str, pieces), str(voiced)])
    _, peak, rms = stats(voiced)
    gain = min(TARGET_RMS / rms, PEAK_LIMIT / peak)

    silence = work / "gap.wav"
    run([*SOX, "-n", "-r", "44100", "-c", "1", "-b", "32", "-e", "floating-point",
         str(silence), "trim", "0", f"{gap}"])
    sequence = []
    for i, piece in enumerate(pieces):
        if i:
            sequence.append(silence)
        sequence.append(piece)

    mono = name in MONO
    rate = 22050 if name in LOW_RATE else 44100
    final = work / f"{name}.wav"
    run([*SOX, *map(str, sequence), "-b", "16", "-c", "1" if mono else "2", str(final),
         "vol", f"{gain:.6f}", "rate", "-v", str(rate), "pad", f"{EDGE}", f"{EDGE}"])
    duration, peak, rms = stats(final)

    bitrate = 64 if (mono or rate < 32000) else 96
    mp3 = out_dir / name
    # lame would pick a lower sample rate for some bit rates on its own.
    run(["lame", "--quiet", "--noreplaygain", "--resample", f"{rate / 1000:g}", "-b", str(bitrate),
         "-m", "m" if mono else "j", str(final), str(mp3)])
    return {
        "file": name,
        "mpeg": "MPEG-2" if rate < 32000 else "MPEG-1",
        "sample_rate": rate,
        "channels": "mono" if mono else "joint stereo",
        "kbps": bitrate,
        "duration": round(duration, 3),
        "peak_dbfs": round(20 * math.log10(peak), 1),
        "rms_dbfs": round(20 * math.log10(rms), 1),
    }


def make_symbol(n: int, work: pathlib.Path, out_dir: pathlib.Path) -> dict:
    code = SOUNDS[n][0]
    pieces = [work / f"{n}.model{saying}.wav" for saying in range(2)]
    if n < VOWELS:
        for saying, piece in enumerate(pieces):
            vowel_models.write_wav(piece, vowel_models.model(n, saying))
        facts = assemble(pieces, SYMBOL_GAP, work, f"{n}.mp3", out_dir)
        onset, offset, _ = vowel_models.targets()[n]
        facts.update(voice="formant synthesis",
                     formants=[round(f) for f in onset] + ([round(f) for f in offset]
                                                          if offset != onset else []))
        return facts
    vowel_models.write_wav(pieces[0], consonant_models.consonant_alone(code, 2000 + 2 * n))
    vowel_models.write_wav(pieces[1], consonant_models.syllable(code, 2001 + 2 * n))
    facts = assemble(pieces, SYMBOL_GAP, work, f"{n}.mp3", out_dir)
    facts.update(voice="formant synthesis", said="alone, then in a syllable with ɑː")
    return facts


@functools.cache
def women_targets() -> dict[int, tuple]:
    """Monophthong symbol -> (F1, F2) of the practice chart's women's target."""
    vowels = json.loads(VOWEL_TARGETS.read_text(encoding="utf-8"))["vowels"]
    return {v["n"]: tuple(v["women"]["onset"]) for v in vowels if not v["diphthong"]}


def read_wav(path: pathlib.Path):
    """(rate, samples in -1..1) of a 16-bit mono WAV such as Festival writes."""
    with wave.open(str(path)) as w:
        if w.getsampwidth() != 2 or w.getnchannels() != 1:
            raise SystemExit(f"{path.name}: expected 16-bit mono")
        data = numpy.frombuffer(w.readframes(w.getnframes()), "<i2")
        return w.getframerate(), data.astype(numpy.float64) / 32768.0


def write_pcm16(path: pathlib.Path, rate: int, x) -> None:
    """A word back in Festival's own format and level, so that trim() cuts it as it cuts the
    words that were not moved."""
    pcm = numpy.clip(numpy.round(x * 32768.0), -32768, 32767).astype("<i2")
    with wave.open(str(path), "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(pcm.tobytes())


def nearest_target(f: tuple, targets: dict) -> int:
    return min(targets, key=lambda v: vowel_space.point_distance(f, targets[v]))


def vowel_segment(code: str, segments: list):
    """The first of Festival's segments that says the symbol's vowel."""
    phones = {seq.split()[0] for seq in FESTIVAL_SOUND[code]}
    return next((s for s in segments if s[0] in phones), None)


PRAAT_POINT = """form P
    sentence file
    real time
endform
Read from file: file$
To Formant (burg): 0.005, 5, 5500, 0.025, 50
a = Get value at time: 1, time, "hertz", "linear"
b = Get value at time: 2, time, "hertz", "linear"
writeInfoLine: fixed$(a, 0), " ", fixed$(b, 0)
"""


def praat_formants(wav: pathlib.Path, time: float) -> tuple:
    """F1, F2 at a time, by Praat's Burg tracker with a woman's 5500 Hz ceiling."""
    script = wav.with_suffix(".praat")
    script.write_text(PRAAT_POINT, encoding="utf-8")
    out = run(["praat", "--run", str(script), str(wav), str(time)]).stdout.split()
    return float(out[0]), float(out[1])


ON_TARGET_BARK = 0.3   # a moved vowel counts as on its target this near
MOVES = 5              # tries, each aiming by how far the last one landed from the target
CLEAR_BARK = 0.3       # how much nearer its own target than any other a moved vowel must be


def vowel_on_target(n: int, wav: pathlib.Path, segment, moved: pathlib.Path):
    """The word's wave, with its vowel (Festival's segment) moved to the symbol's target when it
    lies nearer another monophthong's; and what was measured and done, for the manifest. Both
    judgements are Praat's at the vowel's middle, the measurement the lessons' figures use."""
    if n not in MOVABLE_VOWELS or segment is None:
        return wav, {}
    targets = women_targets()
    target = targets[n]
    _, start, end = segment
    middle = (start + end) / 2
    measured = praat_formants(wav, middle)
    if nearest_target(measured, targets) == n:
        return wav, {}
    rate, x = read_wav(wav)
    aim, best = target, None
    for _ in range(MOVES):
        write_pcm16(moved, rate, vowel_shift.shift(x, rate, start, end, aim))
        landed = praat_formants(moved, middle)
        miss = vowel_space.point_distance(landed, target)
        if best is None or miss < best[0]:
            best = (miss, landed, moved.read_bytes())
        if miss <= ON_TARGET_BARK:
            break
        # half way: where a broad F2 lands near F1 is not proportional to where it is aimed
        aim = tuple(a * math.sqrt(t / f) for a, t, f in zip(aim, target, landed))
    made = [round(f) for f in best[1]]
    others = min(vowel_space.point_distance(best[1], targets[v]) for v in targets if v != n)
    if best[0] + CLEAR_BARK > others:
        # a move that lands nearer another vowel's target, or on the border, would only swap one
        # fault for another
        return wav, {"vowel_measured": [round(f) for f in measured], "vowel_not_moved": made}
    moved.write_bytes(best[2])
    return moved, {"vowel_measured": [round(f) for f in measured], "vowel_made": made}


def make_examples(n: int, entry: dict, work: pathlib.Path, out_dir: pathlib.Path) -> dict:
    code = SOUNDS[n][0]
    words = [w["word"] for w in entry["words"]]
    transcriptions = check_words_have_sound(code, words)
    pieces, spoken, vowel_in_piece = [], [], []
    for i, (wav, segments) in enumerate(festival(words, work)):
        piece = work / f"{n}-word{i}.wav"
        phones = [s[0] for s in segments]
        moved, vowel = {}, None
        if wav.exists() and says_sound(code, phones):
            engine = "festival us-slt"
            segment = vowel_segment(code, segments)
            wav, moved = vowel_on_target(n, wav, segment, work / f"{n}-moved{i}.wav")
            if n in MOVABLE_VOWELS and segment:
                vowel = (segment[1] + segment[2]) / 2 - leading_silence(wav, work)
        else:
            # a female variant, so that the voice does not change sex mid-recording
            wav = work / f"{n}-espeak{i}.wav"
            espeak(FALLBACK_VOICE, words[i], wav)
            engine = f"espeak-ng {FALLBACK_VOICE}"
        trim(wav, piece)
        pieces.append(piece)
        vowel_in_piece.append(vowel)
        spoken.append({"word": words[i], "voice": engine, "festival": " ".join(phones),
                       "espeak": transcriptions[i], **moved})
    facts = assemble(pieces, WORD_GAP, work, f"{n}-{n}.mp3", out_dir)
    # where each checked vowel's middle lies in the recording, for the tests that measure it
    at = EDGE
    for piece, vowel, said in zip(pieces, vowel_in_piece, spoken):
        if vowel is not None:
            said["vowel_at"] = round(at + vowel, 3)
        at += stats(piece)[0] + WORD_GAP
    # from the encoded file, as --index-only finds them: the encoder's delay moves every word
    write_index_of(out_dir / f"{n}-{n}.mp3", words)
    facts.update(words=spoken)
    return facts


def write_index(path: pathlib.Path, words: list[str], spans: list, duration: float) -> None:
    """The words and where each is said, widened by SPAN_MARGIN but never past the middle of
    the gap to the next word."""
    if len(spans) != len(words):
        raise SystemExit(f"{path.name}: {len(spans)} spoken pieces for {len(words)} words")
    entries = []
    for i, (word, (start, end)) in enumerate(zip(words, spans)):
        low = (spans[i - 1][1] + start) / 2 if i else 0.0
        high = (end + spans[i + 1][0]) / 2 if i + 1 < len(spans) else duration
        entries.append({"word": word, "start": round(max(low, start - SPAN_MARGIN), 3),
                        "end": round(min(high, end + SPAN_MARGIN), 3)})
    text = json.dumps({"file": path.with_suffix(".mp3").name, "duration": duration,
                       "words": entries}, ensure_ascii=False, indent=1)
    path.write_text(text + "\n", encoding="utf-8")


def spoken_spans(mp3: pathlib.Path, min_gap: float) -> tuple[list, float]:
    """Stretches of sound in a committed recording, split at silences of min_gap seconds or
    more (the gaps between words are WORD_GAP; a stop's closure inside a word is far shorter)."""
    rate, hop = 16000, 160
    raw = subprocess.run(["ffmpeg", "-v", "error", "-i", str(mp3), "-ac", "1", "-ar", str(rate),
                          "-f", "f32le", "-"], check=True, capture_output=True).stdout
    x = numpy.frombuffer(raw, dtype=numpy.float32)
    frames = len(x) // hop
    power = (x[:frames * hop].reshape(frames, hop).astype(numpy.float64) ** 2).mean(axis=1)
    # the words were cut where they fell below -45 dB; the gaps hold only the encoder's noise
    loud = power > power.max() * 10 ** (-50 / 10)
    spans, start, quiet = [], None, 0
    for i, on in enumerate(loud):
        if on:
            if start is None:
                start = i
            quiet = 0
            last = i
        elif start is not None:
            quiet += 1
            if quiet * hop / rate >= min_gap:
                spans.append((start * hop / rate, (last + 1) * hop / rate))
                start = None
    if start is not None:
        spans.append((start * hop / rate, (last + 1) * hop / rate))
    return spans, round(len(x) / rate, 3)


def write_index_of(mp3: pathlib.Path, words: list[str]) -> None:
    """The word index beside an example recording, found from its silences."""
    spans, duration = spoken_spans(mp3, WORD_GAP * 0.6)
    write_index(mp3.with_suffix(".json"), words, spans, duration)


def make_indexes(lessons: list, numbers, out_dir: pathlib.Path) -> None:
    """Word indexes of the committed example recordings."""
    for n in numbers:
        write_index_of(out_dir / f"{n}-{n}.mp3", [w["word"] for w in lessons[n]["words"]])
    print(f"{len(list(numbers))} word indexes written")


def check(lessons: list) -> None:
    """Every example word has the sound, and the recordings say today's word lists."""
    manifest = json.loads(MANIFEST.read_text(encoding="utf-8"))
    stale = []
    for n, entry in enumerate(lessons):
        words = [w["word"] for w in entry["words"]]
        check_words_have_sound(SOUNDS[n][0], words)
        spoken = [w["word"] for w in manifest.get(str(n), {}).get("examples", {}).get("words", [])]
        if spoken != words:
            stale.append(n)
    if stale:
        raise SystemExit(f"recordings say other words than the lessons: remake --only {stale}")
    print(f"{len(lessons)} word lists checked")


def load_lessons() -> list:
    lessons = json.loads(LESSONS.read_text(encoding="utf-8"))
    if [e["code"] for e in lessons] != [s[0] for s in SOUNDS]:
        raise SystemExit(f"{LESSONS}: codes differ from the sound table")
    return lessons


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--only", type=int, nargs="*", help="symbol numbers to remake")
    parser.add_argument("--out-dir", type=pathlib.Path, default=ROOT / "assets" / "pho")
    parser.add_argument("--symbols-only", action="store_true",
                        help="remake only the symbol recordings n.mp3, keep the examples")
    parser.add_argument("--index-only", action="store_true",
                        help="write the word indexes n-n.json of the committed recordings")
    parser.add_argument("--check", action="store_true",
                        help="check the lesson words and the manifest, make nothing")
    args = parser.parse_args()

    lessons = load_lessons()
    if args.check:
        check(lessons)
        return
    numbers = args.only if args.only else range(len(SOUNDS))
    if args.index_only:
        make_indexes(lessons, numbers, args.out_dir)
        return

    manifest = {}
    if MANIFEST.exists() and (args.only or args.symbols_only):
        manifest = {int(k): v for k, v in json.loads(MANIFEST.read_text()).items()}
    args.out_dir.mkdir(parents=True, exist_ok=True)
    with tempfile.TemporaryDirectory(prefix="sonavix-rec-") as tmp:
        for n in numbers:
            work = pathlib.Path(tmp) / str(n)
            work.mkdir()
            examples = (manifest[n]["examples"] if args.symbols_only
                        else make_examples(n, lessons[n], work, args.out_dir))
            manifest[n] = {
                "code": SOUNDS[n][0],
                "symbol": make_symbol(n, work, args.out_dir),
                "examples": examples,
            }
            print(f"{n:2} {SOUNDS[n][0]:3} done", file=sys.stderr)
    MANIFEST.write_text(
        json.dumps({str(k): manifest[k] for k in sorted(manifest)}, ensure_ascii=False,
                   indent=1) + "\n", encoding="utf-8")


if __name__ == "__main__":
    main()
