#!/bin/sh
# End to end on a real X server: starts the real dotwright binary, paints in
# the black-and-white sprite editor, presses Copy and reads the system clipboard
# with xclip; then loads a picture in the black-and-white converter through the
# real file dialog and writes a compressed data file, which must equal what
# dotwright-cli writes for the same picture.
#
# usage (under xvfb-run): real_display_session.sh DOTWRIGHT DOTWRIGHT_CLI PICTURE
set -eu
app=$1
cli=$2
picture=$3
work=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT INT TERM

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# The client area's top-left corner of the window titled $1. There is no window
# manager on the test server, so a window's position is its client's.
window_origin() {
    wid=$(xdotool search --sync --onlyvisible --name "^$1\$" | head -1)
    eval "$(xdotool getwindowgeometry --shell "$wid")"
    origin_x=$X
    origin_y=$Y
}

click_at() { # x y in the current window's client pixels, [repeat]
    xdotool mousemove --sync $((origin_x + $1)) $((origin_y + $2)) click --repeat "${3:-1}" --delay 120 1
}

type_into_dialog() { # dialog title, text
    window_origin "$1"
    sleep 0.5
    xdotool type --delay 5 "$2"
    xdotool key Return
}

"$app" &
pid=$!

window_origin "Dotwright"
main_x=$origin_x
main_y=$origin_y

# Entry 1, "Sprite B&W": the first cell of the icon list at (8, 32).
click_at 56 62 2
window_origin "Sprite-Editor for Black&White Sprites"
# Paint cells (0, 0) and (7, 7) with the left button; the canvas is at (240, 8).
click_at 252 20
click_at 427 195
click_at 172 172 # C&opy
printf ';Bitmap\r\n.db %%10000000\r\n.db %%00000000\r\n.db %%00000000\r\n.db %%00000000\r\n.db %%00000000\r\n.db %%00000000\r\n.db %%00000000\r\n.db %%00000001' > "$work/expected.txt"
# The program answers the clipboard request from its own event loop; give a slow
# (sanitizer) build a few seconds.
for _ in 1 2 3 4 5 6 7 8 9 10; do
    xclip -o -selection clipboard > "$work/clipboard.txt" 2>/dev/null || true
    cmp -s "$work/clipboard.txt" "$work/expected.txt" && break
    sleep 0.5
done
cmp "$work/clipboard.txt" "$work/expected.txt" || fail "clipboard text differs: $(od -c "$work/clipboard.txt" | head -5)"
echo "ok - Copy put the CR LF sprite code on the X clipboard"
xdotool key Escape

# Entry 5, "Picture B&W": the third row of the list.
origin_x=$main_x
origin_y=$main_y
sleep 0.5
click_at 56 194 2
window_origin "Picture-Converter for Black&White Pictures"
converter_x=$origin_x
converter_y=$origin_y
click_at 72 92 # Load picture
type_into_dialog "Select picture to open" "$picture"
origin_x=$converter_x
origin_y=$converter_y
sleep 0.5
click_at 14 176 # RLE Compression with:
click_at 72 148 # Convert & Save
type_into_dialog "Save the picture" "$work/picture.inc"
for _ in 1 2 3 4 5 6 7 8 9 10; do
    [ -f "$work/picture.inc" ] && break
    sleep 0.5
done
[ -f "$work/picture.inc" ] || fail "Convert & Save wrote no file"
"$cli" picture --rle "$picture" > "$work/cli.inc" || fail "dotwright-cli failed"
cmp "$work/picture.inc" "$work/cli.inc" || fail "the window's data file differs from dotwright-cli's"
echo "ok - the window's compressed data file equals dotwright-cli's"
