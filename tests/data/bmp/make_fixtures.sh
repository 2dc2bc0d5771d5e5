#!/usr/bin/env bash
# Remakes the BMP fixtures of this folder and their expected pixels (NAME.ppm, binary PPM,
# top row first), all from the 13 x 7 source.ppm:
#   im-*    written by ImageMagick 6 (convert), expected pixels ImageMagick's decode;
#   gimp-*  written by GIMP 2.10 (gimp-console, file-bmp-save2 / file-bmp-save), expected
#           pixels ImageMagick's decode;
#   py-*    written by make_fixtures.py with its expected pixels, which ImageMagick's
#           decode must equal wherever ImageMagick reads the variant.
# Needs imagemagick and gimp (scripts/install-deps). Run from anywhere.
set -euo pipefail
cd "$(dirname "$0")"
convert=/usr/bin/convert   # ImageMagick itself, not a wrapper earlier on the PATH

rm -f ./*.bmp ./*.ppm
python3 make_fixtures.py

# ImageMagick: BMP3 is a 40-byte header, BMP a V5 header, BMP2 the OS/2 core header. Its
# RLE8 codes each row's padding to 32 bits as pixels.
"$convert" source.ppm BMP3:im-rgb24.bmp
"$convert" source.ppm BMP:im-rgb24-v5.bmp
"$convert" source.ppm -type Palette -compress None BMP3:im-pal8.bmp
"$convert" source.ppm -colors 16 -type Palette BMP3:im-pal4.bmp
"$convert" source.ppm -colors 2 -type Palette BMP3:im-pal1.bmp
"$convert" source.ppm -type Palette -compress RLE BMP3:im-rle8.bmp
"$convert" source.ppm -alpha set BMP:im-argb32.bmp
# Some pixels half and some wholly transparent: their colour is still read.
"$convert" source.ppm -alpha set -channel A -fx 'i%3==0?0.5:(j%2?1:0)' +channel BMP:im-argb32-transparent.bmp
"$convert" source.ppm -define bmp:subtype=RGB565 BMP:im-rgb565.bmp
"$convert" source.ppm -define bmp:subtype=RGB555 BMP:im-rgb555.bmp
"$convert" source.ppm -alpha set -channel A -fx 'i%2' +channel -define bmp:subtype=ARGB1555 BMP:im-argb1555.bmp
"$convert" source.ppm BMP2:im-core24.bmp
"$convert" source.ppm -type Palette BMP2:im-core8.bmp

# GIMP 2.10: file-bmp-save2 takes use-rle, write-color-space and rgb-format (0 RGB565,
# 1 RGBA5551, 2 RGB555, 3 RGB888, 4 RGBA8888, 5 RGBX8888); a layer with an alpha channel
# gets a transparent corner.
profile=$(mktemp -d)
trap 'rm -rf "$profile"' EXIT
here=$(pwd)
gimp_save() {  # NAME ALPHA(0/1) COLOURS(0 = RGB) RLE COLOURSPACE FORMAT [old]
    local call="file-bmp-save2 RUN-NONINTERACTIVE image layer \"$here/$1.bmp\" \"$1.bmp\" $4 $5 $6"
    [[ ${7:-} == old ]] && call="file-bmp-save RUN-NONINTERACTIVE image layer \"$here/$1.bmp\" \"$1.bmp\""
    cat <<EOF
(let* ((image (car (gimp-file-load RUN-NONINTERACTIVE "$here/source.ppm" "source.ppm")))
       (layer (car (gimp-image-get-active-layer image))))
  (when (= $2 1)
    (gimp-layer-add-alpha layer)
    (gimp-image-select-rectangle image CHANNEL-OP-REPLACE 0 0 4 3)
    (gimp-edit-clear layer)
    (gimp-selection-none image))
  (when (> $3 0)
    (gimp-image-convert-indexed image CONVERT-DITHER-NONE CONVERT-PALETTE-GENERATE $3 FALSE FALSE ""))
  ($call)
  (gimp-image-delete image))
EOF
}
# The PDB's write-color-space 1 is the dialog's "Do not write colour space information":
# a 40-byte header, or 56 bytes with masks; 0 writes a V5 header with the colour space.
script=$(
    gimp_save gimp-rgb24-no-colour-space 0 0 0 1 3
    gimp_save gimp-rgb24-colour-space 0 0 0 0 3
    gimp_save gimp-rgba32-no-colour-space 1 0 0 1 4
    gimp_save gimp-rgba32-colour-space 1 0 0 0 4
    gimp_save gimp-rgbx32-no-colour-space 0 0 0 1 5
    gimp_save gimp-rgb565-no-colour-space 0 0 0 1 0
    gimp_save gimp-rgb555-colour-space 0 0 0 0 2
    gimp_save gimp-rgba5551-no-colour-space 1 0 0 1 1
    gimp_save gimp-pal8-no-colour-space 0 256 0 1 3
    gimp_save gimp-rle8-no-colour-space 0 256 1 1 3
    gimp_save gimp-rle8-colour-space 0 256 1 0 3
    gimp_save gimp-pal4-no-colour-space 0 16 0 1 3
    gimp_save gimp-rle4-no-colour-space 0 16 1 1 3
    gimp_save gimp-pal1-no-colour-space 0 2 0 1 3
    gimp_save gimp-save-rgb 0 0 0 0 0 old
    gimp_save gimp-save-rgba 1 0 0 0 0 old
)
GIMP2_DIRECTORY=$profile gimp-console-2.10 -i -b '(gimp-quit 0)' >/dev/null 2>&1
GIMP2_DIRECTORY=$profile gimp-console-2.10 -i -b "(begin $script)" -b '(gimp-quit 0)' 2>"$profile/log" >/dev/null
if grep -q "execution error" "$profile/log"; then cat "$profile/log" >&2; exit 1; fi

# ImageMagick writes a PPM as deep as it deems the picture (a 4-bit palette's colours
# would be cut to 4 bits): it writes 16 bits, which a second pass rounds to 8.
reference() { "$convert" "$1" -depth 16 ppm:- | "$convert" - -depth 8 ppm:-; }
for bmp in im-*.bmp gimp-*.bmp; do
    reference "$bmp" >"${bmp%.bmp}.ppm"
done
# Variants ImageMagick 6 cannot read, or reads otherwise: BI_ALPHABITFIELDS, the 16-byte
# OS/2 2.x header and RLE4 with deltas it does not read; channels of 4 or 10 bits it
# widens by shifting (15 of 4 bits gives 240, not 255).
not_by_imagemagick=" py-alphabitfields-1555 py-alphabitfields-32 py-os2-v2-16 py-rle4-delta py-bgr-444-masks-after-40
                     py-10-10-10-32 "
for bmp in py-*.bmp; do
    name=${bmp%.bmp}
    [[ $not_by_imagemagick == *[[:space:]]$name[[:space:]]* ]] && continue
    reference "$bmp" | cmp -s - "$name.ppm" || { echo "ImageMagick reads $bmp otherwise" >&2; exit 1; }
done
ls ./*.bmp | wc -l
