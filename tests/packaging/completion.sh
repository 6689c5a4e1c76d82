#!/bin/bash
# completion.sh COMPLETION-FILE: completes dotwright-cli command lines the way
# bash does at a Tab, with bash-completion's helpers loaded, and checks what is
# offered, among files of every kind the commands take.
set -u

helpers=/usr/share/bash-completion/bash_completion
if [[ ! -r $helpers ]]; then
    echo "not ok - $helpers missing: install bash-completion (scripts/install-deps)"
    exit 1
fi
# shellcheck source=/dev/null
source "$helpers"
# shellcheck source=/dev/null
source "$1" || exit 1

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
mkdir gfx
touch a.png b.BMP c.gif d.jpg e.jpeg f.ico g.inc h.asm i.txt j.c ./-dash.png

failures=0
# check "COMMAND LINE" EXPECTED...: the line is completed at its end (a
# trailing space starts a new, empty word); the offers are compared sorted.
check()
{
    local line=$1
    shift
    read -ra COMP_WORDS <<<"$line"
    [[ $line == *' ' ]] && COMP_WORDS+=('')
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE=$line
    COMP_POINT=${#line}
    COMPREPLY=()
    _dotwright_cli
    local got expected
    got=$(printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort | tr '\n' ' ')
    expected=$(printf '%s\n' "$@" | LC_ALL=C sort | tr '\n' ' ')
    if [[ $got == "$expected" ]]; then
        echo "ok - '$line'"
    else
        echo "not ok - '$line': offered [$got], expected [$expected]"
        failures=$((failures + 1))
    fi
}

pictures=(-dash.png a.png b.BMP c.gif d.jpg e.jpeg f.ico gfx)
data=(g.inc h.asm i.txt gfx)

check 'dotwright-cli ' picture sprite sprites unpack --help --version
check 'dotwright-cli s' sprite sprites
check 'dotwright-cli --' --help --version
check 'dotwright-cli picture -' --grey --level --fit --fill --offset --dither --invert --source \
    --rle --bmp -o --help
check 'dotwright-cli picture --f' --fit --fill
check 'dotwright-cli sprite -' --kind --size --exact -o --render --help
check 'dotwright-cli sprites -' --kind --size --label --exact --skip-empty -o --help
check 'dotwright-cli unpack -o out.png -' -o --help
check 'dotwright-cli sprite --kind ' bw grey bw-mask grey-mask
check 'dotwright-cli sprite --kind grey' grey grey-mask
check 'dotwright-cli picture ' "${pictures[@]}"
check 'dotwright-cli picture --level 50 --grey ' "${pictures[@]}"
check 'dotwright-cli picture --level ' ''
check 'dotwright-cli picture --bmp ' b.BMP gfx
check 'dotwright-cli picture --dither ' none ordered floyd-steinberg atkinson
check 'dotwright-cli picture --dither f' floyd-steinberg
check 'dotwright-cli picture --offset ' ''
check 'dotwright-cli picture --source ' -dash.png a.png gfx
check 'dotwright-cli picture --fit --invert --dither atkinson --offset 3,4 ' "${pictures[@]}"
check 'dotwright-cli picture -o ' "${data[@]}"
check 'dotwright-cli picture -- -' -dash.png
check 'dotwright-cli sprite ' "${pictures[@]}"
check 'dotwright-cli sprite --render ' -dash.png a.png gfx
check 'dotwright-cli sprite --kind grey --render out.png ' "${data[@]}"
check 'dotwright-cli sprite -o ' "${data[@]}"
check 'dotwright-cli sprites --kind ' bw grey bw-mask grey-mask
check 'dotwright-cli sprites --size 16x8 --label ' ''
check 'dotwright-cli sprites --skip-empty --label hero ' "${pictures[@]}"
check 'dotwright-cli sprites -o out.inc ' "${pictures[@]}"
check 'dotwright-cli unpack ' "${data[@]}"
check 'dotwright-cli unpack -o ' -dash.png a.png gfx

if [[ $(complete -p dotwright-cli 2>&1) != *'-F _dotwright_cli'* ]]; then
    echo "not ok - the completion is not registered for dotwright-cli"
    failures=$((failures + 1))
fi
exit $((failures > 0))
