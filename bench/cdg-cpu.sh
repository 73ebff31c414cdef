#!/usr/bin/env bash
# CPU of the player while a zipped MP3+G song plays in its window on an X server (Xvfb), against
# the same song's .mp3 without graphics, through SDL's disk driver in real time. CPU is
# utime+stime over wall time, in % of one core, measured for SECONDS after the first 3 s.
# Goals: with graphics at most 1.5 %, and within 2 points of the song without them.
# Usage: bench/cdg-cpu.sh [BUILD_DIR] [SECONDS] [DISPLAY_NUMBER]   (defaults: build 60 16)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
seconds=${2:-60}
display=:${3:-16}
work=$(mktemp -d)
server=
trap '[ -z "$server" ] || kill "$server" 2>/dev/null; rm -rf "$work"' EXIT
"$build/bench/bench_cdg" --write "$work" | grep songs
if ! xdpyinfo -display "$display" >/dev/null 2>&1; then
    Xvfb "$display" -screen 0 1280x800x24 >/dev/null 2>&1 &
    server=$!
    sleep 1
fi
export DISPLAY=$display QT_QPA_PLATFORM=xcb SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null
unset SDL_DISKAUDIODELAY
hz=$(getconf CLK_TCK)
ticks() { sed 's/^.*) //' "/proc/$1/stat" | awk '{ print $12 + $13 }'; }
now() { date +%s.%N; }

# Prints the player's CPU in % of one core while it plays song for SECONDS.
measure() {
    export XDG_CONFIG_HOME="$work/config-$(basename "$1")"
    "$build/shell/vantrelkivo" "$1" >/dev/null 2>&1 &
    local player=$!
    sleep 3
    local before start
    before=$(ticks "$player") start=$(now)
    sleep "$seconds"
    local used end
    used=$(( $(ticks "$player") - before )) end=$(now)
    kill -TERM "$player"
    wait "$player" || true
    awk -v t="$used" -v hz="$hz" -v a="$start" -v b="$end" 'BEGIN { printf "%.2f", 100 * t / hz / (b - a) }'
}

with=$(measure "$work/song.zip")
without=$(measure "$work/plain.mp3")
echo "player on $display, ${seconds} s of a zipped MP3+G song in the window: $with % of one core" \
     "(goal: at most 1.5 %); the same .mp3 without graphics: $without %" \
     "(difference $(awk -v a="$with" -v b="$without" 'BEGIN { printf "%.2f", a - b }') points, goal: at most 2)"
