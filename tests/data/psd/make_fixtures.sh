#!/bin/sh
# Regenerates the small layered PSD fixtures of the reader tests with
# ImageMagick. Run from any folder; writes next to this script.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
convert=/usr/bin/convert

# PNG inputs make ZIP-compressed layer channels.
$convert -size 8x6 xc:'rgba(0,255,0,1)' "$work/green.png"
$convert -size 6x4 xc:'rgba(255,0,0,0.5)' "$work/red_half.png"

# Three layers, PackBits channels, one of them offset and half transparent.
$convert -size 16x12 xc:'#fedcba' \
  \( -size 16x12 xc:'#336699' -set label "Background" \) \
  \( -size 8x6 xc:'rgba(255,0,0,0.5)' -set label "Red half" -repage +4+3 \) \
  \( -size 4x4 xc:'#10e020' -set label "Green" -repage +10+6 \) \
  -depth 8 -type TrueColorAlpha -compress RLE "$here/layers_rle.psd"

# Two layers from PNG inputs (ZIP channels), a UTF-8 name, an offset layer.
$convert -size 16x12 xc:'#fedcba' \
  \( -size 16x12 xc:'#336699' -set label "Back" \) \
  \( "$work/green.png" -set label "Grün" -repage +2+1 \) \
  \( "$work/red_half.png" -set label "Red" -repage +9+7 \) \
  -depth 8 -type TrueColorAlpha "$here/layers_zip.psd"

# A flat RGB image as a single-layer PSD and a 16-bit one: both refused.
$convert -size 10x10 xc:'#123456' -depth 8 -type TrueColor "$here/flat_rgb.psd"
$convert -size 10x10 xc:'#123456' -depth 16 -type TrueColor "$here/depth16.psd"
