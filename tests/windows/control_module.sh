#!/usr/bin/env bash
# The control module under Wine, held to the Linux build of the same control. Modes:
#   reference LINUX_PROGRAM DIR   the Linux program saves and paints the reference control in DIR,
#                                  and writes a GIF for the image library's callers
#   registry LINUX_PROGRAM OCX DIR ARCH
#                                  regsvr32 writes what Linux registration writes, the type library
#                                  under the module's own platform ARCH (win32 or win64), in the
#                                  registry view of the module's architecture; /u removes it
#   side-by-side OCX64 OCX32 DIR   in a 64-bit prefix both modules registered at once, each in its own
#                                  registry view: 64-bit and 32-bit script hosts each create the
#                                  control, and unregistering one leaves the other whole
#   script OCX VBS                 a VBScript drives the registered control through cscript
#   decode DIR                     zbar reads the pictures the Windows module painted and wrote
#   documents DIR                  zbar reads each picture DIR/expected lists ("file<TAB>count<TAB>text")
#   cli LINUX_PROGRAM EXE DIR      glyphwell.exe encodes and converts byte for byte as the Linux program
# Wine runs in the prefix the test environment names (WINEPREFIX).
set -euo pipefail
mode=$1
shift

# The keys registration owns, below HKEY_CLASSES_ROOT.
roots=('CLSID\{E9E41C25-D5A5-46E3-8980-5211F273A6C8}' 'CLSID\{EB1F0AA6-3D27-44BE-BE43-1521423117DB}'
       'GLYPHWELL.GlyphwellCtrl.1' 'Interface\{CED3A3AC-1981-4F82-845E-BAA167979AA8}'
       'Interface\{2C36D853-7C60-4ED4-BA20-5F1EE131EBD4}' 'TypeLib\{3AABFB70-DFD3-4A18-8E97-B923C477AA05}')

# "key|name|value" lines of wine reg query /s output, the module's path and folder named as such.
# FLAGS: Wine adds LIBFLAG_FHASDISKIMAGE (8) to what it writes; Windows writes the library's own
# flags (here 2, LIBFLAG_FCONTROL), so the bit is taken off before comparing.
wine_values() {
    local module=$1 dir=${1%\\*}
    # (through the environment: awk -v would read the backslashes as escapes)
    tr -d '\r' | MODULE="$module" DIR="$dir" awk '
        BEGIN { module = ENVIRON["MODULE"]; dir = ENVIRON["DIR"] }
        /^HKEY_CLASSES_ROOT\\/ { key = substr($0, 19); next }
        /^    / {
            n = split(substr($0, 5), f, /    /)
            name = f[1]; value = n >= 3 ? f[3] : ""
            if (value == module) value = "MODULE"
            if (value == module ", 1") value = "MODULE, 1"
            if (value == dir) value = "MODULEDIR"
            if (key ~ /\\FLAGS$/) value = value - (int(value / 8) % 2) * 8
            print key "|" name "|" value
        }' | sort
}

