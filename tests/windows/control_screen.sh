#!/usr/bin/env bash
# The control on a screen: a virtual X display, the container program (control_container.cpp)
# under Wine with the module registered, and the pictures it announces taken off the display.
# The symbols are read back by zbar and held pixel for pixel to what the Linux build of the
# same control paints for the same properties; the dialogs' pictures are kept for a person.
#   control_screen.sh CONTAINER_EXE OCX LINUX_PROGRAM OUT_DIR
# Wine runs in the prefix the environment names (WINEPREFIX). The test owns the display and
# the prefix's server while it runs: it starts both and stops both, whatever happens.
set -euo pipefail
exe=$1 ocx=$2 program=$3 out=$4

first_text="GLYPHWELL"
second_text="GLYPHWELL ON A SCREEN, LARGER"
second_pixel_size=5
reply_timeout=120  # seconds for one line from the container (Wine's start included)

rm -rf "$out"
mkdir -p "$out"
failures=0
fail() { echo "FAIL $*"; failures=$((failures + 1)); }

# Nothing else may use the prefix meanwhile (ctest runs this test alone); a server left by an
# earlier test is allowed to finish first, so that every Wine process here sees the display.
timeout 60 wineserver -w || true

xvfb_pid="" container_pid="" registered=""
cleanup() {
    set +e
    [ -n "$container_pid" ] && kill "$container_pid" 2>/dev/null
    [ -n "$registered" ] && timeout 60 wine regsvr32 /u /s "$registered"
    wineserver -k 2>/dev/null
    timeout 60 wineserver -w
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
    fi
}
trap cleanup EXIT

# A display of its own: Xvfb picks a free number and writes it to the descriptor when ready.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$out/display" 2>"$out/xvfb.log" &
xvfb_pid=$!
deadline=$((SECONDS + 30))
until [ -s "$out/display" ] && grep -q $'\n' "$out/display"; do
    kill -0 "$xvfb_pid" 2>/dev/null || { echo "Xvfb did not start:"; cat "$out/xvfb.log"; exit 1; }
    [ $SECONDS -lt $deadline ] || { echo "Xvfb gave no display number in 30 s"; exit 1; }
    sleep 0.1
done
export DISPLAY=":$(head -1 "$out/display")"

# Wine draws the container's window frames itself, as Windows does, instead of leaving them to
# a window manager that this display does not have: the dialogs' pictures show their captions.
timeout 60 wine reg add 'HKCU\Software\Wine\AppDefaults\'"$(basename "$exe")"'\X11 Driver' /v Managed /d N /f >/dev/null

winocx=$(winepath -w "$ocx" | tr -d '\r')
timeout 120 wine regsvr32 /s "$winocx"
registered=$winocx

# What the Linux build paints for the properties the container sets.
"$program" control --set "TextData=$first_text" --paint "$out/expected-first.bmp"
"$program" control --set "PixelSize=$second_pixel_size" --set "TextData=$second_text" \
    --paint "$out/expected-larger.bmp"
cp "$out/expected-larger.bmp" "$out/expected-reloaded.bmp"
declare -A texts=([first]=$first_text [larger]=$second_text [reloaded]=$second_text)

size_of() { identify -format '%w %h' "$1"; }

# Takes the rectangle off the display until it shows the expected symbol (the container keeps
# painting meanwhile), or gives up after 20 s. Returns the last picture's verdict.
check_symbol() {
    local name=$1 geometry=$2 expected="$out/expected-$1.bmp" deadline=$((SECONDS + 20)) read differing
    while :; do
        import -window root "$out/screen.png"
        convert "$out/screen.png" -crop "$geometry" +repage "$out/$name.png"
        # zbar wants a quiet zone wider than the control's margin: a white border is added.
        read=$(convert "$out/$name.png" -bordercolor white -border 40 png:- | zbarimg --raw -q - 2>/dev/null || true)
        differing=$(compare -metric AE "$out/$name.png" "$expected" null: 2>&1 || true)
        [ "$read" = "${texts[$name]}" ] && [ "$differing" = 0 ] && break
        if [ $SECONDS -ge $deadline ]; then
            fail "$name: zbar read '$read', $differing pixels differ from the Linux build's picture"
            return
        fi
        sleep 0.25
    done
    echo "$name: $geometry on the screen reads '$read', the same pixels as the Linux build"
}

# A dialog's picture, kept for a person; it must show more than a blank rectangle.
check_dialog() {
    local name=$1 geometry=$2 deadline=$((SECONDS + 20)) colours
    while :; do
        import -window root "$out/screen.png"
        convert "$out/screen.png" -crop "$geometry" +repage "$out/$name.png"
        colours=$(identify -format '%k' "$out/$name.png")
        [ "$colours" -ge 3 ] && break
        [ $SECONDS -lt $deadline ] || { fail "$name: the picture has $colours colours"; return; }
        sleep 0.25
    done
    echo "$name: $geometry, $colours colours, kept as $out/$name.png"
}

# The container speaks on its standard error; its standard output (the encoder's diagnostic
# lines) goes to a log.
coproc container { exec wine "$exe" "$first_text" "$second_text" "$second_pixel_size" 2>&1 >"$out/container.log"; }
container_pid=$container_PID
to_container=${container[1]}
from_container=${container[0]}
declare -A shown
ended=""
while IFS= read -r -t "$reply_timeout" line <&"$from_container"; do
    line=${line%$'\r'}
    case "$line" in
    "SHOT "*)
        read -r _ name x y w h <<< "$line"
        geometry="${w}x${h}+${x}+${y}"
        shown[$name]="$w $h"
        case "$name" in
        first | larger | reloaded)
            [ "$w $h" = "$(size_of "$out/expected-$name.bmp")" ] ||
                fail "$name: the control is $w x $h, the picture $(size_of "$out/expected-$name.bmp")"
            check_symbol "$name" "$geometry"
            ;;
        *) check_dialog "$name" "$geometry" ;;
        esac
        echo next >&"$to_container"
        ;;
    "FAIL "*) echo "$line"; failures=$((failures + 1)) ;;
    END) ended=1; break ;;
    *) echo "$line" ;;
    esac
done
[ -n "$ended" ] || fail "the container stopped answering or ended early"
status=0
if [ -n "$ended" ]; then
    # It ends on its own after END; the wait has a limit all the same.
    deadline=$((SECONDS + 30))
    while kill -0 "$container_pid" 2>/dev/null && [ $SECONDS -lt $deadline ]; do sleep 0.1; done
    wait "$container_pid" || status=$?
    container_pid=""
    [ "$status" = 0 ] || fail "the container's own checks: $status failed"
fi
for name in first larger reloaded about properties; do
    [ -n "${shown[$name]:-}" ] || fail "$name was never shown"
done
if [ -n "${shown[first]:-}" ] && [ -n "${shown[larger]:-}" ]; then
    read -r w1 _ <<< "${shown[first]}"
    read -r w2 _ <<< "${shown[larger]}"
    [ "$w2" -gt "$w1" ] || fail "the control did not grow: $w1 then $w2 pixels wide"
fi
rm -f "$out/screen.png"
[ $failures = 0 ] || { echo "$failures failures; pictures in $out"; exit 1; }
echo "the control on the screen: 3 symbols read and matched, 2 dialogs checked; pictures in $out"
