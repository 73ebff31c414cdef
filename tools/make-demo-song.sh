#!/usr/bin/env bash
# Builds the bundled demo karaoke song from nothing: a small band (bass, plucked chords, drums and
# a lead that doubles the tune) synthesised with sox, every word spoken by espeak-ng at its own
# word stamp, mixed and encoded by lame as a 44.1 kHz stereo MP3, with word-stamped LRC lyrics
# stored in its tag by kivo-lyrics and written beside it. The words and tune are the project's own.
#
# Usage: tools/make-demo-song.sh [BUILD_DIR]        (BUILD_DIR defaults to build)
# Needs the Debian packages sox, espeak-ng and lame (apt-get install sox espeak-ng lame), and
# kivo-lyrics built in BUILD_DIR (cmake --build BUILD_DIR --target kivo-lyrics).
# Writes demo/vantrel-kivo-demo.mp3 and demo/vantrel-kivo-demo.lrc. The same tools give the same
# bytes: sox runs in repeatable mode, and nothing depends on the clock or on random numbers.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
[[ $build = /* ]] || build="$root/$build"
kivo_lyrics="$build/tools/kivo-lyrics/kivo-lyrics"
out="$root/demo/vantrel-kivo-demo"

missing=()
for tool in sox:sox espeak-ng:espeak-ng lame:lame; do
    command -v "${tool%%:*}" >/dev/null || missing+=("${tool#*:}")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "make-demo-song: missing ${missing[*]}; install with: apt-get install ${missing[*]}" >&2
    exit 1
fi
if [ ! -x "$kivo_lyrics" ]; then
    echo "make-demo-song: $kivo_lyrics not built; run: cmake --build $build --target kivo-lyrics" >&2
    exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Time runs in half beats: 120 beats a minute, so a half beat is 0.25 s, 11025 samples, and
# every stamp falls on a whole hundredth of a second. A bar is 8 half beats.
rate=44100
half=11025
sx() { sox -D -R -q "$@"; } # no dither, fixed seeds: the same bytes on every run
mono=(-r "$rate" -c 1 -b 16 -e signed-integer)
nothing=(-r "$rate" -c 1 -n) # the null input runs at 48 kHz unless told otherwise

# The song. Each section names the chord of each of its bars and then its tokens,
# WORD:HALVES:NOTE. A word is sung; "~" is the lead alone (intro and breaks); "-" is a rest.
# A line section is one lyric line of two bars; a break ends a page of lyrics.
song() {
    cat <<'EOF'
intro C G|~:2:E4 ~:2:G4 ~:2:C5 ~:2:G4 ~:2:D4 ~:2:G4 ~:2:B4 ~:2:D5
line C G|Press:2:E4 play:2:G4 and:2:G4 hear:2:A4 the:1:B4 music:3:A4 start:2:G4 -:2
line Am F|Watch:2:A4 the:1:G4 words:3:E4 light:2:C5 up:2:A4 in:2:G4 time:2:F4 -:2
line C G|Every:3:E4 colour:3:G4 marks:2:C5 your:2:B4 part:4:G4 -:2
line F C|Sing:2:A4 along:2:A4 from:2:G4 line:2:F4 to:2:E4 line:4:C4 -:2
break G|~:2:G4 ~:2:A4 ~:2:B4 ~:2:D5
line F C|Take:2:A4 a:1:A4 breath:3:C5 between:2:A4 the:2:G4 bars:4:E4 -:2
line G Am|Let:2:D4 the:1:D4 little:3:G4 tune:2:B4 come:2:C5 round:4:A4 -:2
line F C|Count:2:A4 the:1:A4 beats:3:C5 and:2:A4 count:2:G4 the:1:E4 stars:3:E4 -:2
line G C|Fill:2:D4 the:1:D4 room:3:G4 with:2:B4 happy:3:D5 sound:3:C5 -:2
break G|~:2:G4 ~:2:A4 ~:2:B4 ~:2:D5
line C Am|When:2:E4 the:1:E4 final:3:G4 page:2:C5 is:2:C5 done:4:A4 -:2
line F G|Pick:2:A4 another:3:A4 song:3:C5 to:2:B4 play:4:G4 -:2
line C Am|Thanks:2:E4 for:2:E4 singing,:4:G4 everyone:6:A4 -:2
line F G|Now:2:A4 the:1:A4 demo:3:C5 slips:2:A4 away:6:G4 -:2
outro C|~:8:C5
EOF
}

# Note name (C4, F#3, Bb2) to MIDI number and to hertz.
midi() {
    local name=$1 letter=${1:0:1} rest=${1:1} base
    case $letter in C) base=0 ;; D) base=2 ;; E) base=4 ;; F) base=5 ;; G) base=7 ;; A) base=9 ;; B) base=11 ;; *)
        echo "make-demo-song: bad note $name" >&2; exit 1 ;; esac
    case $rest in \#*) base=$((base + 1)); rest=${rest:1} ;; b*) base=$((base - 1)); rest=${rest:1} ;; esac
    echo $(((rest + 1) * 12 + base))
}
hz() { awk -v m="$1" 'BEGIN { printf "%.3f", 440 * 2 ^ ((m - 69) / 12) }'; }
chord_notes() { # root, third and fifth as MIDI numbers, the root in the octave below middle C
    local root=${1%m} minor=0 r
    [ "$root" != "$1" ] && minor=1
    r=$(midi "${root}3")
    echo "$r" $((r + 4 - minor)) $((r + 7))
}

# Exactly N half beats of the input (cut or padded with silence).
fit() {
    local have want=$(($3 * half))
    have=$(soxi -s "$1")
    if ((have >= want)); then
        sx "$1" "$2" trim 0 "${want}s"
    else
        sx "$1" "$2" pad 0 "$((want - have))s"
    fi
}
silence() {
    local f="$work/rest$1.wav"
    [ -f "$f" ] || sx "${nothing[@]}" "${mono[@]}" "$f" trim 0 "$(($1 * half))s"
    echo "$f"
}

# --- Drums: kick on 1 and 3, snare on 2 and 4, a closed hat on every half beat. ---
make_drums() {
    sx "${nothing[@]}" "${mono[@]}" "$work/kick.wav" synth 0.2 sine 110-40 fade 0 0.2 0.17 gain -6
    sx "${nothing[@]}" "${mono[@]}" "$work/snare.wav" synth 0.14 noise gain -12 lowpass 4500 highpass 250 fade 0 0.14 0.12
    sx "${nothing[@]}" "${mono[@]}" "$work/hat.wav" synth 0.05 noise gain -20 highpass 7000 fade 0 0.05 0.045
    local hit parts=()
    fit "$work/hat.wav" "$work/h.wav" 1
    for hit in kick snare; do
        sx -m -v 0.7 "$work/$hit.wav" -v 0.3 "$work/hat.wav" "$work/${hit}h0.wav"
        fit "$work/${hit}h0.wav" "$work/${hit}h.wav" 1
    done
    for hit in kickh h snareh h kickh h snareh h; do parts+=("$work/$hit.wav"); done
    sx "${parts[@]}" "$work/drums.wav"
}

# --- One bar of accompaniment for a chord: bass on 1 and 3, a plucked strum on every beat. ---
make_bar() {
    local chord=$1 file="$work/bar-$1.wav"
    [ -f "$file" ] && return
    local r3 t3 f3
    read -r r3 t3 f3 <<<"$(chord_notes "${chord%-end}")"
    local bass
    bass=$(hz $((r3 - 12)))
    sx "${nothing[@]}" "${mono[@]}" "$work/bass0.wav" synth 1 pluck "$bass" fade 0 1 0.3 gain -8
    fit "$work/bass0.wav" "$work/bass1.wav" 4
    sx "$work/bass1.wav" "$work/bass1.wav" "$work/bass.wav"
    sx -r "$rate" -c 3 -n -b 16 "$work/strum3.wav" \
        synth 0.5 pluck "$(hz "$r3")" pluck "$(hz "$t3")" pluck "$(hz "$f3")" delay 0 0.012 0.024
    sx "$work/strum3.wav" "${mono[@]}" "$work/strum0.wav" remix 1,2,3 fade 0 0.5 0.1 gain -8
    fit "$work/strum0.wav" "$work/strum1.wav" 2
    sx "$work/strum1.wav" "$work/strum1.wav" "$work/strum1.wav" "$work/strum1.wav" "$work/strum.wav"
    # Bass and drums in the middle, the strum leaning right.
    if [ "$chord" = C-end ]; then
        sx "$work/bass.wav" "$work/middle.wav"
    else
        sx -m -v 0.6 "$work/bass.wav" -v 0.4 "$work/drums.wav" "$work/middle.wav"
    fi
    sx -M "$work/middle.wav" "$work/strum.wav" "$file" remix -m 1v0.7,2v0.2 1v0.7,2v0.4
}

# --- A sung word: spoken at a pitch following the tune, trimmed to its sound, squeezed when it
# would overrun its slot, and placed so its first sound is its word stamp. ---
make_word() {
    local word=$1 halves=$2 note=$3 file=$4
    local text=${word//[^A-Za-z\']/} pitch m
    m=$(midi "$note")
    pitch=$((40 + (m - 67) * 4))
    ((pitch < 10)) && pitch=10
    ((pitch > 90)) && pitch=90
    espeak-ng -v en-us+f3 -s 175 -p "$pitch" -z -w "$work/say.wav" "$text"
    sx "$work/say.wav" "${mono[@]}" "$work/said.wav" rate "$rate" \
        silence 1 0.005 -45d reverse silence 1 0.005 -45d reverse
    local have want
    have=$(soxi -s "$work/said.wav")
    want=$((halves * half * 92 / 100)) # a breath before the next word
    if ((have > want)); then
        sx "$work/said.wav" "$work/squeezed.wav" tempo -s "$(awk -v h="$have" -v w="$want" 'BEGIN { printf "%.4f", h / w }')"
        mv "$work/squeezed.wav" "$work/said.wav"
    fi
    sx "$work/said.wav" "$work/saidf.wav" fade 0.005 0 0.02
    fit "$work/saidf.wav" "$file" "$halves"
}

# --- The lead: a soft pluck on the tune's note for as long as the word lasts. ---
make_lead() {
    local halves=$1 note=$2 file=$3 seconds
    seconds=$(awk -v n="$halves" 'BEGIN { printf "%.2f", n * 0.25 }')
    sx "${nothing[@]}" "${mono[@]}" "$work/lead0.wav" synth "$seconds" pluck "$(hz "$(midi "$note")")" \
        fade 0.005 "$seconds" 0.05 gain -6
    fit "$work/lead0.wav" "$file" "$halves"
}

stamp() { # half beats to mm:ss.xx
    local cs=$(($1 * 25))
    printf '%02d:%02d.%02d' $((cs / 6000)) $((cs % 6000 / 100)) $((cs % 100))
}

make_drums
bars=()
voice=()
lead=()
lrc=("[ti:Line to Line]" "[ar:Vantrel Kivo]")
at=0 # half beats from the start
n=0
sung=0 # whether the page on screen has lines (a break only ends a page that has some)
while IFS='|' read -r head tokens; do
    read -r kind chords <<<"$head"
    for chord in $chords; do
        [ "$kind" = outro ] && chord=C-end
        make_bar "$chord"
        bars+=("$work/bar-$chord.wav")
    done
    if [ "$kind" = break ] && ((sung)); then
        lrc+=("[$(stamp "$at")]")
        sung=0
    fi
    text="[$(stamp "$at")]"
    line_at=$at
    end=$at
    for token in $tokens; do
        IFS=: read -r word halves note <<<"$token"
        n=$((n + 1))
        seg=$(printf '%s/seg%03d' "$work" "$n")
        case $word in
        -)
            voice+=("$(silence "$halves")")
            lead+=("$(silence "$halves")")
            ;;
        \~)
            voice+=("$(silence "$halves")")
            make_lead "$halves" "$note" "$seg-lead.wav"
            lead+=("$seg-lead.wav")
            ;;
        *)
            make_word "$word" "$halves" "$note" "$seg-voice.wav"
            make_lead "$halves" "$note" "$seg-lead.wav"
            voice+=("$seg-voice.wav")
            lead+=("$seg-lead.wav")
            [ "$end" -gt "$line_at" ] && text+=" "
            text+="<$(stamp "$at")>$word"
            end=$((at + halves))
            ;;
        esac
        at=$((at + halves))
    done
    if [ "$kind" = line ]; then
        lrc+=("$text <$(stamp "$end")>") # the closing stamp: when the last word has been sung
        sung=1
    fi
done < <(song)

sx "${bars[@]}" "$work/band.wav"
sx "${voice[@]}" "$work/voice.wav"
sx "${lead[@]}" "$work/lead.wav"
sx "$work/voice.wav" "$work/voicen.wav" gain -n -1

# Voice in the middle, lead a little left, band as built; a second of ring after the last bar.
sx "$work/voicen.wav" -c 2 "$work/voice2.wav" remix 1 1
sx "$work/lead.wav" -c 2 "$work/lead2.wav" remix 1v0.9 1v0.5
sx -m -v 0.55 "$work/voice2.wav" -v 0.2 "$work/lead2.wav" -v 0.25 "$work/band.wav" \
    "$work/mix.wav" pad 0 1 fade 0 0 1.2 gain -n -1

mkdir -p "$root/demo"
printf '%s\n' "${lrc[@]}" >"$work/song.lrc"
rm -f "$out.lrc" # the player would prefer it to the tag, which is being written
lame --quiet -m j -b 96 --resample 44.1 --id3v2-only \
    --tt "Line to Line" --ta "Vantrel Kivo" --tl "Vantrel Kivo demo" "$work/mix.wav" "$out.mp3"
"$kivo_lyrics" embed "$out.mp3" "$work/song.lrc"
cp "$work/song.lrc" "$out.lrc"
echo "make-demo-song: wrote $out.mp3 ($(stat -c %s "$out.mp3") bytes) and $out.lrc"
