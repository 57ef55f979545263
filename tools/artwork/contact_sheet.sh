#!/usr/bin/env bash
# Composes the drawn art the way the main window shows it, plus every button face, phase label,
# the splash, the icon and the cursor, into one PNG for people to judge (ImageMagick).
#   tools/artwork/contact_sheet.sh [art-folder] [out.png]
set -euo pipefail
art=${1:-$(dirname "$0")/../../src/resources/art}
out=${2:-/tmp/quorrelite-contact.png}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# The main window at rest: an empty block map and bar drawn as the program draws them.
convert -size 256x256 xc:white -fill none -stroke 'rgb(150,150,150)' \
  -draw "$(for r in $(seq 0 31); do for c in $(seq 0 31); do
      echo -n "rectangle $((c*8)),$((r*8)) $((c*8+7)),$((r*8+7)) "; done; done)" "$tmp/map.png"
convert "$art/background.bmp" \
  \( "$tmp/map.png" -bordercolor 'rgb(160,160,160)' -border 2 \) -geometry +29+90 -composite \
  "$art/progress_status.bmp" -geometry +328+98 -composite \
  \( -size 94x3 xc:white -bordercolor 'rgb(160,160,160)' -border 2 \) -geometry +333+117 -composite \
  "$art/load_focus.bmp" -geometry +327+130 -composite \
  "$art/backup_dis.bmp" -geometry +327+168 -composite \
  "$art/option_normal.bmp" -geometry +327+208 -composite \
  "$art/help_normal.bmp" -geometry +327+249 -composite \
  "$art/flash_dis.bmp" -geometry +229+393 -composite \
  "$art/exit_normal.bmp" -geometry +334+392 -composite "$tmp/window.png"

montage -background '#202020' -geometry +4+4 -tile 4x \
  "$art"/{load,backup,option,help}_normal.bmp "$art"/{load,backup,option,help}_focus.bmp \
  "$art"/{load,backup,option,help}_press.bmp "$art"/backup_dis.bmp \
  "$art"/{flash,exit}_normal.bmp "$art"/{flash,exit}_focus.bmp "$art"/{flash,exit}_press.bmp \
  "$art"/flash_dis.bmp "$tmp/buttons.png"
montage -background '#202020' -geometry +4+4 -tile 2x "$art"/progress_*.bmp "$tmp/phases.png"
convert "$art/quorrelite.ico[0]" "$art/quorrelite.ico[1]" "$art/atonce.cur" +append \
  -scale 400% "$tmp/icons.png"
convert "$tmp/buttons.png" "$tmp/phases.png" -scale 200% "$art/splash.bmp" "$tmp/icons.png" \
  -background '#202020' -gravity west -append "$tmp/right.png"
convert "$tmp/window.png" "$tmp/right.png" -background '#202020' +append "$out"
echo "$out"
