#!/usr/bin/env bash
# For a developer working beside others: builds the preset this machine can run under Wine (the
# shipped i686 one, or x86_64 where the machine runs 64-bit code only) into build/NAME-PRESET
# and runs its tests in a Wine prefix of its own. Usage: tools/dev-test.sh NAME [ctest arguments]
#   e.g. tools/dev-test.sh engine -R engine_tests
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$root/tools/wine-env.sh"
name=$1; shift
preset=$(velmora_runnable_preset)
bdir="$root/build/$name-$preset"
cmake --preset "$preset" -B "$bdir" >/dev/null
cmake --build "$bdir" -j2
export WINEPREFIX="$root/build/wine-$name/prefix"
exec xvfb-run -a -s "-screen 0 1280x1024x24" "$root/tools/run-tests.sh" "$bdir" -- "$@"
