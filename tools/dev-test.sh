#!/usr/bin/env bash
# For a developer working beside others: builds the i686 preset into build/NAME-i686 and runs
# its tests in a Wine prefix of its own. Usage: tools/dev-test.sh NAME [ctest arguments]
#   e.g. tools/dev-test.sh engine -R engine_tests
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
name=$1; shift
bdir="$root/build/$name-i686"
cmake --preset i686 -B "$bdir" >/dev/null
cmake --build "$bdir" -j2
export WINEPREFIX="$root/build/wine-$name/prefix"
exec xvfb-run -a -s "-screen 0 1280x1024x24" "$root/tools/run-tests.sh" "$bdir" -- "$@"
