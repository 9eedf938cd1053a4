#!/usr/bin/env bash
# Builds both presets and runs every test under Wine on a virtual display.
# Exit status: non-zero when any build step or test fails.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

tools/setup.sh
for preset in i686 x86_64; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j"$(nproc)"
done

exec xvfb-run -a -s "-screen 0 1280x1024x24" "$root/tools/run-tests.sh"
