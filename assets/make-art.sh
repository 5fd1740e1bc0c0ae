#!/usr/bin/env bash
# Regenerates the picture art of Cantora辅助工具 into this folder.
# Everything is drawn here with ImageMagick (shapes, gradients, text);
# run it again after changing colours or sizes, from any directory.
set -euo pipefail

cd "$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")"

CJK_FONT=/usr/share/fonts/truetype/wqy/wqy-microhei.ttc
BOLD_FONT=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
for f in "$CJK_FONT" "$BOLD_FONT"; do
    [[ -r $f ]] || { echo "missing font: $f" >&2; exit 1; }
done
command -v convert >/dev/null || { echo "ImageMagick 'convert' not found" >&2; exit 1; }

# Theme colours.
CRIMSON='#B3172F'
DARK='#8E1024'
DARKER='#760A1C'
LIGHT='#D2334A'
BAND_TOP='#C92C44'      # title band, row 0 (it darkens to CRIMSON by row 95)
CLOSE_HOVER='#E3263F'

# PNG throughout: Qt reads it itself, where JPEG and GIF would each load an
# image plugin (and libjpeg) while the window starts.
PNG=(-strip -define png:exclude-chunks=date,time)

# Pictures the window draws at their natural size come twice: "name.ext" and
# "name@2x.ext", the same drawing at twice the pixels for 200 % screens. S is
# the scale they are being drawn at; coordinates below are those of the 1x
# picture, run through these helpers.
S=1
n() { echo $(($1 * S)); }                                    # a whole length
f() { awk -v v="$1" -v s="$S" 'BEGIN { printf "%g", v * s }'; } # a fractional one
# A point: pixel centres of the 1x picture stay pixel centres.
p() { awk -v x="$1" -v y="$2" -v s="$S" 'BEGIN { printf "%g,%g", (x + .5) * s - .5, (y + .5) * s - .5 }'; }
# Pixels x0..x1, y0..y1 inclusive of the 1x picture.
rect() { echo "rectangle $(n "$1"),$(n "$2") $(($(n $(($3 + 1))) - 1)),$(($(n $(($4 + 1))) - 1))"; }

# The title band: W x 100, vertical gradient rows 0-95, flat crimson rows 96-99.
band() { # band WIDTH OUTFILE
    convert -size "$(n "$1")x$(n 96)" "gradient:${BAND_TOP}-${CRIMSON}" \
            -size "$(n "$1")x$(n 4)" "xc:${CRIMSON}" -append +repage "$2"
}

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Beamed pair of eighth notes; head centres are relative to (0,0), drawn in white.
# Scale with the first argument.
notes_draw() { # notes_draw SCALE
    local s=$1
    echo "scale $s,$s
          push graphic-context
            translate -6.5,9 rotate -22 ellipse 0,0 4.6,3.3 0,360
          pop graphic-context
          push graphic-context
            translate 6.5,6 rotate -22 ellipse 0,0 4.6,3.3 0,360
          pop graphic-context
          rectangle -3,-11 -1.6,8.4
          rectangle 10,-14 11.4,5.4
          polygon -3,-11 11.4,-14 11.4,-10 -3,-7"
}

