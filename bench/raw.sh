#!/usr/bin/env bash
# Camera raw: COUNT DNG files made from the corpus's photos by makedng (the
# tests' DNG writer: the photo as 16-bit RGGB sensor data; no Debian tool
# writes DNG), once with a JPEG preview of a quarter of the sides, as
# cameras and phones embed one, and once without. Per set, our engine
# (tumbilder --batch, thumbnails in 237x237) against libraw's own tools:
# simple_dcraw -e (writes the preview out, nothing decoded) on the first
# set, dcraw_emu -h (developed at half size into a PPM) on the second. (vipsthumbnail reads a
# DNG as a TIFF: the preview, or the sensor data as a grey picture.) The
# tools take turns for ROUNDS rounds; wall time per picture, CPU time and
# peak RSS come from GNU time.
#
# usage: bench/raw.sh [CORPUS_DIR]
#   env: ROUNDS=3, COUNT=10, KEEP=1 keeps the work folder
set -euo pipefail
source "$(dirname "$0")/lib.sh"

CORPUS=${1:-$DEFAULT_CORPUS}
ROUNDS=${ROUNDS:-3}
COUNT=${COUNT:-10}
ensure_packages libraw-bin
start_bench raw "$CORPUS"
cmake --build "$BUILD_DIR" --target makedng -j"$(nproc)" >&2 || die "cannot build makedng"
PHOTOS=("${PHOTOS[@]:0:$COUNT}")
mkdir -p "$WORK/preview" "$WORK/raw"
"$BUILD_DIR/bench/makedng" 4 "$WORK/preview" "${PHOTOS[@]}"
"$BUILD_DIR/bench/makedng" 0 "$WORK/raw" "${PHOTOS[@]}"
N=${#PHOTOS[@]}

# One timed run of a tool on a set; appends "wall cpu rss_kb" to
# $WORK/<tool>-<set>.txt.
run_tool() {
    local tool=$1 set=$2 out=$WORK/out log=$WORK/time.txt
    rm -rf "$out"
    mkdir -p "$out"
    case $tool in
    ours) /usr/bin/time -v -o "$log" "$TUMBILDER" --batch --quiet --size 237x237 --format jpg --quality 65 \
              --out "$out" "$WORK/$set"/*.dng >/dev/null ;;
    libraw) if [ "$set" = preview ]; then tool=(simple_dcraw -e); else tool=(dcraw_emu -h); fi
           /usr/bin/time -v -o "$log" "${tool[@]}" "$WORK/$set"/*.dng >/dev/null 2>&1
           # It writes beside the files.
           mv "$WORK/$set"/*.dng.* "$out"/ ;;
    esac
    [ "$(find "$out" -type f | wc -l)" -eq "$N" ] || die "$tool made $(find "$out" -type f | wc -l) files of $set, not $N"
    time_figures "$log" >>"$WORK/$1-$set.txt"
}

echo "Corpus: $CORPUS, $N photos as DNG; $ROUNDS rounds; $(nproc) cores"
col() { awk -v c="$2" '{ print $c }' "$WORK/$1.txt" | median; }
printf '%-8s %-6s %10s %10s %8s\n' set tool ms/picture cpu_ms/pic peak_MB
for set in preview raw; do
    for ((r = 1; r <= ROUNDS; ++r)); do
        if ((r % 2)); then order=(ours libraw); else order=(libraw ours); fi
        for tool in "${order[@]}"; do run_tool "$tool" "$set"; done
    done
    for tool in ours libraw; do
        printf '%-8s %-6s %10.1f %10.1f %8.1f\n' "$set" "$tool" "$(col "$tool-$set" 1 | awk -v n="$N" '{ print $1 * 1000 / n }')" \
            "$(col "$tool-$set" 2 | awk -v n="$N" '{ print $1 * 1000 / n }')" "$(col "$tool-$set" 3 | awk '{ print $1 / 1024 }')"
    done
done
