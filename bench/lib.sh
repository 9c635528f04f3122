# Shared by the bench scripts: tools, the Release build of the program (whose
# --batch runs the engine from the shell), the corpus.
# Sourced, not run.

BENCH_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
REPO=$(cd "$BENCH_DIR/.." && pwd)
BUILD_DIR=${BUILD_DIR:-$REPO/build-bench}
TUMBILDER=$BUILD_DIR/tumbilder
DEFAULT_CORPUS=/usr/share/backgrounds/mate
# ImageMagick by full path: /usr/local/bin may hold something else called convert.
IM_CONVERT=/usr/bin/convert
IM_COMPARE=/usr/bin/compare

die() { echo "bench: $*" >&2; exit 1; }

source "$REPO/scripts/packages.sh"

# Installs the Debian packages that are missing (as root, or through sudo).
ensure_packages() {
    install_missing_packages bench "$@" || die "cannot install $*"
}

# Builds the program in Release in its own build folder when it is not there yet.
ensure_tumbilder() {
    if [ ! -x "$TUMBILDER" ] || [ -n "${REBUILD:-}" ]; then
        export CCACHE_BASEDIR=$REPO
        if [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
            cmake -S "$REPO" -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release -DTUMBILDER_BENCH=ON >&2 || die "cmake failed"
        fi
        cmake --build "$BUILD_DIR" --target tumbilder -j"$(nproc)" >&2 || die "build failed"
    fi
    grep -q 'CMAKE_BUILD_TYPE:STRING=Release' "$BUILD_DIR/CMakeCache.txt" \
        || echo "bench: warning: $BUILD_DIR is not a Release build" >&2
}

# The JPEG photographs of a corpus, linked into one flat folder under names
# that do not clash, so every tool reads the same files and GraphicsMagick's
# output folder holds no subfolders. Sets PHOTOS (array) and STAGE.
stage_corpus() {
    local corpus=$1 work=$2
    [ -d "$corpus" ] || die "no corpus folder $corpus"
    STAGE=$work/photos
    mkdir -p "$STAGE"
    local n=0 f name
    while IFS= read -r -d '' f; do
        name=$(basename "$f")
        [ -e "$STAGE/$name" ] && name="$n-$name"
        ln -s "$(readlink -f "$f")" "$STAGE/$name"
        n=$((n + 1))
    done < <(find "$corpus" -iname '*.jpg' -type f -print0 | sort -z)
    [ "$n" -gt 0 ] || die "no JPEG photos (*.jpg) in $corpus"
    PHOTOS=()
    while IFS= read -r -d '' f; do PHOTOS+=("$f"); done < <(find "$STAGE" -mindepth 1 -print0 | sort -z)
}

# The staged photos repeated as $1 links in the folder $2 under names of
# their own (0000-name.jpg, 0001-...), so every picture is decoded and
# written. Sets REPEATED (array of the names, in order).
repeat_photos() {
    local count=$1 dir=$2 photo name i
    mkdir -p "$dir"
    REPEATED=()
    for ((i = 0; i < count; ++i)); do
        photo=${PHOTOS[$((i % ${#PHOTOS[@]}))]}
        name=$(printf '%04d-%s' "$i" "$(basename "$photo")")
        ln -s "$(readlink "$photo")" "$dir/$name"
        REPEATED+=("$name")
    done
}

ensure_corpus() {
    local corpus=$1
    if [ "$corpus" = "$DEFAULT_CORPUS" ]; then
        ensure_packages mate-backgrounds
    fi
}

# The usual start of a bench over repeated runs: GNU time, the corpus, the
# Release build, and a work folder named after the bench (removed at the
# end unless KEEP is set) with the corpus staged in it. Sets WORK, STAGE
# and PHOTOS.
start_bench() {
    local name=$1 corpus=$2
    ensure_packages time
    ensure_corpus "$corpus"
    ensure_tumbilder
    WORK=$(mktemp -d "/tmp/tumbilder-$name.XXXXXX")
    if [ -z "${KEEP:-}" ]; then
        trap 'rm -rf "$WORK"' EXIT
    fi
    stage_corpus "$corpus" "$WORK"
}

# The figures of a `/usr/bin/time -v` log: "wall_s cpu_s peak_rss_kb".
time_figures() {
    awk -F': ' '
        /Elapsed \(wall clock\)/ { n = split($2, t, ":"); wall = 0; for (i = 1; i <= n; ++i) wall = wall * 60 + t[i] }
        /User time/ { user = $2 }
        /System time/ { sys = $2 }
        /Maximum resident set size/ { rss = $2 }
        END { printf "%.3f %.3f %d\n", wall, user + sys, rss }' "$1"
}

median() { sort -g | awk '{ v[NR] = $1 } END { if (NR == 0) print "nan"; else if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
