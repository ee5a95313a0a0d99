#!/usr/bin/python3
"""Decoding speed of sonavix-decode against ffmpeg and mpg123 on the same files, each pinned to
one core, runs interleaved so that a noisy machine slows every decoder alike. Prints the median
wall time of each command, x-realtime and Sonavix's ratio to each peer. With --widths, Sonavix
runs once per vector width given (SONAVIX_LANES caps the width its decoder picks), each with its
own ratio lines."""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import time

BITRATES = [0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320]
RATES = [44100, 48000, 32000]


def stream_facts(path):
    """Duration in seconds and the share of joint-stereo frames coded middle/side (MPEG-1 only)."""
    data = open(path, "rb").read()
    pos = 0
    if data[:3] == b"ID3" and len(data) >= 10:
        pos = 10 + ((data[6] << 21) | (data[7] << 14) | (data[8] << 7) | data[9])
    frames = ms = 0
    rate = 44100
    while pos + 4 <= len(data):
        h = int.from_bytes(data[pos:pos + 4], "big")
        if (h >> 21) != 0x7FF or ((h >> 17) & 3) != 1 or ((h >> 19) & 1) != 1:
            pos += 1
            continue
        br, sf = (h >> 12) & 15, (h >> 10) & 3
        if br in (0, 15) or sf == 3:
            pos += 1
            continue
        rate = RATES[sf]
        frames += 1
        if ((h >> 6) & 3) == 1 and ((h >> 5) & 1):
            ms += 1
        pos += 144 * BITRATES[br] * 1000 // rate + ((h >> 9) & 1)
    return frames * 1152 / rate, (ms / frames if frames else 0.0)


def mpg123_decoders():
    """mpg123's narrower decoders that run here: x86-64 is its SSE one, what a processor without
    AVX runs, so it is the peer of Sonavix's portable width; generic is plain C."""
    if not shutil.which("mpg123"):
        return []
    listed = subprocess.run(["mpg123", "--test-cpu"], capture_output=True, text=True).stdout
    supported = listed.split("Supported decoders:")[-1].split()
    return [cpu for cpu in ("x86-64", "generic") if cpu in supported]


def timed(cmd, core, env=None):
    """Wall time and CPU time (user + system) of one pinned run. On a shared machine the CPU
    time is the steadier figure: it leaves out the time the core was lent to others."""
    pinned = ["taskset", "-c", str(core)] + cmd
    start = time.perf_counter()
    with open(os.devnull, "wb") as null:
        proc = subprocess.Popen(pinned, stdout=null, stderr=subprocess.DEVNULL,
                                env=dict(os.environ, **env) if env else None)
        _, status, usage = os.wait4(proc.pid, 0)
    wall = time.perf_counter() - start
    if status != 0:
        raise RuntimeError(f"{' '.join(cmd)} failed with status {status}")
    return wall, usage.ru_utime + usage.ru_stime


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--decode", required=True, help="path of sonavix-decode")
    ap.add_argument("--runs", type=int, default=5)
    ap.add_argument("--core", type=int, default=1)
    ap.add_argument("--widths", default="",
                    help="comma-separated SONAVIX_LANES values (portable,avx2,avx512f); "
                         "default: the decoder's own pick only")
    ap.add_argument("files", nargs="+")
    args = ap.parse_args()
    widths = [w for w in args.widths.split(",") if w]

    for path in args.files:
        seconds, ms_share = stream_facts(path)
        name = os.path.basename(path)
        print(f"\n{name}: {seconds:.1f} s of audio, {ms_share * 100:.0f}% of frames middle/side")
        ours = [("sonavix " + w if widths else "sonavix", [args.decode, path, "/dev/null"],
                 {"SONAVIX_LANES": w} if w else None) for w in (widths or [""])]
        decoders = ours + [(label, cmd, None) for label, cmd in [
            ("ffmpeg", ["ffmpeg", "-nostdin", "-loglevel", "error", "-i", path, "-f", "s16le",
                        "-y", "/dev/null"]),
            ("mpg123", ["mpg123", "-q", "-s", path]),
        ] + [(f"mpg123 {cpu}", ["mpg123", "-q", "--cpu", cpu, "-s", path])
             for cpu in mpg123_decoders()]]
        decoders = [d for d in decoders if shutil.which(d[1][0]) or os.path.exists(d[1][0])]
        walls = {label: [] for label, _, _ in decoders}
        cpus = {label: [] for label, _, _ in decoders}
        for label, cmd, env in decoders:  # warm the page cache and the binaries once
            timed(cmd, args.core, env)
        for _ in range(args.runs):
            for label, cmd, env in decoders:
                wall, cpu = timed(cmd, args.core, env)
                walls[label].append(wall)
                cpus[label].append(cpu)
        wall = {label: statistics.median(t) for label, t in walls.items()}
        cpu = {label: statistics.median(t) for label, t in cpus.items()}
        # Another tenant's burst only ever slows a run down, so on a shared machine the fastest
        # run of each is the steadier figure of what the decoder itself costs.
        best = {label: min(t) for label, t in cpus.items()}
        print(f"  pinned with taskset -c {args.core}, median of {args.runs} runs, CPU time (wall):")
        for label, cmd, env in decoders:
            prefix = "".join(f"{k}={v} " for k, v in (env or {}).items())
            print(f"  {label:17s} {cpu[label] * 1000:7.0f} ms {seconds / cpu[label]:6.0f}x realtime"
                  f"  ({wall[label] * 1000:.0f} ms, {seconds / wall[label]:.0f}x)  $ {prefix}"
                  f"{' '.join(cmd)}" + (" > /dev/null" if label.startswith("mpg123") else ""))
        mine = [label for label, _, _ in ours]
        for me in mine:
            for label in cpu:
                if label not in mine:
                    print(f"  {me} vs {label:15s} {cpu[label] / cpu[me]:5.2f}x as fast"
                          f"  ({wall[label] / wall[me]:.2f}x by wall time,"
                          f" {best[label] / best[me]:.2f}x fastest run against fastest run)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
