#!/usr/bin/env bash
# The modern page's cost: tumbilder --batch --page with --page-style modern
# --web-size 2048 (thumbnail, double and web-size copy of every photo)
# against the classic page (one thumbnail a photo) and against vipsthumbnail
# making the same three sizes in three runs; ROUNDS rounds taking turns.
# Prints the medians of wall, CPU (user + sys) and peak RSS and the ratios.
# With BEFORE=<another tumbilder>, that program's two pages run in the same
# rounds, and the PSNR of this program's thumbnails, doubles and copies
# against that one's is printed (minimum and median, dB). Last, before
# encoding, the PSNR of thumbnails and doubles drawn directly and from the
# decoding they share with the copy, against the full-size picture resampled
# to their size (bench/sharedquality.cpp).
#
# usage: bench/modern.sh [CORPUS_DIR]
#   env: ROUNDS=3, THREADS, BEFORE=, HEIC=1 (the photos as HEIC through
#   heif-enc too; HEIC_THUMBS=1 with its -t 320 thumbnails, HEIC_THUMBS=SIZE
#   with thumbnails of that size), KEEP=1
# Without a corpus folder on the machine, 20 photo-like JPEGs of 3000 to
# 6000 pixels are made (bench/benchpictures.cpp).
set -euo pipefail
source "$(dirname "$0")/lib.sh"

CORPUS=${1:-$DEFAULT_CORPUS}
ROUNDS=${ROUNDS:-3}
ensure_packages time libvips-tools
ensure_tumbilder
cmake --build "$BUILD_DIR" --target benchpictures sharedquality >&2 || die "build failed"
PICTURES=$BUILD_DIR/bench/benchpictures
WORK=$(mktemp -d /tmp/tumbilder-modern.XXXXXX)
[ -z "${KEEP:-}" ] && trap 'rm -rf "$WORK"' EXIT
if [ -d "$CORPUS" ]; then
    stage_corpus "$CORPUS" "$WORK"
else
    echo "No $CORPUS: 20 photo-like JPEGs made instead" >&2
    STAGE=$WORK/photos
    "$PICTURES" photos "$STAGE" 20 || die "cannot make the photos"
fi
if [ -n "${HEIC:-}" ]; then
    ensure_packages libheif-examples
    for f in "$STAGE"/*.jpg; do
        thumbs=${HEIC_THUMBS:-}
        [ "$thumbs" = 1 ] && thumbs=320
        heif-enc -q 90 ${thumbs:+-t "$thumbs"} "$f" -o "${f%.jpg}.heic" >/dev/null || die "heif-enc failed"
        rm "$f"
    done
fi
COUNT=$(find "$STAGE" -maxdepth 1 -type f -o -maxdepth 1 -type l | wc -l)

threads=()
[ -n "${THREADS:-}" ] && threads=(--jobs "$THREADS")

# One timed run of $1 into the fresh folder $WORK/out-$1; appends "wall cpu rss_kb" to $WORK/$1.txt.
run() {
    local run=$1 out=$WORK/out-$1 log=$WORK/time.txt program=$TUMBILDER
    rm -rf "$out"
    case $run in before-*) program=$BEFORE ;; esac
    case $run in
    *classic) /usr/bin/time -v -o "$log" "$program" --batch --quiet "${threads[@]}" --page "$out" "$STAGE" >/dev/null ;;
    *modern)
        /usr/bin/time -v -o "$log" "$program" --batch --quiet "${threads[@]}" --page "$out" --page-style modern \
            --web-size 2048 "$STAGE" >/dev/null ;;
    vips)
        mkdir -p "$out"
        # Three runs, one a size, as the same three outputs; the figures summed, the peak the largest.
        local size wall=0 cpu=0 rss=0 w c r
        for size in 237 474 2048; do
            (cd "$STAGE" && /usr/bin/time -v -o "$log" vipsthumbnail -s "${size}x$size" -o "$out/%s_$size.jpg[Q=65]" \
                ./*) 2>/dev/null
            read -r w c r < <(time_figures "$log")
            wall=$(awk -v a="$wall" -v b="$w" 'BEGIN { print a + b }')
            cpu=$(awk -v a="$cpu" -v b="$c" 'BEGIN { print a + b }')
            ((r > rss)) && rss=$r
        done
        echo "$wall $cpu $rss" >>"$WORK/$run.txt"
        return ;;
    esac
    time_figures "$log" >>"$WORK/$run.txt"
}

runs=(classic modern vips)
[ -n "${BEFORE:-}" ] && runs+=(before-classic before-modern)
echo "$COUNT photos from $CORPUS${HEIC:+ as HEIC${HEIC_THUMBS:+ with thumbnails ($HEIC_THUMBS)}}; $ROUNDS rounds; $(nproc) cores"
for ((r = 1; r <= ROUNDS; ++r)); do
    for ((k = 0; k < ${#runs[@]}; ++k)); do
        run "${runs[$(((r - 1 + k) % ${#runs[@]}))]}"
    done
done
col() { awk -v c="$2" '{ print $c }' "$WORK/$1.txt" | median; }
printf '%-15s %8s %8s %8s\n' run wall_s cpu_s peak_MB
for run in "${runs[@]}"; do
    printf '%-15s %8.2f %8.2f %8.0f\n' "$run" "$(col "$run" 1)" "$(col "$run" 2)" "$(col "$run" 3 | awk '{ print $1 / 1024 }')"
done
ratio() { awk -v a="$(col "$1" 2)" -v b="$(col "$2" 2)" 'BEGIN { printf "%.2f", a / b }'; }
echo "CPU: modern / classic $(ratio modern classic), modern / vipsthumbnail $(ratio modern vips)"
if [ -n "${BEFORE:-}" ]; then
    echo "CPU before: modern / classic $(ratio before-modern before-classic)," \
        "modern / vipsthumbnail $(ratio before-modern vips); classic now / before $(ratio classic before-classic)"
    for kind in thumbnail double copy; do
        : >"$WORK/psnr-$kind.txt"
    done
    while IFS= read -r -d '' f; do
        name=${f#"$WORK/out-modern/"}
        case $name in *@2x.*) kind=double ;; *_s.*) kind=thumbnail ;; *) kind=copy ;; esac
        [ -f "$WORK/out-before-modern/$name" ] || die "no $name before"
        "$PICTURES" psnr "$WORK/out-before-modern/$name" "$f" >>"$WORK/psnr-$kind.txt"
    done < <(find "$WORK/out-modern" -type f -iname '*.jpg' -print0)
    for kind in thumbnail double copy; do
        echo "PSNR against before, ${kind}s: min $(sort -g "$WORK/psnr-$kind.txt" | head -1)" \
            "median $(median <"$WORK/psnr-$kind.txt") ($(wc -l <"$WORK/psnr-$kind.txt") files)"
    done
fi
echo "Before encoding, PSNR (dB) against the full-size picture resampled to the size; direct vs shared in brackets:"
"$BUILD_DIR/bench/sharedquality" "$STAGE"/*
