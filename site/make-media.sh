#!/bin/bash
# Makes the replica site's avatars and songs: drawn with ImageMagick, the
# songs synthesised with sox and encoded with lame. The results are committed;
# run this again only to change them.
set -euo pipefail
cd "$(dirname "$0")/www"
FONT=/usr/share/fonts/truetype/wqy/wqy-microhei.ttc

# avatar FILE COLOUR_A COLOUR_B GLYPH
avatar() {
    convert -size 90x90 "radial-gradient:$2-$3" \
        -fill 'rgba(255,255,255,0.85)' -draw 'circle 45,36 45,20' \
        -draw 'ellipse 45,92 30,26 180,360' \
        -font "$FONT" -pointsize 18 -fill "$3" -gravity center -annotate +0+-9 "$4" \
        -strip "img/avatar/$1"
}
avatar 1001.jpg '#ffd1dc' '#c2185b' '夏'
avatar 1002.gif '#d0f0ff' '#1565c0' '木'

# song FILE NOTE... : the notes plucked twice over, a third of a second each.
song() {
    local out="$1"
    shift
    local parts=()
    local note
    for note in "$@" "$@"; do
        parts+=(synth 0.32 pluck "$note" fade 0 0.32 0.2 :)
    done
    unset 'parts[${#parts[@]}-1]'
    sox -n -r 44100 -c 1 /tmp/cantora-song.wav "${parts[@]}" norm -3 reverb 30 fade 0.02 -0 0.6
    lame --quiet -m m -b 64 --tt "replica song" /tmp/cantora-song.wav "audio/$out"
    rm -f /tmp/cantora-song.wav
}
song 5200109.mp3 C4 E4 G4 C5 G4 E4 D4 F4 A4 D5 A4 F4
song 5201109.mp3 A3 C4 E4 A4 E4 C4 G3 B3 D4 G4 D4 B3
song 5202109.mp3 F4 A4 C5 F5 C5 A4 E4 G4 C5 E5 C5 G4
song 5203109.mp3 D4 F#4 A4 D5 A4 F#4 E4 G4 B4 E5 B4 G4
