#!/usr/bin/env bash
# Memory over a long run: tumbilder --batch on 1,000 pictures against the first 50
# of the same list (the corpus photos repeated under names of their own, so
# every picture is decoded and written). Peak RSS should not grow with the
# length of the list: the engine keeps only a bounded number of pictures in
# flight. Each length runs ROUNDS times; the highest peak of each counts.
# Prints the runs and the ratio (target: at most 1.10).
#
# usage: bench/many.sh [CORPUS_DIR]   (env: COUNT=1000, SHORT=50, ROUNDS=3, THREADS)
set -euo pipefail
source "$(dirname "$0")/lib.sh"

CORPUS=${1:-$DEFAULT_CORPUS}
COUNT=${COUNT:-1000}
SHORT=${SHORT:-50}
ROUNDS=${ROUNDS:-3}
start_bench many "$CORPUS"
repeat_photos "$COUNT" "$WORK/list"
LIST=("${REPEATED[@]}")

threads=()
[ -n "${THREADS:-}" ] && threads=(--jobs "$THREADS")

# Runs the engine on the first $1 pictures; prints "wall cpu rss_kb written".
measure() {
    local n=$1 out=$WORK/out-$1
    rm -rf "$out"
    mkdir -p "$out"
    (cd "$WORK/list" && /usr/bin/time -v -o "$WORK/time.txt" "$TUMBILDER" --batch --quiet "${threads[@]}" \
        --out "$out" "${LIST[@]:0:$n}" >"$WORK/summary.txt")
    echo "$(time_figures "$WORK/time.txt") $(find "$out" -type f | wc -l)"
}

echo "Corpus: $CORPUS, ${#PHOTOS[@]} JPEG photos repeated; threads: ${THREADS:-default}; $ROUNDS rounds"
declare -A peak=([$SHORT]=0 [$COUNT]=0)
for ((r = 1; r <= ROUNDS; ++r)); do
    for n in "$SHORT" "$COUNT"; do
        read -r wall cpu rss written < <(measure "$n")
        [ "$written" -eq "$n" ] || die "$written of $n thumbnails written"
        printf '%5d pictures: %6.2f s wall, %6.2f s CPU, peak RSS %6.1f MB\n' "$n" "$wall" "$cpu" "$(echo "$rss" | awk '{ print $1 / 1024 }')"
        [ "$rss" -gt "${peak[$n]}" ] && peak[$n]=$rss
    done
done
awk -v a="${peak[$COUNT]}" -v b="${peak[$SHORT]}" -v c="$COUNT" -v s="$SHORT" \
    'BEGIN { r = a / b; printf "highest peak RSS: %d pictures %.1f MB, %d pictures %.1f MB, ratio %.3f (%s)\n", c, a / 1024, s, b / 1024, r, r <= 1.10 ? "within 10 %" : "MORE than 10 %" }'

# How long the progress window can stand still, and how soon "Avbryt" stops
# the long run: cancelled half-way, as the button does.
out=$WORK/out-cancel
rm -rf "$out" && mkdir -p "$out"
# A cancelled run ends with status 130, as Ctrl+C gives it.
timing=$(cd "$WORK/list" && "$TUMBILDER" --batch --quiet --timing "${threads[@]}" --out "$out" \
    --cancel-after $((COUNT / 2)) "${LIST[@]}") || [ $? -eq 130 ] || die "the cancelled run failed"
echo "$timing" | tail -n 1