# The same lines from the Linux program's registry dump. The stand-in registers its type library
# under win32 whatever the machine; a 64-bit Windows module registers its own under win64.
linux_values() {
    local module=$1 dir=${1%/*} arch=$2
    awk -v module="$module" -v dir="$dir" -v arch="$arch" '
        /^\[HKEY_CLASSES_ROOT\\/ { key = substr($0, 20, length($0) - 20); next }
        /=sz:"/ {
            eq = index($0, "=sz:\"")
            name = substr($0, 1, eq - 1); value = substr($0, eq + 5, length($0) - eq - 5)
            if (name == "@") name = "(Default)"; else name = substr(name, 2, length(name) - 2)
            if (name == "Description" && key ~ /^TypeLib\\/) next  # the stand-in keeps its library here
            if (value == module) value = "MODULE"
            if (value == module ", 1") value = "MODULE, 1"
            if (value == dir) value = "MODULEDIR"
            if (key ~ /\\win32$/) key = substr(key, 1, length(key) - 5) arch
            print key "|" name "|" value
        }' | sort
}

owned() {
    local pattern
    pattern=$(printf '%s\n' "${roots[@]}" | sed 's/[\\{}.]/\\&/g' | paste -sd'|')
    grep -E "^($pattern)(\\\\|\\|)" || true
}

case "$mode" in
reference)
    program=$1 dir=$2
    mkdir -p "$dir"
    GLYPHWELL_REGISTRY="$dir/registry" "$program" control --set PixelSize=3 --set CorrectionLevel=2 \
        --set ForeGroundColor=8388608 --set "TextData=HELLO WINDOWS" --save "$dir/state.bin" --paint "$dir/paint.bmp"
    "$program" encode "HELLO GIF" -o "$dir/reference.gif"
    ;;
registry)
    program=$1 ocx=$2 dir=$3 arch=$4
    mkdir -p "$dir"
    rm -f "$dir/registry"
    GLYPHWELL_REGISTRY="$dir/registry" "$program" register >/dev/null
    module=$(GLYPHWELL_REGISTRY="$dir/registry" "$program" registry |
             sed -n 's/^@=sz:"\(.*\)"$/\1/p' | grep -v '^[{ ]' | grep '/' | head -1)
    GLYPHWELL_REGISTRY="$dir/registry" "$program" registry | linux_values "$module" "$arch" | owned > "$dir/linux.txt"
    winocx=$(winepath -w "$ocx" | tr -d '\r')
    wine regsvr32 /s "$winocx"
    for root in "${roots[@]}"; do wine reg query "HKCR\\$root" /s; done | wine_values "$winocx" > "$dir/wine.txt"
    diff -u "$dir/linux.txt" "$dir/wine.txt"
    echo "registration: $(wc -l < "$dir/wine.txt") values, the same on both"
    wine regsvr32 /u /s "$winocx"
    left=0
    for root in "${roots[@]}"; do
        if wine reg query "HKCR\\$root" >/dev/null 2>&1; then echo "left after unregistration: $root"; left=1; fi
    done
    exit $left
    ;;
side-by-side)
    ocx64=$1 ocx32=$2 dir=$3
    rm -rf "$dir" && mkdir -p "$dir"
    win64=$(winepath -w "$ocx64" | tr -d '\r') win32=$(winepath -w "$ocx32" | tr -d '\r')
    clsid='CLSID\{E9E41C25-D5A5-46E3-8980-5211F273A6C8}\InprocServer32'
    regsvr64() { wine regsvr32 /s "$@"; }
    regsvr32() { wine 'C:\windows\syswow64\regsvr32.exe' /s "$@"; }
    # A script host of each architecture creates the control by its ProgID and sets its text.
    cat > "$dir/create.vbs" <<'VBS'
On Error Resume Next
Dim c
Set c = CreateObject("GLYPHWELL.GlyphwellCtrl.1")
If Err.Number = 0 Then c.TextData = "SIDE BY SIDE"
If Err.Number = 0 Then
    If c.TextData <> "SIDE BY SIDE" Then Err.Raise 5
End If
WScript.Quit Err.Number
VBS
    vbs=$(winepath -w "$dir/create.vbs" | tr -d '\r')
    creates() {  # creates 64|32 yes|no
        local host=cscript status=0
        [ "$1" = 32 ] && host='C:\windows\syswow64\cscript.exe'
        wine "$host" //nologo "$vbs" >/dev/null 2>&1 || status=$?
        if [ "$2" = yes ] && [ $status != 0 ]; then echo "a $1-bit host could not create the control ($status)"; failures=$((failures + 1)); fi
        if [ "$2" = no ] && [ $status = 0 ]; then echo "a $1-bit host still created the control"; failures=$((failures + 1)); fi
    }
    server() {  # the module registered in the registry view of the given width
        wine reg query "HKCR\\$clsid" /ve "/reg:$1" 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_SZ *//p'
    }
    failures=0
    regsvr64 "$win64" && regsvr32 "$win32"
    [ "$(server 64)" = "$win64" ] || { echo "64-bit view names '$(server 64)'"; failures=$((failures + 1)); }
    [ "$(server 32)" = "$win32" ] || { echo "32-bit view names '$(server 32)'"; failures=$((failures + 1)); }
    for arch in win32 win64; do
        wine reg query 'HKCR\TypeLib\{3AABFB70-DFD3-4A18-8E97-B923C477AA05}\1.0\409\'$arch /ve >/dev/null 2>&1 ||
            { echo "no type library under $arch"; failures=$((failures + 1)); }
    done
    creates 64 yes; creates 32 yes
    regsvr32 /u "$win32"
    creates 64 yes; creates 32 no
    regsvr32 "$win32" && regsvr64 /u "$win64"
    creates 32 yes; creates 64 no
    regsvr32 /u "$win32"
    creates 32 no
    [ $failures = 0 ] && echo "side by side: both modules registered, each host created the control, each removed alone"
    exit $((failures > 0))
    ;;
script)
    ocx=$1 vbs=$2
    winocx=$(winepath -w "$ocx" | tr -d '\r')
    wine regsvr32 /s "$winocx"
    status=0
    wine cscript //nologo "$(winepath -w "$vbs")" || status=$?
    wine regsvr32 /u /s "$winocx"
    exit $status
    ;;
