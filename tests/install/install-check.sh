#!/usr/bin/env bash
# Installs the player into a fresh prefix and runs both programs from there, as a user on a
# machine without the build tree would: kivo-lyrics embeds and shows a song's lyrics, the player
# starts headless, writes its preferences and ends cleanly when asked to stop; kivo-library
# finds a song.
# Usage: install-check.sh CMAKE BUILD_DIR MAKESONG
set -euo pipefail
cmake=$1 build=$2 makesong=$3
work=$(mktemp -d)
trap '[ -n "${player:-}" ] && kill "$player" 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

prefix="$work/prefix"
"$cmake" --install "$build" --prefix "$prefix" >/dev/null
for program in vantrelkivo kivo-lyrics kivo-library; do
    [ -x "$prefix/bin/$program" ] || fail "$program not installed"
    # The libraries must come from the prefix, never from the build tree.
    if LD_LIBRARY_PATH= ldd "$prefix/bin/$program" | grep -F "$build" ; then
        fail "$program uses libraries of the build tree"
    fi
    LD_LIBRARY_PATH= ldd "$prefix/bin/$program" | grep -q 'not found' && fail "$program misses a library"
done

[ -s "$prefix/share/vantrelkivo/demo/vantrel-kivo-demo.mp3" ] || fail "the demo song is not installed"

# The desktop's menu entry starts the installed player and shows its icon, 32 x 32 and scalable;
# .playlist files are given their own type.
entry="$prefix/share/applications/vantrelkivo.desktop"
[ -s "$entry" ] || fail "the desktop entry is not installed"
program=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry")
[ -x "$prefix/bin/$program" ] || fail "the desktop entry starts '$program', which is not installed"
icon=$(sed -n 's/^Icon=//p' "$entry")
icons="$prefix/share/icons/hicolor"
[ "$(od -An -tx1 -j16 -N8 "$icons/32x32/apps/$icon.png" | tr -d ' \n')" = 0000002000000020 ] ||
    fail "no 32 x 32 PNG icon '$icon'"
grep -q '<svg .*width="32"' "$icons/scalable/apps/$icon.svg" || fail "no scalable icon '$icon'"
grep -q 'pattern="\*\.playlist"' "$prefix/share/mime/packages/vantrelkivo.xml" ||
    fail "the .playlist file type is not installed"

"$makesong" "$work/song.mp3" 2
printf '[00:00.50]Hello there\n[00:01.20]Second line\n' > "$work/song.lrc"
"$prefix/bin/kivo-lyrics" embed "$work/song.mp3" "$work/song.lrc" || fail "embed failed"
rm "$work/song.lrc"
shown=$("$prefix/bin/kivo-lyrics" show --json "$work/song.mp3" 2>/dev/null)
grep -q 'Hello there' <<<"$shown" || fail "show did not give the embedded lyrics: $shown"

# kivo-library indexes the song's folder and finds it by its file name.
export XDG_DATA_HOME="$work/data"
"$prefix/bin/kivo-library" add "$work" || fail "kivo-library add failed"
"$prefix/bin/kivo-library" scan >/dev/null 2>&1 || fail "kivo-library scan failed"
found=$("$prefix/bin/kivo-library" search song)
[ "${found%%$'\t'*}" = "$work/song.mp3" ] || fail "kivo-library search did not find the song: $found"

# The player starts on the installed demo song, plays, and ends at once when asked to stop, even
# though its changed playlist would offer to be saved if the window were closed.
export QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/sound.raw"
export XDG_CONFIG_HOME="$work/config"
preferences="$XDG_CONFIG_HOME/VantrelKivo/VantrelKivo.preferences"
"$prefix/bin/vantrelkivo" "$prefix/share/vantrelkivo/demo/vantrel-kivo-demo.mp3" &
player=$!
for _ in $(seq 100); do
    [ -s "$work/sound.raw" ] && [ -s "$preferences" ] && break
    kill -0 "$player" 2>/dev/null || fail "the player ended on its own"
    sleep 0.1
done
[ -s "$work/sound.raw" ] || fail "the player played nothing within 10 s"
sleep 0.5
kill -TERM "$player"
for _ in $(seq 200); do
    kill -0 "$player" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$player" 2>/dev/null && fail "the player was still running 20 s after SIGTERM"
status=0
wait "$player" || status=$?
player=
[ "$status" -eq 0 ] || fail "the player ended with $status after SIGTERM"
echo "installed programs run from $prefix"
