#!/usr/bin/python3
"""Peak resident memory (/usr/bin/time -v) of each command given after '--', one per argument
group separated by '::'. Median of the runs, in MB, printed with the command."""
import re
import statistics
import subprocess
import sys


def peak_kb(cmd):
    res = subprocess.run(["/usr/bin/time", "-v"] + cmd, stdout=subprocess.DEVNULL,
                         stderr=subprocess.PIPE, text=True)
    m = re.search(r"Maximum resident set size \(kbytes\): (\d+)", res.stderr)
    return int(m.group(1)) if m else None


def main():
    runs = int(sys.argv[1])
    groups, cur = [], []
    for a in sys.argv[2:]:
        if a == "::":
            groups.append(cur)
            cur = []
        else:
            cur.append(a)
    if cur:
        groups.append(cur)
    for cmd in groups:
        label, cmd = cmd[0], cmd[1:]
        peaks = [p for p in (peak_kb(cmd) for _ in range(runs)) if p is not None]
        if not peaks:
            print(f"  {label:15s} (no figure)  $ /usr/bin/time -v {' '.join(cmd)}")
            continue
        print(f"  {label:15s} {statistics.median(peaks) / 1024:7.1f} MB peak RSS"
              f"  (median of {len(peaks)})  $ /usr/bin/time -v {' '.join(cmd)}")


if __name__ == "__main__":
    main()