decode)
    dir=$1
    text=$(zbarimg --raw -q "$dir/windows-paint.bmp")
    [ "$text" = "HELLO WINDOWS" ] || { echo "zbar read: '$text'"; exit 1; }
    text=$(zbarimg --raw -q "$dir/client.png")
    [ "$text" = "HELLO GIF" ] || { echo "zbar read from the image client's PNG: '$text'"; exit 1; }
    # Text in any language, set through automation on Windows, painted on the system's face colour.
    expected=('Z\xc3\xbcrich' '\xe6\x9d\xb1\xe4\xba\xac' '\xe2\x82\xac 5' '\xf0\x9f\x98\x80'
              'Gr\xc3\xbc\xc3\x9f \xe6\x9d\xb1\xe4\xba\xac \xe2\x82\xac \xf0\x9f\x98\x80')
    for n in "${!expected[@]}"; do
        text=$(zbarimg --raw -q "$dir/windows-text-$n.bmp")
        [ "$text" = "$(printf "${expected[$n]}")" ] || { echo "zbar read windows-text-$n.bmp as '$text'"; exit 1; }
    done
    ;;
documents)
    dir=$1
    [ -s "$dir/expected" ] || { echo "no pictures listed in $dir/expected"; exit 1; }
    read_ok=0
    while IFS=$'\t' read -r file count text; do
        found=$(zbarimg --raw -q "$dir/$file" 2>/dev/null | grep -cxF "$text" || true)
        [ "$found" = "$count" ] || { echo "zbar read '$text' $found times in $file, not $count"; exit 1; }
        read_ok=$((read_ok + 1))
    done < <(tr -d '\r' < "$dir/expected")  # written with Windows line ends
    echo "documents: $read_ok pictures read"
    ;;
cli)
    program=$1 exe=$2 dir=$3
    rm -rf "$dir" && mkdir -p "$dir/linux" "$dir/windows"
    printf 'Gr\xc3\xbc\xc3\x9fe aus K\xc3\xb6ln, 2026 \xe2\x82\xac' > "$dir/utf8.txt"
    printf '0123456789%.0s' $(seq 1 30) > "$dir/digits.txt"
    # Each line: a name, then the encode arguments (the text read from a file when it is not ASCII,
    # since a Windows program receives its arguments in the ANSI code page).
    cases=(
        "hello|HELLO WORLD"
        "world|Hello, world|--level L|--pixel-size 4"
        "utf8|-i|utf8.txt|--margin 2"
        "digits|-i|digits.txt|--mode numeric|--level H"
        "colours|GLYPHWELL|--foreground 800000|--background FFFFE0"
        "fixed|ABC|--symbol-version 5|--fixed-version"
    )
    compared=0
    for entry in "${cases[@]}"; do
        IFS='|' read -r -a fields <<< "$entry"
        name=${fields[0]}
        for format in png gif bmp; do
            args=()
            for f in "${fields[@]:1}"; do
                if [ "$f" = -i ]; then args+=(-i); continue; fi
                # An option and its value split at the space; the text stays whole.
                case "$f" in --*) read -r -a words <<< "$f"; args+=("${words[@]}") ;; *) args+=("$f") ;; esac
            done
            (cd "$dir" && "$program" encode "${args[@]}" -o "linux/$name.$format")
            (cd "$dir" && wine "$exe" encode "${args[@]}" -o "windows/$name.$format")
            cmp "$dir/linux/$name.$format" "$dir/windows/$name.$format"
            compared=$((compared + 1))
        done
    done
    # convert: every format into every other, from the Linux program's pictures.
    for from in png gif bmp; do
        for to in png gif bmp; do
            [ $from = $to ] && continue
            (cd "$dir" && "$program" convert "linux/world.$from" "linux/world-$from.$to")
            (cd "$dir" && wine "$exe" convert "linux/world.$from" "windows/world-$from.$to")
            cmp "$dir/linux/world-$from.$to" "$dir/windows/world-$from.$to"
            compared=$((compared + 1))
        done
    done
    (cd "$dir" && "$program" convert linux/colours.png linux/colours-interlaced.png --interlace)
    (cd "$dir" && wine "$exe" convert linux/colours.png windows/colours-interlaced.png --interlace)
    cmp "$dir/linux/colours-interlaced.png" "$dir/windows/colours-interlaced.png"
    echo "command line: $((compared + 1)) files, byte-identical"
    ;;
*)
    echo "unknown mode $mode" >&2
    exit 2
    ;;
esac
