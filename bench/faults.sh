#!/usr/bin/env bash
# Where the CPU time goes: two builds of tumbilder --batch (A, then B) on the
# same pictures, taking turns for ROUNDS rounds, each into a fresh folder:
# wall time, user and system time, the system's share of the CPU time, minor
# page faults per picture, context switches and peak RSS (all from GNU time),
# and whether B's thumbnails are byte for byte A's. Settings as compare.sh
# (lock both 237x237, JPEG quality 65).
#
# usage: bench/faults.sh A B [CORPUS_DIR]
#   env: COUNT=<the corpus once> (more repeats the photos under names of
#        their own, as many.sh does), ROUNDS=3, THREADS, KEEP=1
set -euo pipefail
[ $# -ge 2 ] || { echo "usage: bench/faults.sh A B [CORPUS_DIR]" >&2; exit 2; }
A=$(realpath "$1")
B=$(realpath "$2")
source "$(dirname "$0")/lib.sh"

CORPUS=${3:-$DEFAULT_CORPUS}
ROUNDS=${ROUNDS:-3}
ensure_packages time
ensure_corpus "$CORPUS"

WORK=$(mktemp -d /tmp/tumbilder-faults.XXXXXX)
[ -z "${KEEP:-}" ] && trap 'rm -rf "$WORK"' EXIT
stage_corpus "$CORPUS" "$WORK"
COUNT=${COUNT:-${#PHOTOS[@]}}
repeat_photos "$COUNT" "$WORK/list"
LIST=("${REPEATED[@]}")
threads=()
[ -n "${THREADS:-}" ] && threads=(--jobs "$THREADS")

# One run of build $1 (label $2); appends "wall user sys rss_kb faults
# switches md5" to $WORK/$2.txt.
run() {
    local bin=$1 label=$2 out=$WORK/out-$2
    rm -rf "$out" && mkdir -p "$out"
    (cd "$WORK/list" && /usr/bin/time -f '%e %U %S %M %R %c %w' -o "$WORK/time.txt" "$bin" --batch --quiet \
        "${threads[@]}" --size 237x237 --format jpg --quality 65 --out "$out" "${LIST[@]}" >/dev/null)
    local made
    made=$(find "$out" -type f | wc -l)
    [ "$made" -eq "$COUNT" ] || die "$label wrote $made thumbnails, not $COUNT"
    read -r wall user sys rss faults inv vol <"$WORK/time.txt"
    echo "$wall $user $sys $rss $faults $((inv + vol)) $(cd "$out" && find . -type f | sort | xargs cat | md5sum | cut -c1-12)" \
        >>"$WORK/$label.txt"
}

echo "Corpus: $CORPUS, $COUNT pictures; $ROUNDS rounds; A = $A; B = $B"
for ((r = 1; r <= ROUNDS; ++r)); do
    if ((r % 2)); then run "$A" A; run "$B" B; else run "$B" B; run "$A" A; fi
done

col() { awk -v c="$2" '{ print $c }' "$WORK/$1.txt" | median; }
printf '%-6s %8s %8s %8s %7s %9s %12s %9s\n' median wall_s user_s sys_s sys_% peak_MB faults/pic switches
for label in A B; do
    wall=$(col $label 1) user=$(col $label 2) sys=$(col $label 3) rss=$(col $label 4) faults=$(col $label 5) sw=$(col $label 6)
    awk -v l=$label -v w="$wall" -v u="$user" -v s="$sys" -v r="$rss" -v f="$faults" -v c="$COUNT" -v sw="$sw" \
        'BEGIN { printf "%-6s %8.2f %8.2f %8.2f %7.1f %9.1f %12.0f %9d\n", l, w, u, s, 100 * s / (u + s), r / 1024, f / c, sw }'
    eval "${label}_wall=$wall ${label}_rss=$rss"
done
awk -v a="$A_wall" -v b="$B_wall" -v ra="$A_rss" -v rb="$B_rss" \
    'BEGIN { printf "B/A: wall %.2f, peak %.2f\n", b / a, rb / ra }'
if [ "$(cut -d' ' -f7 "$WORK/A.txt" "$WORK/B.txt" | sort -u | wc -l)" -eq 1 ]; then
    echo "thumbnails: byte for byte the same in every run"
else
    echo "thumbnails: DIFFER"
    exit 1
fi
