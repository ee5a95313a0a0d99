#!/usr/bin/python3
"""Slower playback on the lesson recordings: the player's stretching stage with each engine
(sonavix-stretch) side by side with `sox tempo` and the `rubberband` command on the same decoded
files, at each speed. Per method and speed: played length against the nominal one, F0 and
harmonics-to-noise ratio against the original (Praat as a black box), the largest step between
neighbouring samples against the original's largest, stretching speed on one core, and for the
player's stage the work before a device would get its first sound. Ends with the engine the
figures pick for speech."""
import argparse
import json
import os
import pathlib
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
import wave

import numpy as np

# Symbols and examples of every kind: 44.1 kHz joint stereo, single channel, 22.05 kHz.
DEFAULT_FILES = ["0", "3", "6", "20", "30", "41", "0-0", "5-5", "9-9", "14-14", "30-30", "44-44"]
ENGINES = ["faster", "finer", "finer-short"]
SPEEDS = [0.5, 0.75]
GOALS = {"length_pct": 1.0, "f0_pct": 2.0, "step_ratio": 1.0, "x_realtime": 20.0,
         "first_sound_ms": 30.0}


def read_wav(path):
    with wave.open(str(path), "rb") as w:
        frames = w.readframes(w.getnframes())
        data = np.frombuffer(frames, dtype="<i2").astype(np.int32)
        return data.reshape(-1, w.getnchannels()), w.getframerate()


def largest_step(samples):
    return int(np.abs(np.diff(samples, axis=0)).max()) if len(samples) > 1 else 0


def timed(cmd, core):
    """CPU seconds (user + system) of one run pinned to a core."""
    pinned = ["taskset", "-c", str(core)] + cmd
    with open(os.devnull, "wb") as null:
        proc = subprocess.Popen(pinned, stdout=null, stderr=subprocess.DEVNULL)
        _, status, usage = os.wait4(proc.pid, 0)
    if status != 0:
        raise RuntimeError(f"{' '.join(cmd)} failed with status {status}")
    return usage.ru_utime + usage.ru_stime