draw_sized() { # draw_sized SCALE: the pictures below, named with @2x at scale 2
S=$1
local at=""
[[ $S == 1 ]] || at="@${S}x"

# ---------------------------------------------------------------- frame.png
# 13 x 101. Columns 0-5 left end, 6 stretched middle, 7-12 right end.
# Rows 0-99 title band, rows 96-100 bottom edge; the 3-px side strips
# (columns 0-2 / 10-12) are a solid dark border line.
band 13 "$tmp/band13.png"
convert "$tmp/band13.png" -size "$(n 13)x$(n 1)" "xc:${CRIMSON}" -append \
    -fill "$DARK"   -draw "$(rect 0 0 2 100)" -draw "$(rect 10 0 12 100)" \
    -fill "$DARKER" -draw "$(rect 0 0 0 100)" -draw "$(rect 12 0 12 100)" \
                    -draw "$(rect 0 100 12 100)" \
    "${PNG[@]}" "PNG24:frame$at.png"

# --------------------------------------------------------------- banner.png
# 400 x 70, sits on the title band rows 16-85.
band 400 "$tmp/band400.png"
convert "$tmp/band400.png" -crop "$(n 400)x$(n 70)+0+$(n 16)" +repage "$tmp/banner-bg.png"

# faint equaliser bars on the right
local bars="" h x=262
local heights=(10 18 26 16 30 22 12 24 34 20 14 28 18 9 16 24 12)
for h in "${heights[@]}"; do
    bars+="$(rect $x $((58 - h)) $((x + 4)) 58) "
    x=$((x + 8))
done

convert "$tmp/banner-bg.png" \
    -fill 'rgba(255,255,255,0.09)' -draw "$bars" \
    -fill 'rgba(255,255,255,0.12)' -stroke none -draw "circle $(p 34 35) $(p 34 5)" \
    -fill none -stroke white -strokewidth "$(f 2.2)" -draw "circle $(p 34 35) $(p 34 10)" \
    -stroke none -fill white -draw "translate $(p 33 36) $(notes_draw "$(f 1.0)")" \
    -font "$CJK_FONT" \
    -fill 'rgba(0,0,0,0.28)' -pointsize "$(n 25)" -annotate "+$(n 73)+$(n 35)" 'Cantora辅助工具' \
    -fill white -stroke white -strokewidth "$(f 0.4)" -annotate "+$(n 72)+$(n 34)" 'Cantora辅助工具' \
    -stroke none -pointsize "$(n 12)" -annotate "+$(n 73)+$(n 55)" '在线试听 · 一键下载 · 批量获取' \
    "${PNG[@]}" "PNG24:banner$at.png"

# ---------------------------------------------------------- titlebuttons.png
# 70 x 69 sprite sheet. Minimise column x=0 (29 wide), cells y=0,21,41;
# close column x=29 (41 wide), cells y=0,21,42. Cells are 20 high:
# normal, hover, pressed. The window paints them at y=2 on the title band, so
# a normal cell is the band's rows 2-21 and blends in. Glyphs are drawn four
# times larger (at 1x) and scaled down, for smooth edges.
band 70 "$tmp/band70.png"
convert "$tmp/band70.png" -crop "$(n 70)x$(n 20)+0+$(n 2)" +repage "$tmp/tb-normal.png"

glyph() { # glyph W KIND OUT: white glyph on transparent, W x 20
    local w=$1 kind=$2 out=$3
    local W=$((w * 4)) draw
    if [[ $kind == min ]]; then
        # 10 px bar, 1.5 px thick, centred at (14.5, 11)
        draw='rectangle 38,41 78,47'
        convert -size "${W}x80" xc:none -fill white -stroke none -draw "$draw" \
            -filter Box -resize "$((25 * S))%" "$out"
    else
        # 10 x 10 cross centred at (20.5, 10)
        convert -size "${W}x80" xc:none -fill none -stroke white -strokewidth 6 -draw 'stroke-linecap round' \
            -draw 'line 62,20 102,60 line 62,60 102,20' \
            -filter Box -resize "$((25 * S))%" "$out"
    fi
}
glyph 29 min "$tmp/g-min.png"
glyph 41 close "$tmp/g-close.png"

cell() { # cell W BG GLYPH OUT; BG a picture file or a colour
    local w=$1 bg=$2 g=$3 out=$4
    if [[ -f $bg ]]; then
        convert "$bg" "$g" -compose Over -composite "$out"
    else
        convert -size "$(n "$w")x$(n 20)" "xc:$bg" "$g" -compose Over -composite "$out"
    fi
}
convert "$tmp/tb-normal.png" -crop "$(n 29)x$(n 20)+0+0" +repage "$tmp/min-bg.png"
convert "$tmp/tb-normal.png" -crop "$(n 41)x$(n 20)+$(n 29)+0" +repage "$tmp/close-bg.png"
# Hover lightens the band for minimise and turns close a bright red; pressed
# darkens both.
convert "$tmp/min-bg.png" -fill white -colorize 16% "$tmp/min-hover.png"
convert "$tmp/min-bg.png" -fill black -colorize 22% "$tmp/min-pressed.png"
cell 29 "$tmp/min-bg.png"      "$tmp/g-min.png"   "$tmp/min0.png"
cell 29 "$tmp/min-hover.png"   "$tmp/g-min.png"   "$tmp/min1.png"
cell 29 "$tmp/min-pressed.png" "$tmp/g-min.png"   "$tmp/min2.png"
cell 41 "$tmp/close-bg.png"    "$tmp/g-close.png" "$tmp/close0.png"
cell 41 "$CLOSE_HOVER"         "$tmp/g-close.png" "$tmp/close1.png"
cell 41 "$DARKER"              "$tmp/g-close.png" "$tmp/close2.png"

convert "$tmp/band70.png" -crop "$(n 70)x$(n 69)+0+0" +repage \
    "$tmp/min0.png"   -geometry "+0+0"            -composite \
    "$tmp/min1.png"   -geometry "+0+$(n 21)"       -composite \
    "$tmp/min2.png"   -geometry "+0+$(n 41)"       -composite \
    "$tmp/close0.png" -geometry "+$(n 29)+0"       -composite \
    "$tmp/close1.png" -geometry "+$(n 29)+$(n 21)" -composite \
    "$tmp/close2.png" -geometry "+$(n 29)+$(n 42)" -composite \
    "${PNG[@]}" "PNG24:titlebuttons$at.png"

# -------------------------------------------------------------- mvbadge.png
convert -size "$(n 32)x$(n 23)" xc:none \
    -fill "$CRIMSON" -stroke none \
    -draw "roundrectangle 0,0 $(($(n 32) - 1)),$(($(n 23) - 1)) $(n 5),$(n 5)" \
    -font "$BOLD_FONT" -pointsize "$(n 13)" -fill white -gravity center \
    -annotate +0+0 'MV' \
    "${PNG[@]}" "PNG32:mvbadge$at.png"

# ---------------------------------------------------------------- parse.png
# 106 x 100 round button: shadow, gradient body, white notes and "提取".
convert -size "$(n 106)x$(n 100)" xc:none -fill 'rgba(60,0,10,0.55)' \
    -draw "circle $(p 53 49) $(p 53 7)" -blur "0x$(f 3.2)" "$tmp/parse-shadow.png"
convert -size "$(n 106)x$(n 100)" "gradient:${LIGHT}-${DARK}" "$tmp/parse-grad.png"
convert -size "$(n 106)x$(n 100)" xc:black -fill white -draw "circle $(p 53 46) $(p 53 4)" "$tmp/parse-disc.png"
convert "$tmp/parse-grad.png" "$tmp/parse-disc.png" \
    -alpha off -compose CopyOpacity -composite "$tmp/parse-body.png"
convert "$tmp/parse-shadow.png" "$tmp/parse-body.png" -compose Over -composite \
    -fill none -stroke 'rgba(255,255,255,0.35)' -strokewidth "$(f 1.5)" \
    -draw "circle $(p 53 46) $(p 53 6)" \
    -stroke none -fill white -draw "translate $(p 52 35) $(notes_draw "$(f 1.25)")" \
    -font "$CJK_FONT" -pointsize "$(n 19)" -stroke white -strokewidth "$(f 0.5)" \
    -gravity north -annotate "+0+$(n 56)" '提取' \
    "${PNG[@]}" "PNG32:parse$at.png"

# --------------------------------------------------------------- close16.png
convert -size "$(n 16)x$(n 16)" xc:none -fill '#2E2E2E' -stroke none \
    -draw "circle $(p 7.5 7.5) $(p 7.5 0)" \
    -fill none -stroke white -strokewidth "$(f 1.6)" \
    -draw "line $(p 5 5) $(p 10 10) line $(p 5 10) $(p 10 5)" \
    "${PNG[@]}" "PNG32:close16$at.png"
S=1
}
draw_sized 1
draw_sized 2

