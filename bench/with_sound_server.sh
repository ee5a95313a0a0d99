#!/usr/bin/env bash
# Runs a command with PULSE_SERVER pointing at a private PulseAudio daemon whose one sink
# discards the sound in real time; the daemon and its directory are removed afterwards.
set -euo pipefail
dir="$(mktemp -d /tmp/sonavix-bench-pulse-XXXXXX)"
cat >"$dir/server.pa" <<PA
load-module module-native-protocol-unix auth-anonymous=1 socket=$dir/native
load-module module-null-sink sink_name=bench rate=44100 channels=2 format=s16le norewinds=1
set-default-sink bench
PA
HOME="$dir" XDG_RUNTIME_DIR="$dir" XDG_CONFIG_HOME="$dir" pulseaudio -n -F "$dir/server.pa" \
    --daemonize=no --exit-idle-time=-1 --use-pid-file=no >"$dir/log" 2>&1 &
daemon=$!
cleanup() {
    kill "$daemon" 2>/dev/null || true
    wait "$daemon" 2>/dev/null || true
    rm -rf "$dir"
}
trap cleanup EXIT
export PULSE_SERVER="unix:$dir/native"
for _ in $(seq 100); do
    pactl list short sinks >/dev/null 2>&1 && break
    sleep 0.1
done
"$@"
