#!/usr/bin/env bash
# CPU of the whole player, offscreen through SDL's disk driver in real time: playing the demo song
# for its whole length, and with its window open and nothing playing for IDLE seconds. In the same
# run a reference player, ffplay -nodisp -autoexit on the same file and the same driver, when it
# is installed (it is no dependency: skipped when absent). CPU is utime+stime over wall time, in %
# of one core. Goals: playing at most 1 % and below the reference; idle at most 0.2 %.
# Usage: bench/cpu.sh [BUILD_DIR] [SECONDS] [IDLE]
#   SECONDS: the song's length, from soxi when installed, else 59; IDLE: default 10.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
song=demo/vantrel-kivo-demo.mp3
seconds=${2:-$(soxi -D "$song" 2>/dev/null || echo 59)}
idle=${3:-10}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null
unset SDL_DISKAUDIODELAY       # the disk driver keeps real time
hz=$(getconf CLK_TCK)

# utime + stime of a running process in clock ticks (fields 14 and 15; the name may hold spaces)
ticks() { sed 's/^.*) //' "/proc/$1/stat" | awk '{ print $12 + $13 }'; }
now() { date +%s.%N; }
percent() { awk -v t="$1" -v hz="$hz" -v wall="$2" 'BEGIN { printf "%.2f", 100 * t / hz / wall }'; }

# The player from its start to SECONDS after it; startup included, as for the reference. Fresh
# preferences: default buffers, and no playlist reopened.
export XDG_CONFIG_HOME="$work/playing"
start=$(now)
"$build/shell/vantrelkivo" "$song" >/dev/null 2>&1 &
player=$!
sleep 2
settled=$(ticks "$player") settledAt=$(now)
sleep "$(awk -v s="$seconds" 'BEGIN { print s - 1.5 }')"
used=$(ticks "$player") end=$(now)
kill -TERM "$player"
wait "$player" || true
wall=$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')
playing=$(percent "$used" "$wall")
printf 'player, demo song (%g s) to its end: %s %% of one core over %.1f s; after its first 2 s: %s %%' \
    "$seconds" "$playing" "$wall" \
    "$(percent $((used - settled)) "$(awk -v a="$settledAt" -v b="$end" 'BEGIN { print b - a }')")"
echo " (goal: at most 1 %)"

if command -v ffplay >/dev/null; then
    TIMEFORMAT='%R %U %S'
    { time ffplay -nodisp -autoexit -loglevel quiet "$song" >/dev/null 2>&1; } 2>"$work/ffplay"
    read -r fwall fuser fsys <"$work/ffplay"
    reference=$(awk -v u="$fuser" -v s="$fsys" -v w="$fwall" 'BEGIN { printf "%.2f", 100 * (u + s) / w }')
    echo "reference ffplay, same song: $reference % of one core over $fwall s" \
        "(player $(awk -v p="$playing" -v r="$reference" 'BEGIN { print (p < r) ? "below" : "NOT below" }') it)"
else
    echo "reference: ffplay not installed, skipped"
fi

# The window open, nothing loaded (fresh preferences again: the run above left its playlist to
# reopen and play): IDLE seconds after it has settled.
export XDG_CONFIG_HOME="$work/idle"
"$build/shell/vantrelkivo" >/dev/null 2>&1 &
player=$!
sleep 2
before=$(ticks "$player") start=$(now)
sleep "$idle"
used=$(($(ticks "$player") - before)) wall=$(awk -v a="$start" -v b="$(now)" 'BEGIN { print b - a }')
kill -TERM "$player"
wait "$player" || true
printf 'player, window open with nothing playing: %s %% of one core over %.1f s, %d ticks of 1/%d s' \
    "$(percent "$used" "$wall")" "$wall" "$used" "$hz"
echo " (goal: at most 0.2 %)"
