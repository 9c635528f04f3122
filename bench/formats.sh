#!/usr/bin/env bash
# The formats beyond JPEG: every JPEG photo of the corpus is made into PNG
# and TIFF (ImageMagick), WebP (cwebp), HEIC (heif-enc) and AVIF (avifenc),
# and on request TIFF pyramids (vips: the picture, then its halvings);
# then, per format, our engine (tumbilder --batch) and vipsthumbnail make
# thumbnails of the whole set (lock both 237x237, JPEG quality 65), taking
# turns for ROUNDS rounds; wall time, CPU time (user + sys) and peak RSS
# come from GNU time.
# Quality: each format's BMP thumbnail against the thumbnail of its JPEG
# original, PSNR in dB (minimum and median over the photos).
#
# usage: bench/formats.sh [CORPUS_DIR]
#   env: ROUNDS=3, FORMATS="png webp heic avif tif" (tifpyr too), KEEP=1 keeps the work folder
set -euo pipefail
source "$(dirname "$0")/lib.sh"

CORPUS=${1:-$DEFAULT_CORPUS}
ROUNDS=${ROUNDS:-3}
FORMATS=${FORMATS:-png webp heic avif tif}
BOX=237x237
ensure_packages libvips-tools imagemagick webp libheif-examples libavif-bin
start_bench formats "$CORPUS"
COUNT=${#PHOTOS[@]}

# The photos in each format, one folder a format, named as the photos.
make_versions() {
    local format=$1 dir=$WORK/$1 photo stem
    mkdir -p "$dir"
    for photo in "${PHOTOS[@]}"; do
        stem=$(basename "$photo")
        stem=${stem%.*}
        case $format in
        png) "$IM_CONVERT" "$photo" "$dir/$stem.png" ;;
        tif) "$IM_CONVERT" "$photo" -compress lzw "$dir/$stem.tif" ;;
        tifpyr) vips tiffsave "$photo" "$dir/$stem.tif" --pyramid --tile --compression lzw ;;
        webp) cwebp -quiet -q 90 "$photo" -o "$dir/$stem.webp" ;;
        heic) heif-enc -q 90 "$photo" -o "$dir/$stem.heic" >/dev/null ;;
        avif) avifenc -s 8 -j all --min 10 --max 20 "$photo" "$dir/$stem.avif" >/dev/null ;;
        esac
    done
}

# One timed run of a tool on a folder into the fresh folder $3; appends
# "wall cpu rss_kb" to $WORK/<tool>-<format>.txt.
run_tool() {
    local tool=$1 format=$2 out=$3 log=$WORK/time.txt made
    rm -rf "$out"
    mkdir -p "$out"
    local files=("$WORK/$format"/*)
    case $tool in
    ours) /usr/bin/time -v -o "$log" "$TUMBILDER" --batch --quiet --size "$BOX" --format jpg --quality 65 \
              --out "$out" "${files[@]}" >/dev/null ;;
    vips) /usr/bin/time -v -o "$log" vipsthumbnail -s "$BOX" -o "$out/%s_s.jpg[Q=65]" "${files[@]}" 2>/dev/null ;;
    esac
    made=$(find "$out" -type f -name '*.jpg' | wc -l)
    [ "$made" -eq "$COUNT" ] || die "$tool wrote $made thumbnails of $format, not $COUNT"
    time_figures "$log" >>"$WORK/$tool-$format.txt"
}

# Our BMP thumbnails of a folder, for the quality comparison.
bmp_thumbnails() {
    mkdir -p "$2"
    "$TUMBILDER" --batch --quiet --size "$BOX" --format bmp --out "$2" "$1"/* >/dev/null
}

echo "Corpus: $CORPUS, $COUNT JPEG photos; $ROUNDS rounds; $(nproc) cores"
bmp_thumbnails "$STAGE" "$WORK/bmp-jpg"
col() { awk -v c="$2" '{ print $c }' "$WORK/$1.txt" | median; }
printf '%-6s %8s %8s %6s %8s %8s %6s %8s %8s %8s %8s\n' format ours_s vips_s ratio ours_cpu vips_cpu ratio \
    ours_MB vips_MB psnr_min psnr_med
for format in $FORMATS; do
    make_versions "$format"
    for ((r = 1; r <= ROUNDS; ++r)); do
        if ((r % 2)); then order=(ours vips); else order=(vips ours); fi
        for tool in "${order[@]}"; do run_tool "$tool" "$format" "$WORK/out-$tool"; done
    done
    bmp_thumbnails "$WORK/$format" "$WORK/bmp-$format"
    : >"$WORK/psnr-$format.txt"
    for thumb in "$WORK/bmp-jpg"/*_s.bmp; do
        # compare exits 1 when the pictures differ.
        "$IM_COMPARE" -metric PSNR "$thumb" "$WORK/bmp-$format/$(basename "$thumb")" null: 2>&1 \
            | awk '{ print ($1 == "inf" ? 99 : $1) }' >>"$WORK/psnr-$format.txt" || true
    done
    ours=$(col "ours-$format" 1) vips=$(col "vips-$format" 1)
    ourCpu=$(col "ours-$format" 2) vipsCpu=$(col "vips-$format" 2)
    printf '%-6s %8.2f %8.2f %6.2f %8.2f %8.2f %6.2f %8.1f %8.1f %8.1f %8.1f\n' "$format" "$ours" "$vips" \
        "$(awk -v a="$ours" -v b="$vips" 'BEGIN { print a / b }')" "$ourCpu" "$vipsCpu" \
        "$(awk -v a="$ourCpu" -v b="$vipsCpu" 'BEGIN { print a / b }')" \
        "$(col "ours-$format" 3 | awk '{ print $1 / 1024 }')" "$(col "vips-$format" 3 | awk '{ print $1 / 1024 }')" \
        "$(sort -g "$WORK/psnr-$format.txt" | head -1)" "$(median <"$WORK/psnr-$format.txt")"
done
