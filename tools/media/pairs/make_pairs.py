#!/usr/bin/python3
"""Makes the minimal-pair drill content in assets/pairs/ with offline speech synthesis.

Inputs: the contrasts of pair_data.py, the recogniser's pronunciation dictionary, and
build/bin/sonavix-recognise. Outputs:
  assets/pairs/voices/VOICE/WORD.mp3  every word in each voice (mono, 22.05 kHz);
  assets/pairs/manifest.json          contrasts, pairs, words (symbol codes, model phones,
                                      gloss) and every file's voice and figures.

A voice is only a directory of recordings named by word, so recordings of a real speaker can be
added as assets/pairs/voices/NAME/ and are checked and listed like the synthetic ones; such
directories are never overwritten.

Every recording is checked: its level (speech RMS and peak), that it does not clip, that it starts
and ends in silence, and that the recogniser, made to choose between the two words of each pair
the word is in, leans to the word itself. A recording that leans to the other word is not used in
that pair; a pair left with fewer than MIN_VOICES voices in which both words pass is replaced by
the contrast's next candidate.

The manifest's "checks" give, for each pair and voice, each word's recogniser margin against its
pair (positive: heard as itself) and the verdict at the recogniser's own threshold.

Usage: make_pairs.py [--recogniser PATH] [--out DIR] [--jobs N]
       make_pairs.py --check-voice DIR   (only the checks, on one voice directory, writes nothing)
Needs festival (us-slt-hts, kal, ked voices), flite, sox, lame and a built sonavix-recognise.
"""

import argparse
import concurrent.futures
import json
import math
import os
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile

import numpy as np

HERE = pathlib.Path(__file__).resolve().parent
ROOT = HERE.parents[2]
sys.path.insert(0, str(HERE))
sys.path.insert(0, str(ROOT / "tools" / "media" / "lessons"))

import pair_data  # noqa: E402
from lesson_data import CODES, LessonError, join_codes  # noqa: E402

DICTIONARY = pathlib.Path("/usr/share/pocketsphinx/model/en-us/cmudict-en-us.dict")

# id, engine, what the engine calls it
VOICES = [
    ("festival-slt", "festival", "voice_cmu_us_slt_arctic_hts"),
    ("festival-kal", "festival", "voice_kal_diphone"),
    ("festival-ked", "festival", "voice_ked_diphone"),
    ("flite-slt", "flite", "slt"),
    ("flite-rms", "flite", "rms"),
    ("flite-kal16", "flite", "kal16"),
]

RATE = 22050
KBPS = 40            # MPEG-2 mono: clean for speech at about 5 KB a second
EDGE = 0.05          # seconds of silence kept before and after
TARGET_RMS_DB = -20.0
PEAK_LIMIT_DB = -1.5
QUIET_DB = -45.0     # below this (dBFS) a frame is silence
FADE = 0.006
MIN_VOICES = 3       # voices in which both words of a pair must pass
MAX_PAIRS = 10       # pairs kept per contrast
MIN_PAIRS = 8

# Limits of the checks on the encoded file.
CHECK_PEAK_DB = -0.5
CHECK_RMS_DB = (-26.0, -14.0)
CHECK_EDGE = 0.02    # seconds of silence wanted at each end
CHECK_DURATION = (0.15, 2.5)
MARGIN_CAP = 99.0    # listed in place of an infinite margin


def run(args, **kw):
    return subprocess.run(args, check=True, capture_output=True, text=True, **kw)


# ---------------------------------------------------------------------------------------------
# Transcriptions

CONSONANTS = {
    "B": "b", "CH": "tF", "D": "d", "DH": "T", "F": "f", "G": "g", "HH": "h", "JH": "dV",
    "K": "k", "L": "l", "M": "m", "N": "n", "NG": "N", "P": "p", "R": "r", "S": "s", "SH": "F",
    "T": "t", "TH": "W", "V": "v", "W": "w", "Y": "j", "Z": "z", "ZH": "V",
}
VOWELS = {"AA": "C", "AE": "A", "AH": "Q", "AO": "C:", "AW": "au", "AY": "ai", "EH": "e",
          "ER": "E:", "EY": "ei", "IH": "i", "IY": "i:", "OW": "Eu", "OY": "Ci", "UH": "u",
          "UW": "u:"}
# Before r the lesson symbols have vowels of their own (car, here, hair, door, tour).
BEFORE_R = {"AA": "B:", "IH": "iE", "IY": "iE", "EH": "ZE", "AE": "ZE", "AO": "CE", "OW": "CE",
            "UH": "uE", "UW": "uE"}


