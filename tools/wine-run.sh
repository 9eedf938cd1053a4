#!/usr/bin/env bash
# Runs a Windows program under Wine in the test prefix (WINEPREFIX from the caller).
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/wine-env.sh"
if [ -z "${WINEPREFIX:-}" ]; then
    echo "wine-run: WINEPREFIX is not set; run the tests through tools/test.sh" >&2
    exit 2
fi
exec wine "$@"
