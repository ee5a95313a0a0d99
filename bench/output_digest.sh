#!/usr/bin/env bash
# Prints a digest of sonavix-decode's float and 16-bit output for every input given (files or
# directories of .mp3/.bit files), one line per file. Optimising the decoder must leave this
# list unchanged: run it before and after and diff the two.
#   bench/output_digest.sh DECODER INPUT... > digests.txt
set -euo pipefail
decoder="$1"
shift
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
for arg in "$@"; do
    if [ -d "$arg" ]; then
        find "$arg" -maxdepth 1 -type f \( -name '*.mp3' -o -name '*.bit' -o -name '*.mp2' \) | sort
    else
        echo "$arg"
    fi
done | while read -r f; do
    "$decoder" --float "$f" "$tmp/f.wav"
    "$decoder" "$f" "$tmp/i.wav"
    echo "$(sha256sum <"$tmp/f.wav" | cut -c1-16) $(sha256sum <"$tmp/i.wav" | cut -c1-16) $f"
done
