#!/usr/bin/env bash
# Resident memory of the whole player while it plays the demo song: the peak (VmHWM) after
# SECONDS of playback, offscreen, through SDL's disk driver in real time. Goal: at most 50 MB.
# Usage: bench/memory.sh [BUILD_DIR] [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build} seconds=${2:-20}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null
export XDG_CONFIG_HOME="$work"
"$build/shell/vantrelkivo" demo/vantrel-kivo-demo.mp3 >/dev/null 2>&1 &
player=$!
sleep "$seconds"
peak=$(awk '/VmHWM/ { print $2 }' "/proc/$player/status")
now=$(awk '/VmRSS/ { print $2 }' "/proc/$player/status")
kill -TERM "$player"
wait "$player" || true
echo "resident memory after ${seconds} s of the demo song: now $((now / 1024)) MB, peak $((peak / 1024)) MB (goal: at most 50 MB)"
