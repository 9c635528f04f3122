#!/usr/bin/env bash
# A photo tree as a phone leaves it: N photos in 24 month folders
# (2025/01 ... 2026/12), IMG_0001.JPG... again in every month. Measures the
# CPU time of the first `--recursive --page-style modern` run against the
# same pictures given folder by folder (one run, one page per month; target
# at most 1.1x), the top page's size and each album page's (target: 20 KB +
# 1 KB per album card), and checks every cell on every album page: its
# thumbnail against a thumbnail made from the picture it links to (PSNR at
# least 30 dB; a mixed cell is one below).
#
# usage: bench/tree.sh [N]   (N=2000; a smaller N for a quick run)
#   env: CORPUS (the JPEG photos to copy; without one, 48 made here), KEEP=1
set -euo pipefail
source "$(dirname "$0")/lib.sh"

N=${1:-2000}
ensure_packages time python3
ensure_tumbilder
WORK=$(mktemp -d /tmp/tumbilder-tree.XXXXXX)
[ -n "${KEEP:-}" ] || trap 'rm -rf "$WORK"' EXIT

# The photos: the corpus's, or 48 made here (a BMP from python, a JPG by
# the program), each of its own colours.
if [ -n "${CORPUS:-}" ]; then
    stage_corpus "$CORPUS" "$WORK"
else
    mkdir -p "$WORK/bmp" "$WORK/photos"
    python3 - "$WORK/bmp" <<'PY'
import struct, sys
for i in range(48):
    w, h = (640, 480) if i % 3 else (480, 640)
    rows = []
    for y in range(h):
        rows.append(bytes(b for x in range(w) for b in ((x * (i + 1)) & 255, (y * 3 + i * 40) & 255, ((x ^ y) + i * 17) & 255)))
    data = b''.join(rows)
    with open(f'{sys.argv[1]}/p{i:02d}.bmp', 'wb') as f:
        f.write(b'BM' + struct.pack('<IHHI', 54 + len(data), 0, 0, 54)
                + struct.pack('<IiiHHIIiiII', 40, w, h, 1, 24, 0, len(data), 2835, 2835, 0, 0) + data)
PY
    "$TUMBILDER" --batch --quiet --mode percent --percent 100 --suffix "" --quality 90 --out "$WORK/photos" "$WORK/bmp" >/dev/null
    PHOTOS=("$WORK"/photos/*.jpg)
fi

# The tree: photo k of month m is IMG_<k>.JPG, a different photo for the
# same name in each month.
MONTHS=()
for y in 2025 2026; do for m in 01 02 03 04 05 06 07 08 09 10 11 12; do MONTHS+=("$y/$m"); done; done
for ((i = 0; i < N; ++i)); do
    m=$((i % 24)) k=$((i / 24 + 1))
    mkdir -p "$WORK/Bilder/${MONTHS[$m]}"
    ln -s "$(readlink -f "${PHOTOS[$(((m + k * 7) % ${#PHOTOS[@]}))]}")" "$WORK/Bilder/${MONTHS[$m]}/$(printf 'IMG_%04d.JPG' "$k")"
done

cpu() {  # cpu LOG COMMAND...: runs it, prints its CPU seconds
    local log=$1; shift
    /usr/bin/time -v -o "$log" "$@" >"$log.out" 2>&1 || [ $? -eq 1 ] || { cat "$log.out" >&2; die "run failed: $*"; }
    time_figures "$log" | awk '{ print $2 }'
}
tree_cpu=$(cpu "$WORK/tree.txt" "$TUMBILDER" --batch --quiet --recursive --page-style modern --page "$WORK/webb" "$WORK/Bilder")
folders_cpu=0
for month in "${MONTHS[@]}"; do
    c=$(cpu "$WORK/month.txt" "$TUMBILDER" --batch --quiet --page-style modern --page "$WORK/flat/$month" "$WORK/Bilder/$month")
    folders_cpu=$(echo "$folders_cpu + $c" | bc -l)
done
echo "$N photos in 24 month folders: --recursive $tree_cpu s CPU, folder by folder $folders_cpu s CPU," \
    "ratio $(echo "$tree_cpu / $folders_cpu" | bc -l | cut -c1-5) (target <= 1.10)"

# The pages' sizes, and every cell checked.
python3 - "$WORK/webb" "$TUMBILDER" "$WORK/check" <<'PY'
import math, os, re, shutil, subprocess, sys, urllib.parse
webb, tumbilder, check = sys.argv[1:]
pages = sorted(os.path.join(d, 'bilder.html') for d, _, files in os.walk(webb) if 'bilder.html' in files)
cells, worst = [], 0.0
for page in pages:
    html = open(page, encoding='utf-8').read()
    found = re.findall(r'<li><a href="([^"]+)(?<!bilder\.html)"><img src="([^"]+)"', html)
    cells += [(os.path.dirname(page), urllib.parse.unquote(a), urllib.parse.unquote(t)) for a, t in found]
    name = os.path.relpath(page, webb)
    # A card links down into an album; the breadcrumb links up (../).
    cards = len(re.findall(r'<a href="(?!\.\./)[^"]*/bilder\.html"', html))
    limit = 20 * 1024 + 1024 * cards
    size = os.path.getsize(page)
    worst = max(worst, size / limit)
    if name == 'bilder.html' or len(pages) <= 30:
        print(f'{name}: {size} bytes, {cards} album cards, {len(found)} cells (limit {limit})')
print(f'{len(pages)} pages; the largest at {worst * 100:.0f}% of its limit')
# A thumbnail made again from each linked picture; both as BMPs for python.
shutil.rmtree(check, ignore_errors=True)
os.makedirs(check + '/own')
os.makedirs(check + '/bmp')
for i, (album, picture, thumb) in enumerate(cells):
    os.symlink(os.path.join(album, picture), f'{check}/own/c{i:05d}.jpg')
    os.symlink(os.path.join(album, thumb), f'{check}/bmp/cell{i:05d}.jpg')
subprocess.run([tumbilder, '--batch', '--quiet', '--out', check + '/bmp', check + '/own'], check=True, stdout=subprocess.DEVNULL)
for i in range(len(cells)):
    os.rename(f'{check}/bmp/c{i:05d}_s.jpg', f'{check}/bmp/own{i:05d}.jpg')
subprocess.run([tumbilder, '--batch', '--quiet', '--format', 'bmp', '--mode', 'percent', '--percent', '100',
                '--out', check, check + '/bmp'], check=True, stdout=subprocess.DEVNULL)
def pixels(path):
    return open(path, 'rb').read()[54:]
mixed, low = 0, 99.0
for i in range(len(cells)):
    a, b = pixels(f'{check}/cell{i:05d}_s.bmp'), pixels(f'{check}/own{i:05d}_s.bmp')
    if len(a) != len(b):
        mixed += 1
        continue
    mse = sum((x - y) ** 2 for x, y in zip(a, b)) / len(a)
    p = 99.0 if mse == 0 else 10 * math.log10(255 ** 2 / mse)
    low = min(low, p)
    mixed += p < 30
print(f'{len(cells)} cells, {mixed} mixed (thumbnail against the linked picture\'s: lowest PSNR {low:.1f} dB)')
PY
