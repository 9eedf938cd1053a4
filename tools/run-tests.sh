#!/usr/bin/env bash
# Inner half of test.sh: runs on the virtual display, prepares the Wine prefix and runs ctest
# in each build folder given (default: both presets). Extra ctest arguments follow "--".
# On a machine that cannot run 32-bit programs (see wine-env.sh) an i686 build folder runs only
# its tests that need no Wine, and one line says what was not run and why.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$root/tools/wine-env.sh"

dirs=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do dirs+=("$1"); shift; done
[ $# -gt 0 ] && shift
[ ${#dirs[@]} -eq 0 ] && dirs=("$root/build/i686" "$root/build/x86_64")

export WINEPREFIX="${WINEPREFIX:-$root/build/wine/prefix}"
echo "tests: preparing the Wine prefix $WINEPREFIX"
make_prefix "$WINEPREFIX"
small=$(make_small_disk "$WINEPREFIX" "$WINEPREFIX.smalldisk")
if [ -n "$small" ]; then export VELMORA_TEST_SMALL_DISK="$small"; else
    echo "tests: no tmpfs could be mounted; the full-disk cases will be skipped"; fi

# Whether a build folder holds the 32-bit build (its compiler names the target).
is_i686_build() {
    grep -q '^CMAKE_LINKER:FILEPATH=.*i686-w64-mingw32' "$1/CMakeCache.txt" 2>/dev/null
}

status=0
not_run=()
for d in "${dirs[@]}"; do
    echo "tests: $d"
    if [ "$VELMORA_WINE32" = 0 ] && is_i686_build "$d"; then
        skipped=$(ctest --test-dir "$d" -N -LE nowine "$@" | sed -n 's/^ *Test *#[0-9]*: //p' |
            tr '\n' ' ')
        ctest --test-dir "$d" --output-on-failure -L nowine "$@" || status=1
        not_run+=("i686 tests not run (${skipped% }): $VELMORA_WINE32_WHY")
    else
        ctest --test-dir "$d" --output-on-failure "$@" || status=1
    fi
done
wineserver -k 2>/dev/null || true
for line in "${not_run[@]}"; do echo "tests: $line"; done
if [ $status -ne 0 ]; then echo "tests: FAILED"; else echo "tests: all passed"; fi
exit $status