# ------------------------------------------------------------ icon-N.png
# The program's icon for menus and the taskbar: the banner's disc and notes on
# a rounded crimson square, drawn large once and scaled to each size.
ICON_SIZES=(16 24 32 48 64 128 256)
convert -size 512x512 "gradient:${LIGHT}-${DARK}" "$tmp/icon-grad.png"
convert -size 512x512 xc:black -fill white -draw 'roundrectangle 16,16 495,495 96,96' "$tmp/icon-mask.png"
convert "$tmp/icon-grad.png" "$tmp/icon-mask.png" -alpha off -compose CopyOpacity -composite \
    -compose Over \
    -fill 'rgba(255,255,255,0.12)' -stroke none -draw 'circle 255.5,255.5 255.5,60' \
    -fill none -stroke white -strokewidth 22 -draw 'circle 255.5,255.5 255.5,86' \
    -stroke none -fill white -draw "translate 248,266 $(notes_draw 7.2)" \
    "$tmp/icon-512.png"
for size in "${ICON_SIZES[@]}"; do
    convert "$tmp/icon-512.png" -filter Lanczos -resize "${size}x${size}" "${PNG[@]}" "PNG32:icon-$size.png"
done

# --------------------------------------------------------------- avatar.png
convert -size 90x90 xc:'#EEEEEE' -fill '#B4B4B4' -stroke none \
    -draw 'circle 45,35 45,18' \
    -draw 'ellipse 45,92 33,35 0,360' \
    "${PNG[@]}" PNG24:avatar.png

