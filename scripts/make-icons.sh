#!/usr/bin/env bash
# Draws the icons of the Windows programs with ImageMagick and writes them as
# .ico files (16, 24, 32, 48 and 64 pixels) into the source tree, where the
# resource scripts of cmake/WindowsProgram.cmake pick them up. The .ico files
# are committed; run this only to change a picture.
#
#   scripts/make-icons.sh
set -euo pipefail
cd "$(dirname "$0")/.."
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# draw <name> <ImageMagick draw arguments...>: one 256-pixel master picture.
draw() {
  local name=$1
  shift
  convert -size 256x256 xc:none "$@" "$work/$name.png"
}
ico() { # <master> <output.ico>
  local sizes=()
  for size in 16 24 32 48 64; do
    convert "$work/$1.png" -resize "${size}x${size}" "$work/$1-$size.png"
    sizes+=("$work/$1-$size.png")
  done
  convert "${sizes[@]}" "$2"
}

# Ferrulin: a label tag with a cut corner, a punched hole and two text lines
# (the picture the Qt window draws at run time).
draw ferrulin -stroke '#1f4e79' -strokewidth 12 -fill '#f6c344' \
  -draw 'polygon 80,24 232,24 240,32 240,224 232,232 80,232 16,168 16,88' \
  -fill white -strokewidth 10 -draw 'circle 64,128 82,128' \
  -strokewidth 22 -draw 'line 116,96 208,96' -draw 'line 116,160 184,160'
ico ferrulin src/spooler/win/ferrulin.ico

# Dovetack: a label roll with the label running off it.
draw dovetack -stroke '#1f4e79' -strokewidth 12 -fill white \
  -draw 'rectangle 96,72 240,200' \
  -fill '#f6c344' -draw 'circle 72,136 72,56' \
  -fill white -draw 'circle 72,136 72,112' \
  -strokewidth 16 -draw 'line 128,112 208,112' -draw 'line 128,160 184,160'
ico dovetack src/config/win/dovetack.ico
