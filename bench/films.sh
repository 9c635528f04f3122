#!/usr/bin/env bash
# Films: 20 phone-like films made with ffmpeg from the corpus's photos
# (H.264 and HEVC, 1080p and 4K, 30 frames a second, a key frame a second,
# every fifth one turned a quarter by its display matrix), then for each
# film, taking turns for ROUNDS rounds: our poster thumbnail (tumbilder
# --batch on the one film, the program's start included) against
# `ffmpeg -ss 1 -i FILM -frames:v 1 out.jpg`. Wall time and peak RSS from
# GNU time, medians per kind of film.
#
# usage: bench/films.sh [CORPUS_DIR]
#   env: ROUNDS=3, SECONDS_LONG=3 (each film's length), KEEP=1 keeps the work folder,
#        FILMS=DIR takes the films a kept run made instead of making them again
set -euo pipefail
source "$(dirname "$0")/lib.sh"

CORPUS=${1:-$DEFAULT_CORPUS}
ROUNDS=${ROUNDS:-3}
LENGTH=${SECONDS_LONG:-3}
ensure_packages ffmpeg
start_bench films "$CORPUS"
mkdir -p "$WORK/films"
[ -n "${FILMS:-}" ] && cp "$FILMS"/*.mp4 "$WORK/films/"

# film INDEX: the kind of film it is, "codec size rotated".
kind() {
    local i=$1
    echo "$([ $((i % 2)) -eq 0 ] && echo h264 || echo hevc) $([ $((i % 4)) -lt 2 ] && echo 1080p || echo 4k)"
}

for ((i = 0; i < 20; ++i)); do
    [ -n "${FILMS:-}" ] && break
    read -r codec size < <(kind "$i")
    photo=${PHOTOS[$((i % ${#PHOTOS[@]}))]}
    wh=$([ "$size" = 1080p ] && echo 1920:1080 || echo 3840:2160)
    lib=$([ "$codec" = h264 ] && echo libx264 || echo libx265)
    film=$WORK/films/$(printf '%02d' "$i")-$codec-$size.mp4
    # A slow pan over the photo, so the frames differ as a film's do.
    ffmpeg -v error -y -loop 1 -i "$photo" -t "$LENGTH" -r 30 \
        -vf "scale=$wh:force_original_aspect_ratio=increase,crop=$wh:'(iw-ow)*t/$LENGTH':0" \
        -c:v "$lib" -preset ultrafast -g 30 -pix_fmt yuv420p -x265-params log-level=error "$film.tmp.mp4"
    if [ $((i % 5)) -eq 0 ]; then
        ffmpeg -v error -y -i "$film.tmp.mp4" -c copy -metadata:s:v:0 rotate=90 "$film"
        rm "$film.tmp.mp4"
    else
        mv "$film.tmp.mp4" "$film"
    fi
done

# One timed run of a tool on a film; appends "wall cpu rss_kb" to $WORK/<tool>-<kind>.txt.
run_tool() {
    local tool=$1 film=$2 k=$3 out=$WORK/out log=$WORK/time.txt
    rm -rf "$out"
    mkdir -p "$out"
    case $tool in
    ours) /usr/bin/time -v -o "$log" "$TUMBILDER" --batch --quiet --size 237x237 --format jpg --quality 65 \
              --out "$out" "$film" >/dev/null ;;
    ffmpeg) /usr/bin/time -v -o "$log" ffmpeg -v error -y -ss 1 -i "$film" -frames:v 1 "$out/poster.jpg" ;;
    esac
    [ "$(find "$out" -name '*.jpg' | wc -l)" -eq 1 ] || die "$tool made no poster of $film"
    time_figures "$log" >>"$WORK/$tool-$k.txt"
}

for ((round = 0; round < ROUNDS; ++round)); do
    for film in "$WORK"/films/*.mp4; do
        k=$(basename "$film" .mp4)
        k=${k#*-}
        run_tool ours "$film" "$k"
        run_tool ffmpeg "$film" "$k"
    done
done

printf '%-12s %12s %12s %14s %14s\n' film ours_ms ffmpeg_ms ours_peak_MB ffmpeg_peak_MB
for k in h264-1080p hevc-1080p h264-4k hevc-4k; do
    printf '%-12s' "$k"
    for tool in ours ffmpeg; do
        printf ' %12.0f' "$(awk '{ print $1 * 1000 }' "$WORK/$tool-$k.txt" | median)"
    done
    for tool in ours ffmpeg; do
        printf ' %14.0f' "$(awk '{ print $3 / 1024 }' "$WORK/$tool-$k.txt" | sort -g | tail -n 1)"
    done
    echo
done
echo "($ROUNDS rounds over 20 films of ${LENGTH} s, 5 of each kind, 4 of them turned; medians of wall time, largest peak)"
