#!/usr/bin/env bash
# A gallery run again, as from cron every week: tumbilder --batch --update
# --page on a folder of COUNT photos (the corpus photos repeated under names
# of their own), first into a page folder that does not exist yet, then
# ROUNDS times again with every thumbnail and copy in place. Prints the wall
# time of the first run and the median of the runs again, their ratio
# (target: under 5 %), and whether the page came out byte for byte the same
# and every thumbnail and copy was left as it was.
#
# usage: bench/rerun.sh [CORPUS_DIR]   (env: COUNT=1750, ROUNDS=5, THREADS, KEEP=1)
set -euo pipefail
source "$(dirname "$0")/lib.sh"

CORPUS=${1:-$DEFAULT_CORPUS}
COUNT=${COUNT:-1750}
ROUNDS=${ROUNDS:-5}
start_bench rerun "$CORPUS"
repeat_photos "$COUNT" "$WORK/bilder"

threads=()
[ -n "${THREADS:-}" ] && threads=(--jobs "$THREADS")

# One timed run; prints its wall time in seconds. The exit status must be 0.
run() {
    /usr/bin/time -f '%e' -o "$WORK/time.txt" "$TUMBILDER" --batch --quiet --update "${threads[@]}" \
        --page "$WORK/webb" "$WORK/bilder" >"$WORK/report.txt" 2>"$WORK/err.txt" \
        || die "the run failed: $(cat "$WORK/report.txt" "$WORK/err.txt")"
    cat "$WORK/time.txt"
}

# Inode and modification time of everything in the page folder but the page.
stamps() { find "$WORK/webb" -type f ! -name bilder.html -printf '%i %T@ %f\n' | sort; }

echo "Corpus: $CORPUS, ${#PHOTOS[@]} JPEG photos repeated as $COUNT; threads: ${THREADS:-one a core}; $(nproc) cores"
first=$(run)
tail -n 2 "$WORK/report.txt"
made=$(find "$WORK/webb" -type f | wc -l)
[ "$made" -eq $((2 * COUNT + 1)) ] || die "$made files in the page folder, not $((2 * COUNT + 1))"
cp "$WORK/webb/bilder.html" "$WORK/first.html"
stamps >"$WORK/first-stamps.txt"
printf 'first run:  %7.2f s\n' "$first"

: >"$WORK/again.txt"
for ((r = 1; r <= ROUNDS; ++r)); do
    again=$(run)
    echo "$again" >>"$WORK/again.txt"
    printf 'again %d:    %7.2f s  (%s)\n' "$r" "$again" "$(tail -n 2 "$WORK/report.txt" | head -n 1)"
    cmp -s "$WORK/first.html" "$WORK/webb/bilder.html" || die "the page differs from the first run's"
    stamps | cmp -s "$WORK/first-stamps.txt" - || die "a thumbnail or copy was written again"
done
median_again=$(median <"$WORK/again.txt")
awk -v f="$first" -v a="$median_again" 'BEGIN {
    r = a / f * 100
    printf "run again (median): %.2f s = %.1f %% of the first run (%s); page byte-identical, thumbnails and copies untouched\n",
        a, r, r < 5 ? "under 5 %" : "NOT under 5 %" }'
