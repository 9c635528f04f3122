#!/usr/bin/env bash
# Thumbnail quality against a reference: for every JPEG photo of the corpus,
# our BMP thumbnail (lock both, --box) is compared with ImageMagick's Lanczos
# resize of the full picture to exactly the same size; vipsthumbnail's output
# is compared the same way. Prints the minimum and median PSNR of each.
#
# The fit centres the picture in the canvas's inner area, whose proportions
# differ slightly from the outer size that lock both gives the picture's
# proportions; a landscape thumbnail therefore keeps a column or two of
# background left and right. "picture" compares only the painted area (the
# thumbnail with its background-coloured edges trimmed) with the reference at
# that size, which is what decoding and resampling decide; "frame" compares
# the whole thumbnail.
#
# usage: bench/quality.sh [CORPUS_DIR]   (env: BOX=237x237, KEEP=1 keeps the work folder)
set -euo pipefail
source "$(dirname "$0")/lib.sh"

CORPUS=${1:-$DEFAULT_CORPUS}
BOX=${BOX:-237x237}
ensure_packages libvips-tools imagemagick
ensure_corpus "$CORPUS"
ensure_tumbilder

WORK=$(mktemp -d /tmp/tumbilder-quality.XXXXXX)
[ -z "${KEEP:-}" ] && trap 'rm -rf "$WORK"' EXIT
stage_corpus "$CORPUS" "$WORK"
mkdir -p "$WORK/ours" "$WORK/vips" "$WORK/ref"

"$TUMBILDER" --batch --quiet --size "$BOX" --format bmp --background "#C0C0C0" --out "$WORK/ours" \
    "${PHOTOS[@]}" >/dev/null
vipsthumbnail -s "$BOX" -o "$WORK/vips/%s.png" "${PHOTOS[@]}"

# PSNR in dB of a thumbnail against the Lanczos resize of its photo to the
# thumbnail's own size.
psnr() {
    local photo=$1 thumb=$2 ref=$3 size
    size=$(identify -format '%wx%h' "$thumb")
    "$IM_CONVERT" "$photo" -filter Lanczos -resize "$size!" "$ref"
    # compare exits 1 when the pictures differ.
    "$IM_COMPARE" -metric PSNR "$thumb" "$ref" null: 2>&1 | awk '{ print $1 }' || true
}

# The painted area of a thumbnail: its edges of background colour trimmed.
painted() {
    "$IM_CONVERT" "$1" -bordercolor "#C0C0C0" -border 1 -trim +repage "$2"
}

: >"$WORK/picture.txt"
: >"$WORK/frame.txt"
: >"$WORK/vips.txt"
printf '%-28s %9s %9s %9s %9s %9s\n' photo thumbnail painted picture frame vips
for photo in "${PHOTOS[@]}"; do
    stem=$(basename "$photo")
    stem=${stem%.*}
    ours=$WORK/ours/${stem}_s.bmp
    painted "$ours" "$WORK/ours/${stem}-painted.bmp"
    picture=$(psnr "$photo" "$WORK/ours/${stem}-painted.bmp" "$WORK/ref/${stem}-painted.bmp")
    frame=$(psnr "$photo" "$ours" "$WORK/ref/${stem}.bmp")
    vips=$(psnr "$photo" "$WORK/vips/${stem}.png" "$WORK/ref/${stem}-vips.png")
    echo "$picture" >>"$WORK/picture.txt"
    echo "$frame" >>"$WORK/frame.txt"
    echo "$vips" >>"$WORK/vips.txt"
    printf '%-28s %9s %9s %9s %9s %9s\n' "$stem" "$(identify -format '%wx%h' "$ours")" \
        "$(identify -format '%wx%h' "$WORK/ours/${stem}-painted.bmp")" "$picture" "$frame" "$vips"
done
summary() { echo "min $(sort -g "$1" | head -1) median $(median <"$1")"; }
echo "PSNR against Lanczos (dB), ${#PHOTOS[@]} photos:" \
    "ours picture $(summary "$WORK/picture.txt"); ours frame $(summary "$WORK/frame.txt");" \
    "vipsthumbnail $(summary "$WORK/vips.txt")"
