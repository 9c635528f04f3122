#!/usr/bin/env bash
# What the file operations leave behind and what they cost.
#
#   bench/files.sh copy    peak memory and time of the gallery's copy of one
#                          large file (SIZE_MB, default 1024; sparse source)
#   bench/files.sh kills   KILLS runs (default 100) of a BMP batch, each killed
#                          with SIGKILL at a random moment, LIMITS runs
#                          (default 20) under ulimit -f (death by SIGXFSZ),
#                          and COPIES copies (default 20) of a 256 MB file
#                          killed at a random moment: how many left a
#                          temporary or partial file
#   bench/files.sh sync A B  wall time of a run over COUNT photos (default 300)
#                          into a fresh folder, the program A's --batch
#                          against B's, ROUNDS rounds (default 5) taking
#                          turns, on tmpfs (/dev/shm) and on the disk under
#                          /tmp; medians and B's cost over A in percent
#
# env: COPYBENCH, TUMBILDER (binaries to measure; default: the Release
# build), KEEP=1 keeps the work folder.
set -euo pipefail
GIVEN_TUMBILDER=${TUMBILDER:+$(realpath "$TUMBILDER")}
GIVEN_COPYBENCH=${COPYBENCH:+$(realpath "$COPYBENCH")}
source "$(dirname "$0")/lib.sh"

COPYBENCH=${GIVEN_COPYBENCH:-$BUILD_DIR/bench/copybench}
WORK=$(mktemp -d /tmp/tumbilder-files.XXXXXX)
[ -z "${KEEP:-}" ] && trap 'rm -rf "$WORK" /dev/shm/tumbilder-files.$$' EXIT

# The Release build of copybench, unless one was given.
ensure_copybench() {
    if [ -z "$GIVEN_COPYBENCH" ] && [ ! -x "$COPYBENCH" ]; then
        ensure_tumbilder
        # A bench build made before the benchmark programs had their option.
        cmake -B "$BUILD_DIR" -DTUMBILDER_BENCH=ON >&2 || die "cmake failed"
        cmake --build "$BUILD_DIR" --target copybench -j"$(nproc)" >&2 || die "build failed"
    fi
    [ -x "$COPYBENCH" ] || die "no $COPYBENCH"
}

# "wall_s rss_kb" of one command, from GNU time.
timed() {
    /usr/bin/time -f '%e %M' -o "$WORK/time.txt" "$@" >/dev/null
    cat "$WORK/time.txt"
}

copy_memory() {
    local size=${SIZE_MB:-1024}
    ensure_copybench
    mkdir -p "$WORK/webb"
    truncate -s "${size}M" "$WORK/stor.jpg"
    read -r wall rss < <(timed "$COPYBENCH" "$WORK/stor.jpg" "$WORK/webb/stor.jpg")
    printf 'copy of %d MB: %.2f s, peak RSS %.1f MB\n' "$size" "$wall" "$(echo "$rss" | awk '{ print $1 / 1024 }')"
}

# Files in $1 that are not finished thumbnails (a thumbnail only ever gets
# its name complete): the hidden temporary ones.
leftovers() {
    find "$1" -mindepth 1 -name '.*' -printf '%s %f\n'
}

# Runs the command in the background and kills it with SIGKILL at a random
# moment within $1 seconds; then adds what it left in the folder $2 to LEFT
# (runs that left something) and BYTES.
kill_at_random() {
    local full=$1 dir=$2 lines
    shift 2
    "$@" >/dev/null 2>&1 &
    local pid=$!
    sleep "$(awk -v t="$full" -v r="$RANDOM" 'BEGIN { printf "%.3f", t * r / 32768 }')"
    kill -9 "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    lines=$(leftovers "$dir")
    if [ -n "$lines" ]; then
        LEFT=$((LEFT + 1))
        BYTES=$((BYTES + $(echo "$lines" | awk '{ s += $1 } END { print s }')))
    fi
}

kills() {
    local n=${KILLS:-100} limits=${LIMITS:-20} left=0 out
    if [ -n "$GIVEN_TUMBILDER" ]; then TUMBILDER=$GIVEN_TUMBILDER; else ensure_tumbilder; fi
    # How long one run takes, so the kills fall inside it.
    mkdir -p "$WORK/out"
    local full
    full=$(cd "$STAGE" && /usr/bin/time -f '%e' "$TUMBILDER" --batch --quiet --format bmp --size 1200x900 --out "$WORK/out" \
        "${NAMES[@]}" 2>&1 >/dev/null | tail -1)
    echo "one run: $full s (${#NAMES[@]} BMP thumbnails of 1200x900)"
    LEFT=0 BYTES=0
    for ((i = 0; i < n; ++i)); do
        out=$WORK/out-$i
        mkdir -p "$out"
        kill_at_random "$full" "$out" env -C "$STAGE" "$TUMBILDER" --batch --quiet --format bmp --size 1200x900 \
            --out "$out" "${NAMES[@]}"
        rm -rf "$out"
    done
    echo "SIGKILL: $LEFT of $n runs left files behind ($((BYTES / 1024)) KB in all)"
    for ((i = 0; i < limits; ++i)); do
        out=$WORK/lim-$i
        mkdir -p "$out"
        # 1 MB: the first BMP (over 2 MB) passes it mid-write.
        { (cd "$STAGE" && ulimit -f 1024 && exec "$TUMBILDER" --batch --quiet --format bmp --size 1200x900 --out "$out" "${NAMES[@]}") \
            >/dev/null 2>&1; } 2>/dev/null || true
        [ -n "$(leftovers "$out")" ] && left=$((left + 1))
        rm -rf "$out"
    done
    echo "ulimit -f (SIGXFSZ): $left of $limits runs left files behind"
    copy_kills
}

