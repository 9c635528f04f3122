#!/usr/bin/env bash
# Times our engine (tumbilder --batch) against vipsthumbnail and GraphicsMagick
# on the JPEG photos of a corpus: lock both 237x237, JPEG quality 65, each
# tool into a fresh folder, the three taking turns for ROUNDS rounds. Wall
# time, CPU time (user + sys) and peak RSS come from GNU time; the medians and
# our ratios to the others are printed. Then bench/quality.sh runs on the same
# corpus (skip it with QUALITY=0).
#
# usage: bench/compare.sh [CORPUS_DIR]
#   env: ROUNDS=5, THREADS=<one a core>, QUALITY=1, KEEP=1 keeps the work folder
# The default corpus is the photographs of Debian's mate-backgrounds.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

CORPUS=${1:-$DEFAULT_CORPUS}
ROUNDS=${ROUNDS:-5}
BOX=237x237
ensure_packages libvips-tools graphicsmagick imagemagick
start_bench compare "$CORPUS"
COUNT=${#PHOTOS[@]}
NAMES=()
for p in "${PHOTOS[@]}"; do NAMES+=("$(basename "$p")"); done
BEFORE=$(cd "$STAGE" && cat -- "${NAMES[@]}" | md5sum)

threads=()
[ -n "${THREADS:-}" ] && threads=(--jobs "$THREADS")

# One timed run of a tool into the fresh folder $2; appends
# "wall cpu rss_kb" to $WORK/<tool>.txt.
run_tool() {
    local tool=$1 out=$2 log=$WORK/time.txt
    rm -rf "$out"
    mkdir -p "$out"
    case $tool in
    ours)
        (cd "$STAGE" && /usr/bin/time -v -o "$log" "$TUMBILDER" --batch --quiet "${threads[@]}" --size "$BOX" \
            --format jpg --quality 65 --out "$out" "${NAMES[@]}" >/dev/null) ;;
    vips)
        (cd "$STAGE" && /usr/bin/time -v -o "$log" vipsthumbnail -s "$BOX" -o "$out/%s_s.jpg[Q=65]" \
            "${NAMES[@]}") ;;
    gm)
        # -output-directory keeps the sources; -size lets the JPEG decoder shrink on load.
        (cd "$STAGE" && /usr/bin/time -v -o "$log" gm mogrify -output-directory "$out" -size 474x474 \
            -thumbnail "$BOX" -quality 65 "${NAMES[@]}") ;;
    esac
    local made
    made=$(find "$out" -type f -iname '*.jpg' | wc -l)
    [ "$made" -eq "$COUNT" ] || die "$tool wrote $made thumbnails, not $COUNT"
    time_figures "$log" >>"$WORK/$tool.txt"
}

tools=(ours vips gm)
echo "Corpus: $CORPUS, $COUNT JPEG photos; $ROUNDS rounds; $(nproc) cores; our threads: ${THREADS:-one a core}"
for ((r = 1; r <= ROUNDS; ++r)); do
    # Each round starts with the next tool, so none always runs first.
    for ((k = 0; k < ${#tools[@]}; ++k)); do
        tool=${tools[$(((r - 1 + k) % ${#tools[@]}))]}
        run_tool "$tool" "$WORK/out-$tool"
    done
    printf 'round %d:' "$r"
    for tool in "${tools[@]}"; do printf '  %s %s' "$tool" "$(tail -1 "$WORK/$tool.txt" | awk '{ printf "%.2fs %.2fcpu %.0fMB", $1, $2, $3 / 1024 }')"; done
    echo
done
[ "$(cd "$STAGE" && cat -- "${NAMES[@]}" | md5sum)" = "$BEFORE" ] || die "a source photo was changed"

col() { awk -v c="$2" '{ print $c }' "$WORK/$1.txt" | median; }
declare -A wall cpu rss
for tool in "${tools[@]}"; do
    wall[$tool]=$(col "$tool" 1)
    cpu[$tool]=$(col "$tool" 2)
    rss[$tool]=$(col "$tool" 3)
done
echo
printf '%-14s %10s %10s %12s\n' median wall_s cpu_s peak_rss_MB
for tool in "${tools[@]}"; do
    printf '%-14s %10.3f %10.3f %12.1f\n' "$tool" "${wall[$tool]}" "${cpu[$tool]}" "$(echo "${rss[$tool]}" | awk '{ print $1 / 1024 }')"
done
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
for other in vips gm; do
    printf '%-14s %10s %10s %12s\n' "ours/$other" "$(ratio "${wall[ours]}" "${wall[$other]}")" \
        "$(ratio "${cpu[ours]}" "${cpu[$other]}")" "$(ratio "${rss[ours]}" "${rss[$other]}")"
done

if [ "${QUALITY:-1}" != 0 ]; then
    echo
    BOX=$BOX "$BENCH_DIR/quality.sh" "$CORPUS"
fi
