#!/usr/bin/env bash
# Runs a test program under Wine with its standard error (and that of every program it starts,
# Wine's debug channels included) going to a file the test can read: VELMORA_TEST_STDERR names
# it in Windows form. The file is shown afterwards and removed.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
err=$(mktemp)
export VELMORA_TEST_STDERR="Z:${err//\//\\}"
"$here/wine-run.sh" "$@" 2>"$err"
rc=$?
cat "$err" >&2
rm -f "$err"
exit $rc
