#!/usr/bin/env bash
# Makes the MP3 files the decoder tests read: sox signals and espeak-ng speech, encoded with lame
# for every sample rate and channel mode, with CRC, VBR, low and high bitrates. Writes
# manifest.tsv beside them. Does nothing when the files exist and this script is unchanged.
#
#   make_test_media.sh OUTPUT_DIR
set -euo pipefail

out="${1:?usage: $0 OUTPUT_DIR}"
mkdir -p "$out"
stamp="$(sha256sum "$0" | cut -d' ' -f1)"
if [ -f "$out/manifest.tsv" ] && [ "$(cat "$out/.stamp" 2>/dev/null)" = "$stamp" ]; then
    exit 0
fi
for tool in sox lame espeak-ng; do
    command -v "$tool" >/dev/null || { echo "make_test_media: $tool is missing" >&2; exit 1; }
done

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
manifest="$work/manifest.tsv"
printf 'name\trate\tmode\tbitrate\tcrc\tvbr\tinfo_frame\tsignal\n' >"$manifest"

# signal RATE CHANNELS KIND -> path of a WAV file
signal() {
    local rate="$1" channels="$2" kind="$3"
    local wav="$work/src-$kind-$rate-$channels.wav"
    [ -f "$wav" ] && { echo "$wav"; return; }
    case "$kind" in
    tone) sox -R -n -r "$rate" -c "$channels" "$wav" synth 1.5 sine 440 sine 1250 gain -6 ;;
    sweep) sox -R -n -r "$rate" -c "$channels" "$wav" synth 2 sine 50/$((rate * 45 / 100)) gain -6 ;;
    noise) sox -R -n -r "$rate" -c "$channels" "$wav" synth 1.5 pinknoise gain -8 ;;
    # Sharp attacks after silence make the encoder switch to short blocks.
    clicks)
        sox -R -n -r "$rate" -c 1 "$work/click.wav" synth 0.004 square 900 gain -3 pad 0.25 0.2
        sox -R "$work/click.wav" "$work/clicks1.wav" repeat 4
        sox -R "$work/clicks1.wav" -c "$channels" "$wav"
        ;;
    # Nearly equal channels, so that middle/side coding is worth using.
    correlated)
        sox -R -n -r "$rate" -c 1 "$work/corr1.wav" synth 1.5 pinknoise sine 300 gain -8
        sox -R "$work/corr1.wav" -c 2 "$wav" remix 1v1.0 1v0.93
        ;;
    # Different content per channel, for dual channel.
    split)
        sox -R -n -r "$rate" -c 2 "$wav" synth 1.5 sine 330 sine 880 gain -6
        ;;
    speech)
        espeak-ng -v en-us -s 170 -w "$work/speech-raw.wav" \
            "The quick brown fox jumps over the lazy dog. Sound symbols of American English."
        sox -R "$work/speech-raw.wav" -r "$rate" -c "$channels" "$wav" trim 0 3
        ;;
    *) echo "unknown signal $kind" >&2; exit 1 ;;
    esac
    echo "$wav"
}

# encode NAME RATE MODE BITRATE|vN CRC(0|1) INFO_FRAME(0|1) SIGNAL [extra lame options]
encode() {
    local name="$1" rate="$2" mode="$3" rate_opt="$4" crc="$5" info="$6" kind="$7"
    shift 7
    local channels=2 flag
    case "$mode" in
    mono) channels=1; flag=m ;;
    stereo) flag=s ;;
    joint) flag=j ;;
    ms) flag=f ;;
    dual) flag=d ;;
    esac
    local wav
    wav="$(signal "$rate" "$channels" "$kind")"
    local opts=(--quiet --noreplaygain -m "$flag" --resample "$(awk "BEGIN{print $rate/1000}")")
    local bitrate vbr
    if [[ "$rate_opt" == v* ]]; then
        opts+=(-V "${rate_opt#v}")
        bitrate=0
        vbr=1
    else
        opts+=(-b "$rate_opt" --cbr)
        bitrate="$rate_opt"
        vbr=0
    fi
    [ "$crc" = 1 ] && opts+=(-p)
    [ "$info" = 0 ] && opts+=(-t)
    lame "${opts[@]}" "$@" "$wav" "$work/$name.mp3"
    [ "$mode" = ms ] && mode=joint
    printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$name" "$rate" "$mode" "$bitrate" "$crc" "$vbr" \
        "$info" "$kind" >>"$manifest"
}

# MPEG-1
encode m1_32k_mono_tone 32000 mono 64 0 0 tone
encode m1_32k_mono_low 32000 mono 32 0 0 speech
encode m1_32k_stereo_sweep 32000 stereo 96 0 0 sweep
encode m1_44k_stereo_sweep 44100 stereo 128 0 0 sweep
encode m1_44k_joint_noise 44100 joint 128 0 1 noise
encode m1_44k_ms_correlated 44100 ms 128 0 0 correlated
encode m1_44k_dual_split 44100 dual 128 0 0 split
encode m1_44k_joint_crc 44100 joint 160 1 0 tone
encode m1_44k_mono_crc 44100 mono 64 1 0 speech
encode m1_44k_joint_vbr 44100 joint v2 0 1 speech
encode m1_44k_stereo_clicks 44100 stereo 128 0 0 clicks
encode m1_44k_mono_clicks 44100 mono 96 0 0 clicks
encode m1_44k_joint_320 44100 joint 320 0 0 noise
encode m1_44k_mono_speech 44100 mono 48 0 0 speech --id3v2-only --tt "test speech"
encode m1_48k_joint_noise 48000 joint 192 0 0 noise
encode m1_48k_mono_sweep 48000 mono 80 0 0 sweep
encode m1_48k_dual_crc 48000 dual 192 1 0 split
encode m1_48k_stereo_vbr 48000 stereo v5 0 1 sweep
# MPEG-2 lower sampling frequencies
encode m2_16k_mono_speech 16000 mono 32 0 0 speech
encode m2_16k_mono_low 16000 mono 8 0 0 tone
encode m2_16k_joint_vbr 16000 joint v6 0 1 noise
encode m2_22k_stereo_tone 22050 stereo 64 0 0 tone
encode m2_22k_dual_split 22050 dual 64 0 0 split
encode m2_22k_ms_correlated 22050 ms 64 0 0 correlated
encode m2_22k_joint_clicks 22050 joint 56 0 0 clicks
encode m2_24k_joint_noise 24000 joint 96 0 1 noise
encode m2_24k_stereo_crc 24000 stereo 64 1 0 sweep
encode m2_24k_mono_crc 24000 mono 40 1 0 speech
encode m2_24k_joint_160 24000 joint 160 0 0 noise

for f in "$work"/*.mp3; do
    mv "$f" "$out/"
done
mv "$manifest" "$out/manifest.tsv"
echo "$stamp" >"$out/.stamp"
