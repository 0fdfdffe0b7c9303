#!/usr/bin/env bash
# Draws a contact sheet of the rendered images: each at 1x and 2x on the
# background it is made for, magnified so single pixels can be judged.
# Usage: res/contact-sheet.sh BIN_DIR OUTPUT.png   (e.g. build/bin docs/icons.png)
set -euo pipefail
if [ $# -ne 2 ] || [ "$1" = --help ]; then
  sed -n '2,4p' "$0" | sed 's/^# \{0,1\}//'; [ "${1:-}" = --help ]; exit $?
fi
res="$1/res"
[ -d "$res" ] || { echo "contact-sheet.sh: no rendered images in '$res' (build vindrel_res first)" >&2; exit 1; }
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
font=DejaVu-Sans
n=0

# tile NAME BACKGROUND SIZE: NAME.png at 1x beside NAME@2x.png, both shown 96 px high.
tile() {
  local name=$1 bg=$2 size=$3 zoom=$((96 / $3))
  n=$((n + 1))
  convert -size "${size}x${size}" "xc:$bg" "$res/$name.png" -composite \
          -filter point -resize "$((zoom * 100))%" "$work/one.png"
  convert -size "$((2 * size))x$((2 * size))" "xc:$bg" "$res/$name@2x.png" -composite \
          -filter point -resize "$((zoom * 50))%" "$work/two.png"
  convert "$work/one.png" "$work/two.png" -background white -splice 8x0 +append \
          -gravity north -extent 216x136 +repage -font "$font" -pointsize 11 \
          -annotate +0+104 "$name" -pointsize 10 -fill '#5A6675' \
          -annotate +0+120 "1x: ${size} px  |  2x: $((2 * size)) px" -bordercolor white -border 6 \
          "$work/$(printf %02d $n).png"
}

title_bar='#F4F6F9'; idle='#B0BBC7'; active='#4B74B4'
for b in min_btn max_btn close_btn; do
  for s in normal hot pushed; do tile "common/${b}_$s" "$title_bar" 16; done
done
tile common/restore "$title_bar" 16
tile common/restore_hot "$title_bar" 16
tile common/restore_pushed "$title_bar" 16
tile mainwnd/search_btn_normal "$idle" 16
tile mainwnd/search_btn_selected "$active" 16
tile mainwnd/stop_btn_normal "$idle" 16
tile mainwnd/stop_btn_selected "$active" 16
tile mainwnd/refresh_btn "$idle" 16
tile mainwnd/language_btn "$idle" 16
tile mainwnd/logo "$title_bar" 24
tile msgwnd/info white 32

montage "$work"/[0-9]*.png -tile 3x -geometry +4+4 -background '#E9EDF2' "$work/glyphs.png"

# The application icon at its theme sizes, unmagnified, and large.
icons=()
for s in 16 24 32 48 64 128; do icons+=("$res/icons/hicolor/${s}x${s}/apps/vindrel.png"); done
convert -background '#E9EDF2' "${icons[@]}" "$res/vindrel.png" -bordercolor '#E9EDF2' -border 10 \
        -gravity south +append "$work/icons.png"
convert "$work/glyphs.png" "$work/icons.png" -background '#E9EDF2' -gravity center -append \
        -strip "$2"
echo "contact-sheet.sh: wrote $2"
