#!/bin/sh
# Renders the program's pictures from their SVG sources into the files the program embeds
# (listed in ../resources.txt) and the desktop icons. The rendered files are committed, so a
# build never runs this; run it after editing an SVG, from anywhere:
#     resources/art/render.sh
# Needs rsvg-convert (Debian package librsvg2-bin: apt-get install librsvg2-bin), python3 and
# the DejaVu Sans font (fonts-dejavu-core), which the labels are set in.
set -eu
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# tga NAME: svg/NAME.svg at its own size -> NAME.tga, 32-bit with alpha.
tga() {
    rsvg-convert "svg/$1.svg" -o "$work/$1.png"
    python3 png2res.py tga "$work/$1.png" "$1.tga"
}
# bmp SVG OUT BACKGROUND: an opaque 24-bit bitmap.
bmp() {
    rsvg-convert -b "$3" "$1" -o "$work/out.png"
    python3 png2res.py bmp "$work/out.png" "$2"
}

for button in file paint help arrowleft arrowright arrowflbr arrowup arrowuhd arrowdown logo; do
    tga "button_$button"
done
bmp svg/background.svg background.bmp '#363d48'
bmp svg/about_logo.svg logo.bmp '#18283d'

# The icon: one drawing for 32 pixels and up, a simpler one for 16.
for size in 32 48 128 256; do
    rsvg-convert -w "$size" -h "$size" icons/domecast.svg -o "icons/domecast-$size.png"
done
rsvg-convert icons/domecast-16.svg -o icons/domecast-16.png
python3 png2res.py tga icons/domecast-32.png icon32.tga
python3 png2res.py tga icons/domecast-16.png icon16.tga
