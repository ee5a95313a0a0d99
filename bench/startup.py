#!/usr/bin/python3
"""Start-up time of the trainer: from process start to its window mapped on the X server, and
to the first sound of symbol 0 handed to the device, over several starts. Run under an X server
and a sound server (scripts/bench runs it inside xvfb-run and bench/with_sound_server.sh); the
probe library is preloaded, the program is not changed."""
import os
import signal
import statistics
import subprocess
import sys
import time


def one_start(program, probe, log):
    if os.path.exists(log):
        os.remove(log)
    env = dict(os.environ, LD_PRELOAD=probe, SONAVIX_PROBE_LOG=log, QT_QPA_PLATFORM="xcb")
    start = time.time()
    proc = subprocess.Popen([program], env=env, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    marks = {}
    deadline = start + 20
    while time.time() < deadline and len(marks) < 2 and proc.poll() is None:
        time.sleep(0.002)
        if os.path.exists(log):
            with open(log) as f:
                for line in f:
                    what, at = line.split()
                    marks[what] = float(at) - start
    proc.send_signal(signal.SIGKILL)
    proc.wait()
    return marks


def main():
    program, probe, runs = sys.argv[1], os.path.abspath(sys.argv[2]), int(sys.argv[3])
    log = f"/tmp/sonavix-startup-{os.getpid()}.log"
    results = [one_start(program, probe, log) for _ in range(runs)]
    if os.path.exists(log):
        os.remove(log)
    for what, label in (("window", "window shown"), ("sound", "symbol 0 sounding")):
        times = [r[what] * 1000 for r in results if what in r]
        if len(times) < runs:
            print(f"  {label:18s} seen in {len(times)} of {runs} starts")
        if times:
            print(f"  {label:18s} median {statistics.median(times):6.1f} ms, worst "
                  f"{max(times):6.1f} ms, first start {times[0]:6.1f} ms  (of {len(times)})")
    print(f"  $ LD_PRELOAD={probe} {program}   (under Xvfb and a private sound server)")


if __name__ == "__main__":
    main()