def load_dictionary():
    prons = {}
    for line in DICTIONARY.read_text(encoding="utf-8").splitlines():
        parts = line.split()
        if not parts:
            continue
        word = re.sub(r"\(\d+\)$", "", parts[0])
        prons.setdefault(word, []).append(" ".join(parts[1:]))
    return prons


def codes_of(word, phones):
    """Symbol codes of a one-syllable word from the model's phones."""
    if word in pair_data.OVERRIDES:
        return pair_data.OVERRIDES[word]
    p = phones.split()
    if sum(1 for x in p if x in VOWELS) != 1:
        raise SystemExit(f"{word} ({phones}): not one syllable; give its codes in OVERRIDES")
    out = []
    for i, ph in enumerate(p):
        nxt = p[i + 1] if i + 1 < len(p) else ""
        if ph == "ER":
            out += ["E:", "r"]
        elif ph == "AO" and nxt == "NG":
            out.append("C")  # long, song: ɒ before ŋ
        elif ph in VOWELS:
            out.append(BEFORE_R[ph] if nxt == "R" and ph in BEFORE_R else VOWELS[ph])
        else:
            out.append(CONSONANTS[ph])
    return " ".join(out)


def substitution(a, b):
    """The differing middle of two code sequences, and where it stands."""
    a, b = a.replace("'", "").split(), b.replace("'", "").split()
    i = 0
    while i < min(len(a), len(b)) and a[i] == b[i]:
        i += 1
    j = 0
    while j < min(len(a), len(b)) - i and a[-1 - j] == b[-1 - j]:
        j += 1
    mid_a, mid_b = a[i:len(a) - j], b[i:len(b) - j]
    return " ".join(mid_a), " ".join(mid_b), i == 0, j == 0


def choose_pronunciations(contrast, wa, wb, prons):
    """(phones A, codes A, phones B, codes B) whose difference is the contrast, or None."""
    cid, _, _, _, _, subs, _ = contrast
    for pa in prons.get(wa, []):
        for pb in prons.get(wb, []):
            ca, cb = codes_of(wa, pa), codes_of(wb, pb)
            ma, mb, at_start, at_end = substitution(ca, cb)
            if (ma, mb) not in subs:
                continue
            if cid in pair_data.AT_START and not at_start:
                continue
            if cid in pair_data.AT_END and not at_end:
                continue
            return pa, ca, pb, cb
    return None


def parse_contrasts(prons):
    """Contrasts with their candidate pairs resolved; words with phones, codes and gloss."""
    words, contrasts, errors = {}, [], []
    for contrast in pair_data.CONTRASTS:
        cid, sa, sb, title, note, _, text = contrast
        for code in (sa, sb):
            if code and code not in CODES and code != "C":
                raise SystemExit(f"{cid}: unknown symbol code {code}")
        candidates = []
        for line in text.strip().splitlines():
            left, right = (part.split(maxsplit=1) for part in line.split(" / "))
            (wa, ga), (wb, gb) = left, right
            # The drill refuses a manifest whose words cannot be file names (who'd, o'clock).
            for w in (wa, wb):
                if not re.fullmatch(r"[A-Za-z0-9_][A-Za-z0-9_.-]{0,63}", w):
                    raise SystemExit(f"{cid}: {w} cannot name a recording file")
            chosen = choose_pronunciations(contrast, wa, wb, prons)
            if not chosen:
                errors.append(f"{cid}: {wa}/{wb} is not a minimal pair of this contrast "
                              f"({prons.get(wa)} / {prons.get(wb)})")
                continue
            pa, ca, pb, cb = chosen
            for w, g, ph, c in ((wa, ga, pa, ca), (wb, gb, pb, cb)):
                try:
                    join_codes(c.split(), w)
                except LessonError as e:
                    raise SystemExit(str(e))
                entry = {"codes": c, "phones": ph, "zh": g}
                if w in words and (words[w]["phones"], words[w]["codes"]) != (ph, c):
                    raise SystemExit(f"{w}: pronounced two ways ({words[w]['phones']} / {ph})")
                if w in words and words[w]["zh"] != g:
                    raise SystemExit(f"{w}: two glosses ({words[w]['zh']} / {g})")
                words[w] = entry
            candidates.append((wa, wb))
        contrasts.append({"id": cid, "a": sa, "b": sb, "title": title, "zh": note,
                          "candidates": candidates})
    if errors:
        raise SystemExit("\n".join(errors))
    return contrasts, words


