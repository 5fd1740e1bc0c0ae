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

JPG=(-strip -quality 95 -sampling-factor 1x1 -colorspace sRGB -type TrueColor)
PNG=(-strip -define png:exclude-chunks=date,time)

# The title band: W x 100, vertical gradient rows 0-95, flat crimson rows 96-99.
band() { # band WIDTH OUTFILE
    convert -size "${1}x96" "gradient:${BAND_TOP}-${CRIMSON}" \
            -size "${1}x4" "xc:${CRIMSON}" -append +repage "$2"
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

# ---------------------------------------------------------------- frame.jpg
# 13 x 101. Columns 0-5 left end, 6 stretched middle, 7-12 right end.
# Rows 0-99 title band, rows 96-100 bottom edge; the 3-px side strips
# (columns 0-2 / 10-12) are a solid dark border line.
band 13 "$tmp/band13.png"
convert "$tmp/band13.png" -size 13x1 "xc:${CRIMSON}" -append \
    -fill "$DARK"   -draw 'rectangle 0,0 2,100' -draw 'rectangle 10,0 12,100' \
    -fill "$DARKER" -draw 'rectangle 0,0 0,100' -draw 'rectangle 12,0 12,100' \
                    -draw 'rectangle 0,100 12,100' \
    "${JPG[@]}" -quality 100 frame.jpg

# --------------------------------------------------------------- swatch.jpg
convert -size 20x20 "xc:${CRIMSON}" "${JPG[@]}" swatch.jpg

# --------------------------------------------------------------- banner.jpg
# 400 x 70, sits on the title band rows 16-85.
band 400 "$tmp/band400.png"
convert "$tmp/band400.png" -crop 400x70+0+16 +repage "$tmp/banner-bg.png"

# faint equaliser bars on the right
bars=""
heights=(10 18 26 16 30 22 12 24 34 20 14 28 18 9 16 24 12)
x=262
for h in "${heights[@]}"; do
    bars+="rectangle $x,$((58 - h)) $((x + 4)),58 "
    x=$((x + 8))
done

convert "$tmp/banner-bg.png" \
    -fill 'rgba(255,255,255,0.09)' -draw "$bars" \
    -fill 'rgba(255,255,255,0.12)' -stroke none -draw 'circle 34,35 34,5' \
    -fill none -stroke white -strokewidth 2.2 -draw 'circle 34,35 34,10' \
    -stroke none -fill white -draw "translate 33,36 $(notes_draw 1.0)" \
    -font "$CJK_FONT" \
    -fill 'rgba(0,0,0,0.28)' -pointsize 25 -annotate +73+35 'Cantora辅助工具' \
    -fill white -stroke white -strokewidth 0.4 -annotate +72+34 'Cantora辅助工具' \
    -stroke none -pointsize 12 -annotate +73+55 '在线试听 · 一键下载 · 批量获取' \
    "${JPG[@]}" banner.jpg

# ---------------------------------------------------------- titlebuttons.jpg
# 70 x 69 sprite sheet. Minimise column x=0 (29 wide), cells y=0,21,41;
# close column x=29 (41 wide), cells y=0,21,42. Cells are 20 high:
# normal, hover, pressed. The window paints them at y=2 on the title band, so
# a normal cell is the band's rows 2-21 and blends in. Glyphs are drawn four
# times larger and scaled down, for smooth edges.
band 70 "$tmp/band70.png"
convert "$tmp/band70.png" -crop 70x20+0+2 +repage "$tmp/tb-normal.png"

glyph() { # glyph W KIND OUT: white glyph on transparent, W x 20
    local w=$1 kind=$2 out=$3
    local W=$((w * 4)) draw
    if [[ $kind == min ]]; then
        # 10 px bar, 1.5 px thick, centred at (14.5, 11)
        draw='rectangle 38,41 78,47'
        convert -size "${W}x80" xc:none -fill white -stroke none -draw "$draw" \
            -filter Box -resize 25% "$out"
    else
        # 10 x 10 cross centred at (20.5, 10)
        convert -size "${W}x80" xc:none -fill none -stroke white -strokewidth 6 -draw 'stroke-linecap round' \
            -draw 'line 62,20 102,60 line 62,60 102,20' \
            -filter Box -resize 25% "$out"
    fi
}
glyph 29 min "$tmp/g-min.png"
glyph 41 close "$tmp/g-close.png"

cell() { # cell W BG GLYPH OUT; BG a picture file or a colour
    local w=$1 bg=$2 g=$3 out=$4
    if [[ -f $bg ]]; then
        convert "$bg" "$g" -compose Over -composite "$out"
    else
        convert -size "${w}x20" "xc:$bg" "$g" -compose Over -composite "$out"
    fi
}
convert "$tmp/tb-normal.png" -crop 29x20+0+0 +repage "$tmp/min-bg.png"
convert "$tmp/tb-normal.png" -crop 41x20+29+0 +repage "$tmp/close-bg.png"
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

convert "$tmp/band70.png" -crop 70x69+0+0 +repage \
    "$tmp/min0.png"   -geometry +0+0   -composite \
    "$tmp/min1.png"   -geometry +0+21  -composite \
    "$tmp/min2.png"   -geometry +0+41  -composite \
    "$tmp/close0.png" -geometry +29+0  -composite \
    "$tmp/close1.png" -geometry +29+21 -composite \
    "$tmp/close2.png" -geometry +29+42 -composite \
    "${JPG[@]}" -quality 100 titlebuttons.jpg

# --------------------------------------------------------------- avatar.gif
convert -size 90x90 xc:'#EEEEEE' -fill '#B4B4B4' -stroke none \
    -draw 'circle 45,35 45,18' \
    -draw 'ellipse 45,92 33,35 0,360' \
    -strip avatar.gif

# ----------------------------------------------------------- avatarmask.png
# White corners, transparent disc (r=90) with a thin crimson ring.
convert -size 180x180 xc:white \
    \( -size 180x180 xc:white -fill black -draw 'circle 89.5,89.5 89.5,-0.5' \) \
    -alpha off -compose CopyOpacity -composite -compose Over \
    -fill none -stroke "$CRIMSON" -strokewidth 3 -draw 'circle 89.5,89.5 89.5,1' \
    "${PNG[@]}" PNG32:avatarmask.png

# -------------------------------------------------------------- mvbadge.png
convert -size 32x23 xc:none \
    -fill "$CRIMSON" -stroke none -draw 'roundrectangle 0,0 31,22 5,5' \
    -font "$BOLD_FONT" -pointsize 13 -fill white -gravity center \
    -annotate +0+0 'MV' \
    "${PNG[@]}" PNG32:mvbadge.png

# ---------------------------------------------------------------- parse.png
# 106 x 100 round button: shadow, gradient body, white notes and "提取".
convert -size 106x100 xc:none -fill 'rgba(60,0,10,0.55)' \
    -draw 'circle 53,49 53,7' -blur 0x3.2 "$tmp/parse-shadow.png"
convert -size 106x100 "gradient:${LIGHT}-${DARK}" "$tmp/parse-grad.png"
convert -size 106x100 xc:black -fill white -draw 'circle 53,46 53,4' "$tmp/parse-disc.png"
convert "$tmp/parse-grad.png" "$tmp/parse-disc.png" \
    -alpha off -compose CopyOpacity -composite "$tmp/parse-body.png"
convert "$tmp/parse-shadow.png" "$tmp/parse-body.png" -compose Over -composite \
    -fill none -stroke 'rgba(255,255,255,0.35)' -strokewidth 1.5 \
    -draw 'circle 53,46 53,6' \
    -stroke none -fill white -draw "translate 52,35 $(notes_draw 1.25)" \
    -font "$CJK_FONT" -pointsize 19 -stroke white -strokewidth 0.5 \
    -gravity north -annotate +0+56 '提取' \
    "${PNG[@]}" PNG32:parse.png

# --------------------------------------------------------------- close16.png
convert -size 16x16 xc:none -fill '#2E2E2E' -stroke none \
    -draw 'circle 7.5,7.5 7.5,0' \
    -fill none -stroke white -strokewidth 1.6 \
    -draw 'line 5,5 10,10 line 5,10 10,5' \
    "${PNG[@]}" PNG32:close16.png

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
    <file>banner.jpg</file>
    <file>titlebuttons.jpg</file>
    <file>frame.jpg</file>
    <file>swatch.jpg</file>
    <file>avatar.gif</file>
    <file>avatarmask.png</file>
    <file>mvbadge.png</file>
    <file>parse.png</file>
    <file>close16.png</file>
    <file>hand.png</file>
</qresource>
</RCC>
QRC

echo "art written to $PWD"
