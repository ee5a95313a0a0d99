#!/usr/bin/python3
"""The drill's figures that need more than the bench binary:
  words   the lists sonavix-bench-drill decide reads: one pair per contrast in its first voice,
          both words, as recorded and stretched (sox tempo) to one second
  sqlite  a trial's insert through the sqlite3 command-line tool, one transaction each, on the
          file sonavix-bench-drill store wrote, for a peer of ProgressStore::Add
  voices  the recogniser on voices the content was not checked with: espeak-ng says each word of
          the pairs, sonavix-recognise --batch decides between the pair's two words"""
import argparse
import json
import pathlib
import statistics
import subprocess
import sys
import tempfile
import time


def load_manifest(path):
    manifest = json.loads(pathlib.Path(path).read_text())
    return manifest, manifest["words"]


def batch_line(words, a, b, path):
    return f"{a}\t{words[a]['phones']}\t{b}\t{words[b]['phones']}\t{path}\n"


def cmd_words(args):
    manifest, words = load_manifest(args.manifest)
    content = pathlib.Path(args.manifest).parent
    out = pathlib.Path(args.out)
    out.mkdir(parents=True, exist_ok=True)
    as_is, stretched = [], []
    for contrast in manifest["contrasts"]:
        pair = contrast["pairs"][0]
        voice = pair["voices"][0]
        for word in (pair["a"], pair["b"]):
            mp3 = content / "voices" / voice / f"{word}.mp3"
            as_is.append(batch_line(words, pair["a"], pair["b"], mp3))
            decoded = out / f"{voice}-{word}.wav"
            subprocess.run([args.decode, str(mp3), str(decoded)], check=True,
                           stdout=subprocess.DEVNULL)
            length = float(subprocess.run(["soxi", "-D", str(decoded)], check=True,
                                          capture_output=True, text=True).stdout)
            one = out / f"{voice}-{word}-1s.wav"
            subprocess.run(["sox", str(decoded), "-r", "16000", "-c", "1", str(one), "tempo",
                            "-s", f"{length / args.seconds:.4f}"], check=True)
            stretched.append(batch_line(words, pair["a"], pair["b"], one))
    (out / "as-recorded.list").write_text("".join(as_is))
    (out / "one-second.list").write_text("".join(stretched))


def cmd_sqlite(args):
    # The store's own statement and settings; the shell answers the SELECT only once the
    # insert has committed, so the round trip through the pipe is the whole write.
    insert = ("INSERT INTO trials(time, session, drill, contrast, word, voice, answer, correct,"
              " response_ms) VALUES({t}, 1, 'listen', 'i-i:', 'ship', 'festival-slt', 'ship', 1,"
              " 900);\nSELECT 'done';\n")
    shell = subprocess.Popen(["sqlite3", "-batch", args.db], stdin=subprocess.PIPE,
                             stdout=subprocess.PIPE, text=True, bufsize=1)
    shell.stdin.write("PRAGMA synchronous=FULL;\nSELECT 'done';\n")
    shell.stdin.flush()
    shell.stdout.readline()
    ms = []
    for i in range(args.trials):
        start = time.perf_counter()
        shell.stdin.write(insert.format(t=int(time.time() * 1000)))
        shell.stdin.flush()
        if shell.stdout.readline().strip() != "done":
            sys.exit("sqlite3 did not answer")
        ms.append((time.perf_counter() - start) * 1e3)
    shell.stdin.close()
    shell.wait()
    print(f"  sqlite3 shell, {args.trials} inserts      median {statistics.median(ms):6.2f} ms"
          f"   worst {max(ms):6.2f} ms")


def cmd_voices(args):
    manifest, words = load_manifest(args.manifest)
    work = pathlib.Path(tempfile.mkdtemp(prefix="sonavix-drill-voices-"))
    lines, trials = [], []  # trials: (contrast, intended, path)
    spoken = set()
    npairs = 0
    for contrast in manifest["contrasts"]:
        for pair in contrast["pairs"][::args.every]:
            npairs += 1
            for voice in args.voices:
                for word in (pair["a"], pair["b"]):
                    path = work / f"{voice}-{word}.wav"
                    if path not in spoken:
                        subprocess.run(["espeak-ng", "-v", voice, "-w", str(path), word],
                                       check=True)
                        spoken.add(path)
                    lines.append(batch_line(words, pair["a"], pair["b"], path))
                    trials.append((contrast["id"], word))
    start = time.monotonic()
    out = subprocess.run([args.recognise, "--batch", "-"], input="".join(lines), check=True,
                         capture_output=True, text=True).stdout.splitlines()
    seconds = time.monotonic() - start
    if len(out) != len(trials):
        sys.exit(f"sonavix-recognise gave {len(out)} answers for {len(trials)} recordings")

    counts = {}  # contrast -> [right, not sure, total]
    for (contrast, intended), line in zip(trials, out):
        verdict = line.split("\t")[1]
        c = counts.setdefault(contrast, [0, 0, 0])
        c[0] += verdict == intended
        c[1] += verdict == "not sure"
        c[2] += 1
    print(f"  espeak-ng voices {', '.join(args.voices)}; every {args.every} pair of each contrast"
          f" ({npairs} of {sum(len(c['pairs']) for c in manifest['contrasts'])} pairs), both"
          f" words: {len(trials)} decisions in {seconds:.0f} s")
    print(f"  {'contrast':<12}{'heard as meant':>16}{'not sure':>10}{'wrong':>8}{'n':>5}")

    def row(name, right, unsure, total):
        print(f"  {name:<12}{100 * right / total:>15.0f}%{100 * unsure / total:>9.0f}%"
              f"{100 * (total - right - unsure) / total:>7.0f}%{total:>5}")

    for contrast in manifest["contrasts"]:
        if contrast["id"] in counts:
            row(contrast["id"], *counts[contrast["id"]])
    row("all", *[sum(c[i] for c in counts.values()) for i in range(3)])
    for voice in args.voices:
        mine = [(t, l) for t, l in zip(trials, out) if f"/{voice}-" in l.split("\t")[0]]
        right = sum(l.split("\t")[1] == t[1] for t, l in mine)
        unsure = sum(l.split("\t")[1] == "not sure" for t, l in mine)
        row(voice, right, unsure, len(mine))
    for path in spoken:
        path.unlink()
    work.rmdir()


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = parser.add_subparsers(dest="what", required=True)
    p = sub.add_parser("words")
    p.add_argument("--decode", required=True, help="sonavix-decode")
    p.add_argument("--manifest", required=True)
    p.add_argument("--seconds", type=float, default=1.0)
    p.add_argument("--out", required=True)
    p.set_defaults(run=cmd_words)
    p = sub.add_parser("sqlite")
    p.add_argument("--trials", type=int, default=300)
    p.add_argument("db")
    p.set_defaults(run=cmd_sqlite)
    p = sub.add_parser("voices")
    p.add_argument("--recognise", required=True, help="sonavix-recognise")
    p.add_argument("--manifest", required=True)
    p.add_argument("--every", type=int, default=2, help="take every Nth pair of each contrast")
    p.add_argument("--voices", nargs="+", default=["en-us", "en-us+f3", "en-us+m3"])
    p.set_defaults(run=cmd_voices)
    args = parser.parse_args()
    args.run(args)


if __name__ == "__main__":
    main()
