#!/usr/bin/env bash
# The demo: builds the shipped (i686) installer, lays out a demo distribution folder in demo/
# with the same generator the tests use, copies Install.exe into it and starts it under Wine.
# With $DISPLAY set the wizard opens on that display for a person to walk through; without one
# it runs on a virtual display (Xvfb) and a screenshot of the screen is saved instead.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
. tools/wine-env.sh

if [ "${1:-}" != --on-virtual-display ]; then
    tools/setup.sh
    cmake --preset i686 >/dev/null
    cmake --build --preset i686 -j"$(nproc)" --target Install MakeDistribution
fi

demo="$root/demo"
dist="$demo/distribution"
export WINEPREFIX="$demo/prefix"
rm -rf "$dist"
mkdir -p "$demo"

run_demo() {
    make_prefix "$WINEPREFIX"
    wine "$root/build/i686/tests/programs/MakeDistribution.exe" "Z:${dist//\//\\}"
    cp "$root/build/i686/Install.exe" "$dist/"
    echo "demo: distribution laid out in $dist"
    if [ "${1:-}" = display ]; then
        echo "demo: starting the installer on $DISPLAY"
        (cd "$dist" && wine Install.exe)
    else
        (cd "$dist" && wine Install.exe) &
        sleep 8
        import -window root "$demo/screenshot.png" 2>/dev/null || true
        echo "demo: screenshot of the wizard saved as $demo/screenshot.png"
        wineserver -k || true
    fi
    echo "demo: target folders and the log are in $dist and the prefix $WINEPREFIX"
}

if [ "${1:-}" = --on-virtual-display ]; then
    run_demo virtual
elif [ -n "${DISPLAY:-}" ]; then
    run_demo display
else
    echo "demo: no \$DISPLAY; running on a virtual display (Xvfb)"
    exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" --on-virtual-display
fi
