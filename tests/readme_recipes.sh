#!/usr/bin/env bash
# The README's cron line and many-machines recipe, taken from its code blocks
# and run as written on a month-folder tree: IMG_0001.JPG in every month, an
# event folder "Påsk i Åre", over two years. HOME and /srv/foto point into a temporary
# folder, and parallel runs on this machine (-j2) instead of over ssh. The
# page must show every picture once, each cell its own picture.
# usage: readme_recipes.sh TUMBILDER README
set -euo pipefail
TUMBILDER=$(readlink -f "$1")
README=$2
command -v parallel >/dev/null || { echo "GNU parallel is not installed"; exit 77; }
WORK=$(mktemp -d /tmp/tumbilder-readme.XXXXXX)
[ -n "${KEEP:-}" ] || trap 'rm -rf "$WORK"' EXIT
mkdir -p "$WORK/bin" "$WORK/make/jpg"
ln -s "$TUMBILDER" "$WORK/bin/tumbilder"
export PATH=$WORK/bin:$PATH LC_ALL=C.UTF-8

# A picture of its own colour for each name: a BMP from python, made a JPG
# by the program itself.
n=0
picture() {  # picture FOLDER NAME
    n=$((n + 1))
    python3 - "$WORK/make/p.bmp" $((n * 37 % 256)) $((n * 91 % 256)) $((n * 53 % 256)) <<'PY'
import struct, sys
path, r, g, b = sys.argv[1], *map(int, sys.argv[2:])
w, h = 64, 48
data = b''.join(bytes((b // 2, g // 2, r // 2) if x < 20 and y < 16 else (b, g, r)) for y in range(h) for x in range(w))
open(path, 'wb').write(b'BM' + struct.pack('<IHHI', 54 + len(data), 0, 0, 54)
                       + struct.pack('<IiiHHIIiiII', 40, w, h, 1, 24, 0, len(data), 2835, 2835, 0, 0) + data)
PY
    tumbilder --batch --quiet --mode percent --percent 100 --suffix "" --quality 95 --out "$WORK/make/jpg" \
        "$WORK/make/p.bmp" >/dev/null
    mkdir -p "$1"
    mv "$WORK/make/jpg/p.jpg" "$1/$2"
}

# setup TREE: month folders of two years under TREE.
setup() {
    for month in 2025/12-december 2026/01-januari 2026/02-februari 2026/04-april; do
        picture "$1/$month" IMG_0001.JPG
        picture "$1/$month" IMG_0002.JPG
    done
    picture "$1/2026/04-april/Påsk i Åre" IMG_0001.JPG
    picture "$1/2026/04-april/Påsk i Åre" "bild #2.jpg"
}
PICTURES=10

# The one code block line that starts with $1.
block_line() {
    awk -v start="$1" '/^```/ { inside = !inside; next } inside && index($0, start) == 1' "$README" | head -n 1
}

# check PAGE_FOLDER: every picture of the tree once, each cell's thumbnail
# the thumbnail of the picture it links to.
check() {
    local webb=$1 cells=0 page dir href src
    : >"$WORK/linked"
    while IFS= read -r -d '' page; do
        dir=$(dirname "$page")
        # Cells: <a href="PICTURE" ...><img src="THUMBNAIL" ...>
        while IFS=$'\t' read -r href src; do
            href=$(python3 -c 'import sys, urllib.parse; print(urllib.parse.unquote(sys.argv[1]))' "$href")
            src=$(python3 -c 'import sys, urllib.parse; print(urllib.parse.unquote(sys.argv[1]))' "$src")
            # The thumbnail made again from the linked picture, and both as
            # BMPs (by the program again) for python to compare.
            rm -rf "$WORK/again" && mkdir -p "$WORK/again/bmp"
            cp "$dir/$href" "$WORK/again/own.jpg"
            tumbilder --batch --quiet "$WORK/again/own.jpg" >/dev/null
            cp "$dir/$src" "$WORK/again/bmp/cell.jpg" && mv "$WORK/again/own_s.jpg" "$WORK/again/bmp/own.jpg"
            tumbilder --batch --quiet --format bmp --mode percent --percent 100 "$WORK/again/bmp" >/dev/null
            python3 - "$WORK/again/bmp/cell_s.bmp" "$WORK/again/bmp/own_s.bmp" <<'PY' || { echo "$page: $src is not $href"; exit 1; }
import math, sys
a, b = (open(p, 'rb').read() for p in sys.argv[1:])
mse = sum((x - y) ** 2 for x, y in zip(a[54:], b[54:])) / max(1, len(a) - 54)
sys.exit(len(a) != len(b) or (mse > 0 and 10 * math.log10(255 ** 2 / mse) < 30))
PY
            md5sum <"$dir/$href" >>"$WORK/linked"
            cells=$((cells + 1))
        done < <(python3 - "$page" <<'PY'
import re, sys
html = open(sys.argv[1], encoding='utf-8').read()
for a in re.finditer(r'<a [^>]*href="([^"]+)"[^>]*>\s*<img [^>]*src="([^"]+)"', html):
    if not a.group(1).endswith('.html'):
        print(a.group(1) + '\t' + a.group(2))
PY
)
    done < <(find "$webb" -name bilder.html -print0)
    [ "$cells" -eq "$PICTURES" ] || { echo "$webb: $cells cells, not $PICTURES"; exit 1; }
    [ "$(sort -u "$WORK/linked" | wc -l)" -eq "$PICTURES" ] || { echo "$webb: a picture shown twice"; exit 1; }
}

# The cron line, as cron's shell runs it.
export HOME=$WORK/home
setup "$HOME/Bilder"
cron=$(block_line '0 3 * * 0')
[ -n "$cron" ] || { echo "no cron line in $README"; exit 1; }
command=$(echo "$cron" | cut -d' ' -f6- | sed 's/^ *//')
echo "cron: $command"
sh -c "$command" || { echo "the cron line failed: $?"; exit 1; }
check "$HOME/webb"
# (Captured first: grep -q leaves at its match, and tee would die of the closed pipe.)
again=$(sh -c "$command")
echo "$again"
grep -q "0 av $PICTURES tumbilder skapade, $PICTURES var redan klara" <<<"$again" \
    || { echo "the cron line again made something anew"; exit 1; }

# The many-machines recipe: its three lines, /srv/foto in the temporary tree.
setup "$WORK/srv/foto"
recipe=$(awk '/^```/ { inside = !inside; next } inside && /parallel --/ { print prev; print; getline; print } { prev = $0 }' "$README")
[ "$(echo "$recipe" | wc -l)" -eq 3 ] || { echo "no many-machines recipe in $README"; exit 1; }
recipe=$(echo "$recipe" | sed -e "s|/srv/foto|$WORK/srv/foto|g" -e 's/--sshlogin [^ ]*/-j2/')
echo "$recipe"
bash -euc "$recipe" || { echo "the many-machines recipe failed: $?"; exit 1; }
check "$WORK/srv/foto/webb"
echo "both recipes made a page of every picture"
