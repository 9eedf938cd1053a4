#!/usr/bin/env bash
# Installation benchmark: lays out a distribution with a 512 MiB patient database, installs it
# through the real wizard (driven by bench_install, driver box cleared so that no question waits
# inside the measured time) and times the click on "Начать установку" up to the closing
# question; then times `cp -r` of the same folders (DTAfb, Firebird, UDF, backup, Updater,
# fonts) to a fresh folder on the same file system, and prints both times and their ratio.
# Builds the preset this machine runs (i686, or x86_64 where it runs 64-bit code only) into
# build/bench-install-PRESET; works in build/bench-install with the
# Wine prefix build/wine-bench-install/prefix.
# It also prints when each step's result appeared on disk, to show where the time goes.
# Usage: tools/bench-install.sh
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
[ "${1:-}" = --on-virtual-display ] || "$root/tools/setup.sh"
. "$root/tools/wine-env.sh"
preset=$(velmora_runnable_preset)
bdir="${VELMORA_BENCH_BUILD:-$root/build/bench-install-$preset}"
work="$root/build/bench-install"
database_mb=512

if [ "${1:-}" != --on-virtual-display ]; then
    [ "$preset" = i686 ] || echo "bench-install: using the x86_64 build: $VELMORA_WINE32_WHY"
    if [ ! -f "$bdir/CMakeCache.txt" ]; then
        cmake --preset "$preset" -B "$bdir" >/dev/null
    fi
    cmake --build "$bdir" -j2 --target bench_install MakeDistribution Install >/dev/null
    export WINEPREFIX="$root/build/wine-bench-install/prefix"
    export VELMORA_BENCH_BUILD="$bdir"
    exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" --on-virtual-display "$@"
fi

winpath() { local p=${1//\//\\}; echo "Z:$p"; }
now() { date +%s.%N; }

make_prefix "$WINEPREFIX"
# At 120 pixels per inch the run ends with the closing question rather than the large-font page.
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 120 /f >/dev/null 2>&1
wineserver -w

dist="$work/distribution"
rm -rf "$work"
mkdir -p "$work"
echo "bench-install: laying out the distribution with a ${database_mb} MiB database in $dist"
wine "$bdir/tests/programs/MakeDistribution.exe" "$(winpath "$dist")" --database-mb $database_mb
# Neither measurement should pay for the other's (or the generator's) writes still in flight.
sync

echo "bench-install: installing through the wizard into $work/installed"
out=$(wine "$bdir/bench/install/bench_install.exe" "$(winpath "$dist")" \
    "$(winpath "$work/installed")\\")
echo "$out" | tr -d '\r'
install_s=$(echo "$out" | sed -n 's/^install_seconds=//p' | tr -d '\r')
if [ -z "$install_s" ]; then
    wineserver -k 2>/dev/null || true
    echo "bench-install: the installation run failed" >&2
    exit 1
fi
sync

copy="$work/cp-copy"
rm -rf "$copy"
mkdir -p "$copy"
t0=$(now)
cp -r "$dist/DTAfb" "$dist/Firebird" "$dist/UDF" "$dist/backup" "$dist/Updater" "$dist/fonts" \
    "$copy/"
t1=$(now)
sync
t2=$(now)

wineserver -k 2>/dev/null || true

installed_bytes=$(du -sb "$work/installed" | cut -f1)
copied_bytes=$(du -sb "$copy" | cut -f1)
awk -v i="$install_s" -v c0="$t0" -v c1="$t1" -v c2="$t2" -v ib="$installed_bytes" \
    -v cb="$copied_bytes" 'BEGIN {
    cp = c1 - c0; cps = c2 - c0
    printf "bench-install: installed %.1f MiB, cp -r copied %.1f MiB\n", ib / 1048576, cb / 1048576
    printf "bench-install: wizard, \"Начать установку\" to the closing question: %8.3f s\n", i
    printf "bench-install: cp -r of the same folders:                           %8.3f s\n", cp
    printf "bench-install: cp -r followed by sync (for reference):             %8.3f s\n", cps
    printf "bench-install: ratio wizard / cp -r: %.2f (aim: at most 1.20)\n", i / cp
    printf "bench-install: ratio wizard / (cp -r + sync): %.2f\n", i / cps
}'
