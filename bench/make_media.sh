#!/usr/bin/env bash
# Makes the benchmark recordings in DIR (once; existing files are kept):
#   bench-stereo.mp3  10 min, 44.1 kHz, 128 kbit/s, plain stereo: speech, tones, noise, with
#                     different content per channel
#   bench-joint.mp3   the same length and rate, forced middle/side: a centred voice and tones
#                     over a faint wide noise bed, so that nearly every frame is M/S coded
#   bench-mixed.mp3   the same length and rate, lame's own joint stereo (it picks M/S or L/R per
#                     frame): speech, a tone sweep, a square wave and pink noise in turn, so that
#                     short blocks, escapes and quiet top bands all come up
set -euo pipefail
dir="$1"
mkdir -p "$dir"
cd "$dir"
[ -s bench-stereo.mp3 ] && [ -s bench-joint.mp3 ] && [ -s bench-mixed.mp3 ] && exit 0
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

text="Sonavix decodes every recording itself. The quick brown fox jumps over the lazy dog, \
while seven wise owls count thirty-three quiet stars. She sells sea shells by the sea shore; \
a measure of treasure is a pleasure. Numbers: one, two, three, four, five, six, seven."
espeak-ng -s 150 -w "$tmp/voice.wav" "$text"
# One minute: 20 s of speech, 20 s of tones and sweeps, 15 s of noise, 5 s of a plucked chord.
sox "$tmp/voice.wav" -r 44100 -c 1 "$tmp/voice44.wav" repeat 5 trim 0 20 pad 0 20
sox "$tmp/voice44.wav" "$tmp/speech.wav" trim 0 20
sox -n -r 44100 -c 1 "$tmp/tonesL.wav" synth 20 sine 220-1760 sine 330 gain -6
sox -n -r 44100 -c 1 "$tmp/tonesR.wav" synth 20 square 110 sine 4000-200 gain -12
sox -n -r 44100 -c 1 "$tmp/noiseL.wav" synth 15 pinknoise tremolo 3 60 gain -9
sox -n -r 44100 -c 1 "$tmp/noiseR.wav" synth 15 brownnoise gain -6
sox -n -r 44100 -c 1 "$tmp/pluck.wav" synth 5 pluck C3 pluck E3 pluck G3 gain -3
sox "$tmp/speech.wav" "$tmp/tonesL.wav" "$tmp/noiseL.wav" "$tmp/pluck.wav" "$tmp/L.wav"
sox "$tmp/speech.wav" "$tmp/tonesR.wav" "$tmp/noiseR.wav" "$tmp/pluck.wav" "$tmp/R.wav" \
    reverse
sox -M "$tmp/L.wav" "$tmp/R.wav" "$tmp/minute.wav"
sox "$tmp/minute.wav" "$tmp/stereo.wav" repeat 9
[ -s bench-stereo.mp3 ] || lame --quiet -b 128 -m s "$tmp/stereo.wav" bench-stereo.mp3

# Middle/side: the same centred material in both channels plus a quiet decorrelated bed.
sox "$tmp/speech.wav" "$tmp/tonesL.wav" "$tmp/noiseL.wav" "$tmp/pluck.wav" "$tmp/C.wav"
sox -n -r 44100 -c 1 "$tmp/bedL.wav" synth 60 whitenoise gain -42
sox -n -r 44100 -c 1 "$tmp/bedR.wav" synth 60 pinknoise gain -40
sox -m "$tmp/C.wav" "$tmp/bedL.wav" "$tmp/JL.wav"
sox -m "$tmp/C.wav" "$tmp/bedR.wav" "$tmp/JR.wav"
sox -M "$tmp/JL.wav" "$tmp/JR.wav" "$tmp/jminute.wav"
sox "$tmp/jminute.wav" "$tmp/joint.wav" repeat 9
[ -s bench-joint.mp3 ] || lame --quiet -b 128 -m f "$tmp/joint.wav" bench-joint.mp3

# Mixed: per minute 25 s of speech (slightly different on the right, so that not every frame is
# M/S), 10 s of a sweep, 10 s of a square wave, 15 s of pink noise.
sox "$tmp/voice44.wav" "$tmp/mspeechL.wav" trim 0 25
sox "$tmp/voice44.wav" "$tmp/mspeechR.wav" trim 0 25 delay 0.0004 trim 0 25
sox -n -r 44100 -c 1 "$tmp/sweep.wav" synth 10 sine 40-16000 gain -3
sox -n -r 44100 -c 1 "$tmp/square.wav" synth 10 square 440 gain -6
sox -n -r 44100 -c 1 "$tmp/pinkL.wav" synth 15 pinknoise gain -6
sox -n -r 44100 -c 1 "$tmp/pinkR.wav" synth 15 pinknoise gain -6
sox "$tmp/mspeechL.wav" "$tmp/sweep.wav" "$tmp/square.wav" "$tmp/pinkL.wav" "$tmp/ML.wav"
sox "$tmp/mspeechR.wav" "$tmp/sweep.wav" "$tmp/square.wav" "$tmp/pinkR.wav" "$tmp/MR.wav"
sox -M "$tmp/ML.wav" "$tmp/MR.wav" "$tmp/mminute.wav"
sox "$tmp/mminute.wav" "$tmp/mixed.wav" repeat 9
[ -s bench-mixed.mp3 ] || lame --quiet -b 128 -m j "$tmp/mixed.wav" bench-mixed.mp3
