#!/usr/bin/env bash
# The restart question answered Yes. ExitWindowsEx ends every process of the Wine session, so
# this runs in a prefix of its own (made once, then reused). Wine's relay trace of
# user32.ExitWindowsEx shows the flags requested; the probe reports the question and the close.
# Usage: restart-test.sh SystemProbe.exe FALLBACK_PREFIX
# The prefix is the test run's own (WINEPREFIX) + ".restart", so that both presets share it;
# FALLBACK_PREFIX serves a run without WINEPREFIX.
set -uo pipefail
probe=$1
prefix=${WINEPREFIX:+$WINEPREFIX.restart}
prefix=${prefix:-$2}
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
. "$root/tools/wine-env.sh"

make_prefix "$prefix" || { echo "cannot make the prefix $prefix"; exit 1; }
export WINEPREFIX=$prefix
wine reg add 'HKCU\Software\Wine\Debug' /v RelayInclude /d user32.ExitWindowsEx /f >/dev/null 2>&1

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
WINEDEBUG=+relay timeout 120 wine "$probe" restart >"$work/out" 2>"$work/err"
status=$?
wineserver -w

failed=0
expect() { # expect FILE TEXT WHAT
    if ! grep -aqF -- "$2" "$1"; then echo "FAILED: $3 (no \"$2\")"; failed=1; fi
}
tr -d '\r' <"$work/out" >"$work/out.lf"
[ $status -eq 0 ] || { echo "FAILED: the probe ended with $status"; failed=1; }
expect "$work/out.lf" 'question Изменения в настройки внесены, для того чтобы они' 'question asked'
expect "$work/out.lf" 'вступили в силу, требуется перзагрузить операционную систему.' 'question line 2'
expect "$work/out.lf" 'Выполнить перезагрузку сейчас?' 'question line 3'
expect "$work/err" 'Call user32.ExitWindowsEx(00000006,00000000)' 'forced reboot requested'
expect "$work/out.lf" 'must close 1' 'the chain tells the window to close'
expect "$work/out.lf" 'window closed' 'the window closed'
if [ $failed -ne 0 ]; then
    echo "--- probe output"; cat "$work/out"
    echo "--- relay"; grep -a 'ExitWindowsEx' "$work/err"
    exit 1
fi
echo "restart: question asked, ExitWindowsEx(6) requested, window closed"
