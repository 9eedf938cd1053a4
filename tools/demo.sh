#!/usr/bin/env bash
# The demo: builds the shipped (i686) installer (on a machine that runs 64-bit code only, the
# x86_64 one, and says so), lays out a demo distribution folder in demo/
# with the same generator the tests use, copies Install.exe into it and starts it under Wine.
# With $DISPLAY set the wizard opens on that display for a person to walk through. Without one
# it runs on a virtual display (Xvfb) and walks through the whole wizard by itself, installing
# for real into C:\Velmora of the demo prefix (demo/prefix/drive_c/Velmora): a picture of every
# page, of the options warning and of both questions lands in demo/screenshots/, and the
# installed tree is printed at the end.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
# Wine must be there before wine-env.sh can tell which builds this machine runs.
[ "${1:-}" = --on-virtual-display ] || tools/setup.sh
. tools/wine-env.sh

preset=$(velmora_runnable_preset)
# A build folder of its own, so that the demo never disturbs a developer's test build.
bdir="${VELMORA_DEMO_BUILD:-$root/build/demo-$preset}"
programs="$bdir/tests/programs"

if [ "${1:-}" != --on-virtual-display ]; then
    if [ "$preset" != i686 ]; then
        echo "demo: using the x86_64 build, not the shipped i686 one: $VELMORA_WINE32_WHY"
    fi
    if [ ! -f "$bdir/CMakeCache.txt" ]; then
        cmake --preset "$preset" -B "$bdir" >/dev/null
    fi
    cmake --build "$bdir" -j"$(nproc)" --target Install MakeDistribution DemoWalk >/dev/null
fi

demo="$root/demo"
dist="$demo/distribution"
shots="$demo/screenshots"
export WINEPREFIX="$demo/prefix"
target_win='C:\Velmora\'
target="$WINEPREFIX/drive_c/Velmora"
rm -rf "$dist"
mkdir -p "$demo"

winpath() { local p=${1//\//\\}; echo "Z:$p"; }

prepare() {
    make_prefix "$WINEPREFIX"
    # At 120 pixels per inch the wizard ends with the closing question; at 96
    # (VELMORA_DEMO_DPI=96) it ends on the page that offers large fonts. The value counts for
    # processes started after it.
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD \
        /d "${VELMORA_DEMO_DPI:-120}" /f >/dev/null 2>&1
    wineserver -w
    # A database large enough that the progress page stays up for a moment while it is copied.
    wine "$programs/MakeDistribution.exe" "$(winpath "$dist")" --database-mb 64
    cp "$bdir/Install.exe" "$dist/"
    echo "demo: distribution laid out in $dist"
}

run_for_a_person() {
    prepare
    echo "demo: starting the installer on $DISPLAY"
    (cd "$dist" && wine Install.exe)
    echo "demo: the log is in $dist, the installation where you chose it in the prefix $WINEPREFIX"
}

walk_by_itself() {
    prepare
    rm -rf "$target" "$shots"
    mkdir -p "$shots"
    echo "demo: walking through the wizard, installing into $target_win ($target)"
    local status=0
    wine "$programs/DemoWalk.exe" "$(winpath "$dist")" "$target_win" "$(winpath "$shots")" ||
        status=$?
    wineserver -k 2>/dev/null || true
    local bmp
    for bmp in "$shots"/*.bmp; do
        [ -e "$bmp" ] || continue
        convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp"
    done
    echo
    echo "demo: screenshots in $shots:"
    (cd "$shots" && ls -1 ./*.png 2>/dev/null | sed 's|^\./|  |')
    if [ -f "$shots/progress.txt" ]; then
        echo "demo: progress list ($shots/progress.txt):"
        sed 's/^/  /' "$shots/progress.txt"
    fi
    echo "demo: installed tree ($target):"
    if [ -d "$target" ]; then
        (cd "$target" && find . -printf '  %p  %s\n' | sort)
    else
        echo "  (nothing installed)"
    fi
    local link
    for link in "$WINEPREFIX"/drive_c/users/*/Desktop/Velmora.lnk; do
        [ -e "$link" ] && echo "demo: desktop shortcut $link"
    done
    echo "demo: installer log $dist/TestHolter.log"
    if [ $status -ne 0 ]; then echo "demo: the walk FAILED (exit code $status)"; fi
    return $status
}

if [ "${1:-}" = --on-virtual-display ]; then
    walk_by_itself
elif [ -n "${DISPLAY:-}" ]; then
    run_for_a_person
else
    echo "demo: no \$DISPLAY; walking through the wizard on a virtual display (Xvfb)"
    VELMORA_DEMO_BUILD="$bdir" exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" --on-virtual-display
fi
