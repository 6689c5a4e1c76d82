#!/bin/sh
# Processor time (user + system) of whole `dotwright-cli picture IN -o OUT.inc`
# processes, start-up included, measured side by side in one run:
#
# 1. A 128 × 64 BMP, a 300 × 200 PNG and a 4000 × 3000 JPEG, each against
#    - ImageMagick's cheapest comparable command on the same file,
#        MAGICK_THREAD_LIMIT=1 convert IN -crop 128x64+0+0 +repage \
#            -threshold 50% -depth 1 gray:OUT
#      (the top-left 128 × 64 pixels thresholded at 50 %, written as raw 1-bit
#      grey, without even a header; a .pbm costs it far more);
#    - a C program that links libpng and only prints its version: what any
#      program that reads pictures with the field's libraries pays to start.
#    Targets: at least 5 × less than ImageMagick, at most 2 × the libpng
#    program.
# 2. 8000 × 6000 non-interlaced PNG, BMP, GIF and baseline JPEG: processor time
#    and peak memory (maximum resident set) of dotwright-cli. Targets: 30 ms
#    and 32 MiB each.
#
# Each figure is the median of RUNS runs (peak memory: the largest), taken
# by bench/cpu_time.c from wait4, so other load on the machine hardly counts.
#
# Usage: bench/cli_vs_imagemagick.sh [path/to/dotwright-cli]
# Environment:
#   RUNS         runs per figure (default 21)
#   IMAGEMAGICK  ImageMagick's convert (default: convert on the PATH)
#   PICTURES     folder for the pictures, made once and then reused
#                (default build/bench-pictures; the large ones take about a
#                minute to make and 300 MB)
# Needs ImageMagick (Debian's imagemagick), a C compiler and libpng-dev.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
cli=${1:-build/default/src/cli/dotwright-cli}
imagemagick=${IMAGEMAGICK:-convert}
runs=${RUNS:-21}
pictures=${PICTURES:-build/bench-pictures}
cc=${CC:-cc}

if [ ! -x "$cli" ]; then
    echo "$0: $cli not found; build it first (make build, or cmake --build build/default --target dotwright-cli)" >&2
    exit 1
fi
if ! command -v "$imagemagick" >/dev/null 2>&1; then
    echo "$0: ImageMagick ($imagemagick) not found; apt-get install imagemagick" >&2
    exit 1
fi
cli=$(cd "$(dirname "$cli")" && pwd)/$(basename "$cli")
# One thread, as the comparison says, and for making the pictures too.
export MAGICK_THREAD_LIMIT=1

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM

"$cc" -O2 -o "$work/cpu_time" "$here/cpu_time.c"
cat >"$work/libpng_version.c" <<'EOF'
#include <png.h>
#include <stdio.h>

int main(void)
{
    puts(png_get_libpng_ver(NULL));
    return 0;
}
EOF
if ! "$cc" -O2 -o "$work/libpng_version" "$work/libpng_version.c" -lpng; then
    echo "$0: cannot build the libpng program; apt-get install libpng-dev" >&2
    exit 1
fi

# Noise-free but not flat pictures, the same at every run: a plasma fractal,
# detailed down to single pixels, compresses about as a photograph does.
mkdir -p "$pictures"
make_picture() { # FILE COMMAND... : runs the command only when FILE is missing
    file=$1
    shift
    if [ ! -s "$file" ]; then
        echo "making $file" >&2
        "$@"
    fi
}
make_picture "$pictures/screen.bmp" \
    "$imagemagick" -seed 7 -size 128x64 plasma:fractal -depth 8 -type TrueColor "BMP3:$pictures/screen.bmp"
make_picture "$pictures/small.png" \
    "$imagemagick" -seed 7 -size 300x200 plasma:fractal -depth 8 "PNG24:$pictures/small.png"
make_picture "$pictures/photo.jpg" \
    "$imagemagick" -seed 7 -size 4000x3000 plasma:fractal -depth 8 -quality 90 \
    -sampling-factor 2x2 "$pictures/photo.jpg"
big=$pictures/big.ppm
for kind in png bmp gif jpg; do
    if [ ! -s "$pictures/big.$kind" ] && [ ! -s "$big" ]; then
        echo "making $big" >&2
        "$imagemagick" -seed 7 -size 8000x6000 plasma:fractal -depth 8 "$big"
    fi
done
make_picture "$pictures/big.png" "$imagemagick" "$big" -interlace none "PNG24:$pictures/big.png"
make_picture "$pictures/big.bmp" "$imagemagick" "$big" -type TrueColor "BMP3:$pictures/big.bmp"
make_picture "$pictures/big.jpg" \
    "$imagemagick" "$big" -quality 90 -sampling-factor 2x2 -interlace none "$pictures/big.jpg"
make_picture "$pictures/big.gif" \
    "$imagemagick" "$big" -dither None -colors 256 -interlace none "$pictures/big.gif"
rm -f "$big"

# Median processor time (ms) and peak memory (KiB) of RUNS runs of "$@",
# after one run that warms the caches and shows that the command works.
measure() {
    "$@" >/dev/null
    "$work/cpu_time" "$runs" "$@"
}
ms() { echo "$1" | cut -d' ' -f1; }
mib() { echo "$1" | awk '{ printf "%.1f", $2 / 1024 }'; }
ratio() { echo "$1 $2" | awk '{ printf "%.1f", $1 / $2 }'; }

echo "dotwright-cli: $cli"
if ldd "$cli" | grep -q 'libQt'; then
    echo "  (links Qt: its start-up is part of every dotwright-cli figure)"
fi
echo "ImageMagick: $("$imagemagick" -version | head -n 1)"
echo "libpng: $("$work/libpng_version")"
echo "median processor time (user + system) of $runs runs, whole process"
echo

printf '%-18s %14s %14s %12s %10s %12s\n' "picture" "dotwright-cli" "ImageMagick" "libpng only" \
    "IM / ours" "ours / libpng"
printf '%-18s %14s %14s %12s %10s %12s\n' "" "" "" "" "(>= 5)" "(<= 2)"
libpng=$(measure "$work/libpng_version")
for entry in "screen.bmp:128 × 64 BMP" "small.png:300 × 200 PNG" "photo.jpg:4000 × 3000 JPEG"; do
    in=$pictures/${entry%%:*}
    ours=$(measure "$cli" picture "$in" -o "$work/out.inc")
    theirs=$(measure "$imagemagick" "$in" -crop 128x64+0+0 +repage -threshold 50% -depth 1 \
        "gray:$work/out.gray")
    printf '%-18s %11s ms %11s ms %9s ms %9sx %11sx\n' "${entry#*:}" "$(ms "$ours")" \
        "$(ms "$theirs")" "$(ms "$libpng")" "$(ratio "$(ms "$theirs")" "$(ms "$ours")")" \
        "$(ratio "$(ms "$ours")" "$(ms "$libpng")")"
done

echo
printf '%-18s %10s %14s %14s\n' "8000 × 6000" "file" "processor time" "peak memory"
printf '%-18s %10s %14s %14s\n' "" "" "(<= 30 ms)" "(<= 32 MiB)"
for entry in "png:PNG" "bmp:BMP (bottom up)" "gif:GIF" "jpg:JPEG (baseline)"; do
    in=$pictures/big.${entry%%:*}
    size=$(wc -c <"$in" | awk '{ printf "%.0f MB", $1 / 1e6 }')
    ours=$(measure "$cli" picture "$in" -o "$work/out.inc")
    printf '%-18s %10s %11s ms %10s MiB\n' "${entry#*:}" "$size" "$(ms "$ours")" "$(mib "$ours")"
done
