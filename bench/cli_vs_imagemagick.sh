#!/bin/sh
# Whole-process time of `dotwright-cli picture` against ImageMagick doing the
# comparable job, on pictures this script makes: a screen-sized bitmap, a
# 300 × 200 PNG and a 4000 × 3000 JPEG (a camera picture).
#
#   dotwright-cli picture IN -o OUT.inc
#       the top-left 128 × 64 pixels, thresholded at slider value 50, written
#       as the plain black-and-white picture data file (about 10 kB of text);
#   convert IN -crop 128x64+0+0 +repage -threshold 50% OUT.pbm
#       the top-left 128 × 64 pixels, thresholded at 50 % intensity, written as
#       a 1-bit PBM file (1 kB).
#
# Both start a process, decode the picture, cut the corner, threshold it and
# write a 1-bit result; the figure is the median over RUNS runs of each.
#
# Usage: bench/cli_vs_imagemagick.sh [path/to/dotwright-cli]
# Environment: RUNS (default 21), IMAGEMAGICK (default: convert on the PATH).
# Uses hyperfine when it is installed, else a loop timed with date +%s%N (whose
# own start-up, about a millisecond, then counts towards both figures alike).
set -eu

cli=${1:-build/default/src/cli/dotwright-cli}
imagemagick=${IMAGEMAGICK:-convert}
runs=${RUNS:-21}

if [ ! -x "$cli" ]; then
    echo "$0: $cli not found; build it first (cmake --build build/default --target dotwright-cli)" >&2
    exit 1
fi
if ! command -v "$imagemagick" >/dev/null 2>&1; then
    echo "$0: ImageMagick ($imagemagick) not found" >&2
    exit 1
fi
cli=$(cd "$(dirname "$cli")" && pwd)/$(basename "$cli")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM

# Noise-free but not flat pictures, the same at every run.
"$imagemagick" -seed 7 -size 128x64 plasma:fractal -type TrueColor "BMP3:$work/screen.bmp"
"$imagemagick" -seed 7 -size 300x200 plasma:fractal "$work/small.png"
"$imagemagick" -seed 7 -size 4000x3000 plasma:fractal -quality 90 "$work/photo.jpg"

# Median of the run times in milliseconds, read one number of microseconds a line.
median_ms() {
    sort -n | awk '{ t[NR] = $1 } END { m = (NR % 2) ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2; printf "%.1f", m / 1000 }'
}

# Prints the median wall time in milliseconds of the command "$@".
time_command() {
    if command -v hyperfine >/dev/null 2>&1; then
        hyperfine --shell=none --warmup 3 --runs "$runs" --export-json "$work/h.json" \
            --style none -- "$*" >/dev/null
        sed -n 's/.*"median": *\([0-9.e-]*\).*/\1/p' "$work/h.json" | head -n 1 |
            awk '{ printf "%.1f", $1 * 1000 }'
    else
        "$@" >/dev/null 2>&1 # warm the caches
        i=0
        while [ "$i" -lt "$runs" ]; do
            start=$(date +%s%N)
            "$@" >/dev/null 2>&1
            end=$(date +%s%N)
            echo $(((end - start) / 1000))
            i=$((i + 1))
        done | median_ms
    fi
}

printf '%-22s %14s %14s %8s\n' "picture" "dotwright-cli" "ImageMagick" "ratio"
for entry in screen.bmp:128x64 small.png:300x200 photo.jpg:4000x3000; do
    picture=${entry%%:*}
    size=${entry#*:}
    in=$work/$picture
    # Both must succeed, or the figures mean nothing.
    "$cli" picture "$in" -o "$work/out.inc"
    "$imagemagick" "$in" -crop 128x64+0+0 +repage -threshold 50% "$work/out.pbm"
    ours=$(time_command "$cli" picture "$in" -o "$work/out.inc")
    theirs=$(time_command "$imagemagick" "$in" -crop 128x64+0+0 +repage -threshold 50% "$work/out.pbm")
    printf '%-22s %11s ms %11s ms %7sx\n' "$picture ($size)" "$ours" "$theirs" \
        "$(echo "$theirs $ours" | awk '{ printf "%.1f", $1 / $2 }')"
done
