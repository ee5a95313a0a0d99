#!/usr/bin/env bash
# sonavix-recognise as tests and benchmarks run it: usage, exit codes, and a verdict on a
# committed recording in both of its forms of --pair.
set -u
tool="$1"
content="$2"
fail=0
check() { # expected-status description command...
    local want="$1" what="$2"
    shift 2
    "$@" >/tmp/recognise-tool.$$ 2>&1
    local got=$?
    if [ "$got" -ne "$want" ]; then
        echo "FAIL: $what: exit $got, wanted $want"; cat /tmp/recognise-tool.$$; fail=1
    fi
}
check 0 "--help" "$tool" --help
check 0 "--version" "$tool" --version
"$tool" --version | grep -q '^sonavix-recognise (Sonavix) [0-9]' || { echo "FAIL: version text"; fail=1; }
check 2 "no arguments" "$tool"
check 2 "one word" "$tool" --pair ship
check 2 "unknown option" "$tool" --pair ship sheep --frobnicate x.wav
check 2 "pair and batch" "$tool" --pair ship sheep --batch - x.wav
check 1 "missing file" "$tool" --pair ship sheep /nonexistent.wav
check 1 "not audio" "$tool" --pair ship sheep "$0"

# a recording the generator measured well clear of its pair
file="$content/voices/flite-rms/sheep.mp3"
if [ -f "$file" ]; then
    out="$("$tool" --pair ship sheep "$file")"
    grep -qx 'verdict: sheep' <<<"$out" || { echo "FAIL: ship,sheep on sheep: $out"; fail=1; }
    grep -q '^margin: -' <<<"$out" || { echo "FAIL: margin sign: $out"; fail=1; }
    out="$("$tool" --pair sheep,ship --phones-a "SH IY P" --phones-b "SH IH P" "$file")"
    grep -qx 'verdict: sheep' <<<"$out" || { echo "FAIL: sheep,ship on sheep: $out"; fail=1; }
    out="$(printf 'ship\t\tsheep\t\t%s\n' "$file" | "$tool" --batch -)"
    [ "$(cut -f2 <<<"$out")" = sheep ] || { echo "FAIL: batch: $out"; fail=1; }
else
    echo "FAIL: no recording of sheep in $content"; fail=1
fi
rm -f /tmp/recognise-tool.$$
[ $fail -eq 0 ] && echo "1 passed, 0 failed" || echo "0 passed, 1 failed"
exit $fail