def voice_figures(praat_script, paths, work):
    """Median F0 and mean HNR of each file, from one Praat run."""
    listing = work / "voice-list.txt"
    listing.write_text("".join(f"{p}\n" for p in paths))
    out = subprocess.run(["praat", "--run", str(praat_script), str(listing)], check=True,
                         capture_output=True, text=True).stdout
    figures = {}
    for line in out.splitlines():
        path, f0, hnr = line.split("\t")
        figures[path] = (float(f0), float(hnr))
    return figures


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--stretch", required=True, help="path of sonavix-stretch")
    ap.add_argument("--decode", required=True, help="path of sonavix-decode")
    ap.add_argument("--pho", required=True, help="the lesson recordings (assets/pho)")
    ap.add_argument("--core", type=int, default=1)
    ap.add_argument("--runs", type=int, default=3)
    ap.add_argument("--all", action="store_true", help="every recording instead of twelve")
    ap.add_argument("--keep", help="keep the stretched files in this directory")
    args = ap.parse_args()
    for tool in ("sox", "rubberband", "praat", "taskset"):
        if not shutil.which(tool):
            sys.exit(f"{tool} is missing (./scripts/deps test installs it)")

    pho = pathlib.Path(args.pho)
    names = sorted(p.stem for p in pho.glob("*.mp3")) if args.all else DEFAULT_FILES
    work = pathlib.Path(args.keep) if args.keep else pathlib.Path(tempfile.mkdtemp())
    work.mkdir(parents=True, exist_ok=True)
    praat_script = pathlib.Path(__file__).with_name("voice.praat").resolve()

    rows = []  # one per file, method and speed
    originals = {}
    for name in names:
        mp3 = pho / f"{name}.mp3"
        original = (work / f"{name}.wav").resolve()
        subprocess.run([args.decode, str(mp3), str(original)], check=True,
                       stdout=subprocess.DEVNULL)
        pcm, rate = read_wav(original)
        originals[name] = (original, len(pcm), rate, largest_step(pcm))
        for speed in SPEEDS:
            tag = f"{name}@{speed:g}"
            for engine in ENGINES:
                out = (work / f"{tag}-{engine}.wav").resolve()
                line = subprocess.run(
                    ["taskset", "-c", str(args.core), args.stretch, "--engine", engine,
                     "--speed", str(speed), "--runs", str(args.runs), str(mp3), str(out)],
                    check=True, capture_output=True, text=True).stdout
                facts = json.loads(line)
                rows.append({"name": name, "speed": speed, "method": f"sonavix {engine}",
                             "path": out, "x_realtime": facts["x_realtime_out"],
                             "x_realtime_in": facts["x_realtime_in"],
                             "first_sound_ms": facts["first_sound_work_ms"],
                             "limited": facts["limited_values"]})
            peers = {
                "sox tempo -s": lambda o, s=speed: ["sox", str(original), str(o), "tempo", "-s",
                                                    f"{s:g}"],
                "rubberband -2": lambda o, s=speed: ["rubberband", "-q", "-2", "-T", f"{s:g}",
                                                     str(original), str(o)],
                "rubberband -3": lambda o, s=speed: ["rubberband", "-q", "-3", "-T", f"{s:g}",
                                                     str(original), str(o)],
            }
            for method, command in peers.items():
                out = (work / f"{tag}-{method.replace(' ', '_')}.wav").resolve()
                cpu = min(timed(command(out), args.core) for _ in range(args.runs))
                seconds = len(pcm) / rate / speed
                rows.append({"name": name, "speed": speed, "method": method, "path": out,
                             "x_realtime": seconds / cpu, "x_realtime_in": seconds * speed / cpu,
                             "first_sound_ms": None, "limited": None})

    voice = voice_figures(praat_script, [o[0] for o in originals.values()] +
                          [r["path"] for r in rows], work)
    for r in rows:
        original, frames, rate, step = originals[r["name"]]
        pcm, _ = read_wav(r["path"])
        nominal = frames / r["speed"]
        r["length_pct"] = 100.0 * (len(pcm) - nominal) / nominal
        f0_in, hnr_in = voice[str(original)]
        f0_out, hnr_out = voice[str(r["path"])]
        r["f0_pct"] = 100.0 * (f0_out - f0_in) / f0_in
        r["hnr_db"] = hnr_out - hnr_in
        r["step_ratio"] = largest_step(pcm) / step

    print(f"{len(names)} lesson recordings ({', '.join(names)}), decoded by sonavix-decode; "
          f"CPU time pinned to core {args.core}, best of {args.runs}")
    print("x realtime: seconds of stretched sound per CPU second (of the original in brackets)")
    print("first sound: decoding and stretching until a device would hold its first two blocks")
    print("bounded: output values the stage's step bound changed (all files; of how many)")
    header = (f"{'method':<22}{'speed':>6}{'length %':>16}{'F0 %':>16}{'HNR dB':>9}"
              f"{'step/orig':>11}{'x realtime':>18}{'first sound ms':>17}{'bounded':>16}")
    print(header)
    summary = {}
    for speed in SPEEDS:
        for method in [f"sonavix {e}" for e in ENGINES] + ["sox tempo -s", "rubberband -2",
                                                           "rubberband -3"]:
            sel = [r for r in rows if r["speed"] == speed and r["method"] == method]
            worst_len = max(abs(r["length_pct"]) for r in sel)
            worst_f0 = max(abs(r["f0_pct"]) for r in sel)
            hnr = statistics.mean(r["hnr_db"] for r in sel)
            step = max(r["step_ratio"] for r in sel)
            xrt = min(r["x_realtime"] for r in sel)
            xrt_in = min(r["x_realtime_in"] for r in sel)
            first = [r["first_sound_ms"] for r in sel if r["first_sound_ms"] is not None]
            worst_first = max(first) if first else None
            # The median: a single run's wall time on a shared machine mostly measures the others.
            median_first = statistics.median(first) if first else None
            summary[(method, speed)] = {"length_pct": worst_len, "f0_pct": worst_f0,
                                        "hnr_db": hnr, "step_ratio": step, "x_realtime": xrt,
                                        "first_sound_ms": median_first}
            first_text = f"{statistics.median(first):6.1f} / {worst_first:5.1f}" if first else ""
            bounded = [r["limited"] for r in sel if r["limited"] is not None]
            values = sum(2 * len(read_wav(r["path"])[0]) for r in sel) if bounded else 0
            bounded_text = f"{sum(bounded)} of {values}" if bounded else ""
            print(f"{method:<22}{speed:>6g}"
                  f"{statistics.median(abs(r['length_pct']) for r in sel):7.2f} / {worst_len:5.2f}"
                  f"{statistics.median(abs(r['f0_pct']) for r in sel):7.2f} / {worst_f0:5.2f}"
                  f"{hnr:9.2f}{step:11.2f}"
                  f"{statistics.median(r['x_realtime'] for r in sel):7.1f} / {xrt:5.1f} ({xrt_in:4.1f})"
                  f"{first_text:>17}{bounded_text:>16}")
    print("(median / worst over the files; HNR: mean change against the original; x realtime: "
          "median / slowest)")

    print(f"Goals: length within {GOALS['length_pct']} %, F0 within {GOALS['f0_pct']} %, no step "
          f"above the original's largest, >= {GOALS['x_realtime']:g}x realtime (slowest file), "
          f"first sound work < {GOALS['first_sound_ms']:g} ms (median; the device's own start "
          "comes on top: see sonavix-latency --speed); length, F0 and steps on the worst file")
    passing = []
    for engine in ENGINES:
        method = f"sonavix {engine}"
        misses = []
        for speed in SPEEDS:
            s = summary[(method, speed)]
            if s["length_pct"] > GOALS["length_pct"]:
                misses.append(f"length at {speed:g}")
            if s["f0_pct"] > GOALS["f0_pct"]:
                misses.append(f"F0 at {speed:g}")
            if s["step_ratio"] > GOALS["step_ratio"]:
                misses.append(f"steps at {speed:g}")
            if s["x_realtime"] < GOALS["x_realtime"]:
                misses.append(f"speed at {speed:g}")
            if s["first_sound_ms"] > GOALS["first_sound_ms"]:
                misses.append(f"first sound at {speed:g}")
        print(f"  {method}: " + ("meets every goal" if not misses else "misses " + ", ".join(misses)))
        if not misses:
            passing.append(engine)
    if passing:
        best = max(passing, key=lambda e: summary[(f"sonavix {e}", 0.5)]["hnr_db"])
        print(f"Pick for speech: {best} (of those meeting every goal, the least loss of "
              "harmonicity at 0.5x)")
    else:
        print("Pick for speech: none meets every goal")
    if not args.keep:
        shutil.rmtree(work)


if __name__ == "__main__":
    main()