copy_kills() {
    local n=${COPIES:-20}
    ensure_copybench
    head -c 256M /dev/urandom >"$WORK/stor.jpg"
    mkdir -p "$WORK/webb"
    local full
    full=$(/usr/bin/time -f '%e' "$COPYBENCH" "$WORK/stor.jpg" "$WORK/webb/stor.jpg" 2>&1 >/dev/null | tail -1)
    echo "one copy of 256 MB: $full s"
    LEFT=0 BYTES=0
    for ((i = 0; i < n; ++i)); do
        rm -rf "$WORK/webb"
        mkdir -p "$WORK/webb"
        kill_at_random "$full" "$WORK/webb" "$COPYBENCH" "$WORK/stor.jpg" "$WORK/webb/stor.jpg"
    done
    echo "copy, SIGKILL: $LEFT of $n copies left files behind ($((BYTES / 1048576)) MB in all)"
}

# COUNT photos under names of their own, in $1.
many_photos() {
    local dir=$1 count=${COUNT:-300}
    mkdir -p "$dir"
    LIST=()
    for ((i = 0; i < count; ++i)); do
        local photo=${PHOTOS[$((i % ${#PHOTOS[@]}))]} name
        name=$(printf '%04d-%s' "$i" "$(basename "$photo")")
        ln -s "$(readlink "$photo")" "$dir/$name"
        LIST+=("$name")
    done
}

sync_cost() {
    local a b rounds=${ROUNDS:-5}
    [ -x "$1" ] && [ -x "$2" ] || die "usage: files.sh sync TUMBILDER_A TUMBILDER_B"
    a=$(realpath "$1")
    b=$(realpath "$2")
    many_photos "$WORK/list"
    echo "${#LIST[@]} photos, $rounds rounds; A = $a, B = $b"
    for where in "/dev/shm/tumbilder-files.$$" "$WORK/disk"; do
        local fs
        mkdir -p "$where"
        fs=$(df --output=fstype "$where" | tail -1)
        : >"$WORK/a.txt"
        : >"$WORK/b.txt"
        for ((r = 0; r < rounds; ++r)); do
            for which in a b; do
                local bin=$a
                [ "$which" = b ] && bin=$b
                rm -rf "$where/out"
                mkdir -p "$where/out"
                sync
                (cd "$WORK/list" && timed "$bin" --batch --quiet --out "$where/out" "${LIST[@]}") | awk '{ print $1 }' >>"$WORK/$which.txt"
                [ "$(find "$where/out" -type f | wc -l)" -eq "${#LIST[@]}" ] || die "not every thumbnail written"
            done
        done
        local ma mb na nb
        ma=$(median <"$WORK/a.txt")
        mb=$(median <"$WORK/b.txt")
        na=$(sort -g "$WORK/a.txt" | head -1)
        nb=$(sort -g "$WORK/b.txt" | head -1)
        printf '%-6s A: %s (median %.2f s, best %.2f s)\n' "$fs" "$(tr '\n' ' ' <"$WORK/a.txt")" "$ma" "$na"
        printf '%-6s B: %s (median %.2f s, best %.2f s)\n' "$fs" "$(tr '\n' ' ' <"$WORK/b.txt")" "$mb" "$nb"
        printf '%-6s B costs %+.1f %% (medians), %+.1f %% (best runs)\n' "$fs" \
            "$(awk -v a="$ma" -v b="$mb" 'BEGIN { print (b - a) / a * 100 }')" \
            "$(awk -v a="$na" -v b="$nb" 'BEGIN { print (b - a) / a * 100 }')"
        rm -rf "$where"
    done
}

case ${1:-} in
copy)
    ensure_packages time
    copy_memory
    ;;
kills)
    ensure_packages time
    ensure_corpus "${CORPUS:-$DEFAULT_CORPUS}"
    stage_corpus "${CORPUS:-$DEFAULT_CORPUS}" "$WORK"
    NAMES=()
    for p in "${PHOTOS[@]}"; do NAMES+=("$(basename "$p")"); done
    kills
    ;;
sync)
    ensure_packages time
    ensure_corpus "${CORPUS:-$DEFAULT_CORPUS}"
    stage_corpus "${CORPUS:-$DEFAULT_CORPUS}" "$WORK"
    sync_cost "${2:-}" "${3:-}"
    ;;
*)
    sed -n '2,19p' "$0" >&2
    exit 2
    ;;
esac