# ---------------------------------------------------------------------------------------------
# Synthesis and levels

def synthesise_festival(voice_fn, words, work):
    script = [f"({voice_fn})"]
    for w in words:
        script.append(f'(utt.save.wave (utt.synth (Utterance Text "{w}")) "{work / w}.raw.wav" '
                      "'riff)")
    scm = work / f"{voice_fn}.scm"
    scm.write_text("\n".join(script) + "\n", encoding="utf-8")
    run(["festival", "-b", str(scm)])


def synthesise_flite(voice, word, work):
    run(["flite", "-voice", voice, "-t", word, "-o", str(work / f"{word}.raw.wav")])


def read_float(path):
    """Mono float samples at RATE, through sox."""
    raw = subprocess.run(["sox", "-R", str(path), "-t", "f32", "-c", "1", "-", "rate", "-v",
                          str(RATE)], check=True, capture_output=True).stdout
    return np.frombuffer(raw, dtype=np.float32).astype(np.float64)


def frame_db(x, hop=int(0.01 * RATE)):
    n = max(1, len(x) // hop)
    frames = x[:n * hop].reshape(n, hop)
    rms = np.sqrt(np.mean(frames ** 2, axis=1) + 1e-20)
    return 20 * np.log10(rms), hop


def figures(x):
    """Level and silence figures of a recording as the checks see them."""
    db, hop = frame_db(x)
    voiced = db > QUIET_DB
    if not voiced.any():
        return {"duration": round(len(x) / RATE, 3), "peak_dbfs": -120.0, "rms_dbfs": -120.0,
                "lead": 0.0, "tail": 0.0, "clipped": 0}
    first, last = int(np.argmax(voiced)), len(voiced) - 1 - int(np.argmax(voiced[::-1]))
    speech = x[first * hop:(last + 1) * hop]
    peak = float(np.max(np.abs(x)))
    return {
        "duration": round(len(x) / RATE, 3),
        "peak_dbfs": round(20 * math.log10(max(peak, 1e-6)), 1),
        "rms_dbfs": round(20 * math.log10(float(np.sqrt(np.mean(speech ** 2))) + 1e-12), 1),
        "lead": round(first * hop / RATE, 3),
        "tail": round((len(voiced) - 1 - last) * hop / RATE, 3),
        "clipped": int(np.sum(np.abs(x) >= 0.999)),
    }


def level_and_trim(x):
    db, hop = frame_db(x)
    voiced = np.nonzero(db > QUIET_DB)[0]
    if len(voiced) == 0:
        return None
    start, end = voiced[0] * hop, (voiced[-1] + 1) * hop
    y = x[start:end].copy()
    fade = int(FADE * RATE)
    if len(y) > 2 * fade:
        ramp = np.linspace(0.0, 1.0, fade)
        y[:fade] *= ramp
        y[-fade:] *= ramp[::-1]
    rms = float(np.sqrt(np.mean(y ** 2)))
    peak = float(np.max(np.abs(y)))
    gain = min(10 ** (TARGET_RMS_DB / 20) / rms, 10 ** (PEAK_LIMIT_DB / 20) / peak)
    pad = np.zeros(int(EDGE * RATE))
    return np.concatenate([pad, y * gain, pad])


def encode(x, wav, mp3):
    pcm = np.clip(np.round(x * 32767), -32768, 32767).astype("<i2")
    import wave
    with wave.open(str(wav), "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(pcm.tobytes())
    run(["lame", "--quiet", "--noreplaygain", "-m", "m", "--resample", "22.05", "-b", str(KBPS),
         "--lowpass", "9", str(wav), str(mp3)])


def check_figures(f):
    problems = []
    if f["clipped"]:
        problems.append("clips")
    if f["peak_dbfs"] > CHECK_PEAK_DB:
        problems.append("peak too high")
    if not CHECK_RMS_DB[0] <= f["rms_dbfs"] <= CHECK_RMS_DB[1]:
        problems.append("level out of range")
    if f["lead"] < CHECK_EDGE or f["tail"] < CHECK_EDGE:
        problems.append("no silence at an end")
    if not CHECK_DURATION[0] <= f["duration"] <= CHECK_DURATION[1]:
        problems.append("implausible length")
    return problems


# ---------------------------------------------------------------------------------------------
# Recogniser

def recognise(recogniser, jobs_list, jobs):
    """jobs_list: (word A, phones A, word B, phones B, path); returns {(A, B, path): margin}."""
    chunks = [jobs_list[i::jobs] for i in range(jobs)]
    results = {}

    def one(chunk, n):
        listing = pathlib.Path(tempfile.gettempdir()) / f"sonavix-pairs-{os.getpid()}-{n}.tsv"
        listing.write_text("".join("\t".join(map(str, j)) + "\n" for j in chunk))
        out = subprocess.run([str(recogniser), "--batch", str(listing)], capture_output=True,
                             text=True).stdout
        listing.unlink()
        got = {}
        for job, line in zip(chunk, out.splitlines()):
            fields = line.split("\t")
            got[(job[0], job[2], job[4])] = (float(fields[4]) if len(fields) >= 7 else None,
                                             fields[1] if len(fields) > 1 else "error")
        return got

    with concurrent.futures.ThreadPoolExecutor(jobs) as pool:
        for got in pool.map(one, chunks, range(jobs)):
            results.update(got)
    return results


def json_margin(margin):
    """A margin for the manifest: JSON has no infinity (one word had no path at all)."""
    if margin is None:
        return None
    return round(max(-MARGIN_CAP, min(MARGIN_CAP, margin)), 3)


def pair_checks(pair, voice, words, files, results):
    """(passes, figures per word) of a pair in one voice."""
    wa, wb = pair
    out, ok = {}, True
    for me, other in ((wa, wb), (wb, wa)):
        f = files.get((voice, me))
        if f is None or f["problems"]:
            return False, None
        margin, verdict = results.get((me, other, f["path"]), (None, "error"))
        out[me] = {"margin": json_margin(margin), "verdict": verdict}
        # heard as its own word: the score leans its way
        ok = ok and margin is not None and margin > 0
    return ok, out


# ---------------------------------------------------------------------------------------------

def make_voice(voice, words, work, out_dir, keep_existing):
    vid, engine, name = voice
    vdir = out_dir / "voices" / vid
    vwork = work / vid
    vwork.mkdir(parents=True, exist_ok=True)
    if engine == "festival":
        synthesise_festival(name, words, vwork)
    else:
        with concurrent.futures.ThreadPoolExecutor(2) as pool:
            list(pool.map(lambda w: synthesise_flite(name, w, vwork), words))
    made = {}

    def finish(w):
        raw = vwork / f"{w}.raw.wav"
        if not raw.exists():
            return w, None
        y = level_and_trim(read_float(raw))
        if y is None:
            return w, None
        mp3 = vwork / f"{w}.mp3"
        encode(y, vwork / f"{w}.wav", mp3)
        return w, mp3

    with concurrent.futures.ThreadPoolExecutor(2) as pool:
        for w, mp3 in pool.map(finish, words):
            if mp3:
                made[w] = mp3
    print(f"{vid}: {len(made)} of {len(words)} words made", file=sys.stderr)
    return made


def measure(path):
    f = figures(read_float(path))
    f["problems"] = check_figures(f)
    f["bytes"] = path.stat().st_size
    return f


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--recogniser", type=pathlib.Path,
                        default=ROOT / "build" / "bin" / "sonavix-recognise")
    parser.add_argument("--out", type=pathlib.Path, default=ROOT / "assets" / "pairs")
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--check-voice", type=pathlib.Path,
                        help="check the recordings of one voice directory, write nothing")
    args = parser.parse_args()
    if not args.recogniser.exists():
        raise SystemExit(f"{args.recogniser}: build sonavix-recognise first")

    prons = load_dictionary()
    contrasts, words = parse_contrasts(prons)
    print(f"{len(contrasts)} contrasts, {len(words)} words", file=sys.stderr)

    with tempfile.TemporaryDirectory(prefix="sonavix-pairs-") as tmp:
        work = pathlib.Path(tmp)
        # (voice, word) -> figures and path
        files = {}
        voice_ids = []
        if args.check_voice:
            vid = args.check_voice.name
            voice_ids.append(vid)
            for mp3 in sorted(args.check_voice.glob("*.mp3")):
                if mp3.stem in words:
                    files[(vid, mp3.stem)] = dict(measure(mp3), path=str(mp3))
        else:
            # Directories that no synthetic voice owns are real speakers: checked, kept.
            synthetic = {v[0] for v in VOICES}
            extra = sorted(d for d in (args.out / "voices").glob("*")
                           if d.is_dir() and d.name not in synthetic) \
                if (args.out / "voices").exists() else []
            for voice in VOICES:
                made = make_voice(voice, sorted(words), work, args.out, False)
                voice_ids.append(voice[0])
                for w, mp3 in made.items():
                    files[(voice[0], w)] = dict(measure(mp3), path=str(mp3))
            for d in extra:
                voice_ids.append(d.name)
                for mp3 in sorted(d.glob("*.mp3")):
                    if mp3.stem in words:
                        files[(d.name, mp3.stem)] = dict(measure(mp3), path=str(mp3))

        jobs_list = []
        for c in contrasts:
            for wa, wb in c["candidates"]:
                for vid in voice_ids:
                    for me, other in ((wa, wb), (wb, wa)):
                        f = files.get((vid, me))
                        if f and not f["problems"]:
                            jobs_list.append((me, words[me]["phones"], other,
                                              words[other]["phones"], f["path"]))
        print(f"recognising {len(jobs_list)} recordings in their pairs", file=sys.stderr)
        results = recognise(args.recogniser, jobs_list, args.jobs)

        heard = sum(1 for m, _ in results.values() if m is not None and m > 0)
        print(f"heard as their own word: {heard} of {len(results)}", file=sys.stderr)
        if args.check_voice:
            for (me, other, path), (margin, verdict) in sorted(results.items()):
                mark = "ok" if margin is not None and margin > 0 else "HEARD AS " + other
                print(f"{me}\t(vs {other})\t{verdict}\t{margin}\t{mark}")
            for (vid, w), f in sorted(files.items()):
                if f["problems"]:
                    print(f"{w}\t{', '.join(f['problems'])}")
            return

        manifest_contrasts, used = [], set()
        for c in contrasts:
            kept, dropped = [], []
            for pair in c["candidates"]:
                voices, checks = [], {}
                for vid in voice_ids:
                    ok, figs = pair_checks(pair, vid, words, files, results)
                    if figs:
                        checks[vid] = figs
                    if ok:
                        voices.append(vid)
                if len(voices) >= MIN_VOICES and len(kept) < MAX_PAIRS:
                    kept.append({"a": pair[0], "b": pair[1], "voices": voices,
                                 "checks": checks})
                    used.update((v, w) for v in voices for w in pair)
                elif len(voices) < MIN_VOICES:
                    dropped.append(f"{pair[0]}/{pair[1]} ({len(voices)} voices)")
            if len(kept) < MIN_PAIRS:
                print(f"WARNING {c['id']}: only {len(kept)} pairs pass", file=sys.stderr)
            if dropped:
                print(f"{c['id']}: replaced {', '.join(dropped)}", file=sys.stderr)
            manifest_contrasts.append({k: c[k] for k in ("id", "a", "b", "title", "zh")}
                                      | {"pairs": kept})

        # Write: synthetic voices are made anew; real speakers' directories stay as they are.
        vroot = args.out / "voices"
        for vid, _, _ in VOICES:
            shutil.rmtree(vroot / vid, ignore_errors=True)
            (vroot / vid).mkdir(parents=True)
        manifest_words = {}
        total = 0
        for w in sorted({w for _, w in used}):
            recs = []
            for vid in voice_ids:
                if (vid, w) not in used:
                    continue
                f = files[(vid, w)]
                rel = f"voices/{vid}/{w}.mp3"
                src, dst = pathlib.Path(f["path"]), args.out / rel
                if src.resolve() != dst.resolve():
                    shutil.copyfile(src, dst)
                total += f["bytes"]
                recs.append({"voice": vid, "file": rel} |
                            {k: f[k] for k in ("duration", "peak_dbfs", "rms_dbfs", "lead",
                                               "tail", "bytes")})
            manifest_words[w] = {k: words[w][k] for k in ("codes", "phones", "zh")} | {
                "recordings": recs}

    engines = {v[0]: f"{v[1]} {v[2]}" for v in VOICES}
    manifest = {
        "format": 1,
        "sample_rate": RATE,
        "kbps": KBPS,
        "voices": [{"id": v, "engine": engines.get(v, "recorded")} for v in voice_ids],
        "contrasts": manifest_contrasts,
        "words": manifest_words,
    }
    (args.out / "manifest.json").write_text(
        json.dumps(manifest, ensure_ascii=False, indent=1, allow_nan=False) + "\n",
        encoding="utf-8")
    n_pairs = sum(len(c["pairs"]) for c in manifest_contrasts)
    n_files = sum(len(w["recordings"]) for w in manifest_words.values())
    print(f"{len(manifest_contrasts)} contrasts, {n_pairs} pairs, {len(manifest_words)} words, "
          f"{n_files} recordings, {total / 1e6:.1f} MB", file=sys.stderr)


if __name__ == "__main__":
    main()