# ----------------------------------------------------------- avatarmask.png
# White corners, transparent disc (r=90) with a thin crimson ring.
convert -size 180x180 xc:white \
    \( -size 180x180 xc:white -fill black -draw 'circle 89.5,89.5 89.5,-0.5' \) \
    -alpha off -compose CopyOpacity -composite -compose Over \
    -fill none -stroke "$CRIMSON" -strokewidth 3 -draw 'circle 89.5,89.5 89.5,1' \
    "${PNG[@]}" PNG32:avatarmask.png

# ------------------------------------------------------------------ hand.png
# Pixel-drawn pointing hand, fingertip (hot spot) at (5,0).
# B = black outline, W = white fill, . = transparent.
hand_rows=(
"....BBB............"
"...BWWWB..........."
"...BWWWB..........."
"...BWWWB..........."
"...BWWWB..........."
"...BWWWB..........."
"...BWWWBBBB........"
"...BWWWBWWWBBBB...."
"...BWWWBWWWBWWWBBB."
"...BWWWBWWWBWWWBWWB"
".BBBWWWBWWWBWWWBWWB"
"BWWBWWWBWWWBWWWBWWB"
"BWWWWWWWWWWWWWWWWWB"
".BWWWWWWWWWWWWWWWWB"
".BWWWWWWWWWWWWWWWWB"
"..BWWWWWWWWWWWWWWWB"
"..BWWWWWWWWWWWWWWWB"
"...BWWWWWWWWWWWWWB."
"...BWWWWWWWWWWWWWB."
"....BWWWWWWWWWWWB.."
"....BWWWWWWWWWWWB.."
"....BBBBBBBBBBBBB.."
)
{
    echo "# ImageMagick pixel enumeration: 32,32,255,srgba"
    for ((y = 0; y < 32; y++)); do
        row=${hand_rows[y]:-}
        for ((x = 0; x < 32; x++)); do
            c=${row:x:1}
            case $c in
                B) echo "$x,$y: (0,0,0,255)" ;;
                W) echo "$x,$y: (255,255,255,255)" ;;
                *) echo "$x,$y: (0,0,0,0)" ;;
            esac
        done
    done
} > "$tmp/hand.txt"
convert "txt:$tmp/hand.txt" "${PNG[@]}" PNG32:hand.png

# ---------------------------------------------------------------- assets.qrc
cat > assets.qrc <<'QRC'
<!DOCTYPE RCC>
<RCC version="1.0">
<qresource prefix="/art">
    <file>banner.png</file>
    <file>banner@2x.png</file>
    <file>titlebuttons.png</file>
    <file>titlebuttons@2x.png</file>
    <file>frame.png</file>
    <file>frame@2x.png</file>
    <file>swatch.png</file>
    <file>avatar.png</file>
    <file>avatarmask.png</file>
    <file>mvbadge.png</file>
    <file>mvbadge@2x.png</file>
    <file>parse.png</file>
    <file>parse@2x.png</file>
    <file>close16.png</file>
    <file>close16@2x.png</file>
    <file>hand.png</file>
    <file>icon-16.png</file>
    <file>icon-32.png</file>
    <file>icon-48.png</file>
    <file>icon-256.png</file>
</qresource>
</RCC>
QRC

echo "art written to $PWD"
