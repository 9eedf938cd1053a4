#!/usr/bin/env bash
# Installation and start-up benchmark. Lays out a distribution with a 512 MiB patient database
# and measures, in interleaved rounds (the order rotates from round to round):
#   - the wizard (driven by bench_install, driver box cleared so that no question waits inside
#     the measured time), from the click on "Начать установку" to the closing question, with
#     the time of each step;
#   - an NSIS installer doing the same work (bench/install/BenchInstall.nsi, built with Debian's
#     makensis; the 64-bit stub for the x86_64 build), from its start to its end, and an empty
#     one, whose run is what starting and ending an NSIS installer costs;
#   - the seven fonts installed as the wizard installs them, and the hand-over to the updater
#     done as the wizard does it, each part timed apart;
#   - cp -r of the same folders to a fresh folder on the same file system, and cp -r + sync;
#   - start-up: Install.exe and a minimal window program of the same size, each from its start
#     to its visible, painted window (shown, and answering a message sent to it), and to its
#     first wait for input with nothing left to do.
# Then it prints medians (with the range) and ratios. The database is not flushed between the
# runs of one round; every run starts after a sync, so none pays for another's writes.
# Builds the preset this machine runs (i686, or x86_64 where it runs 64-bit code only; the
# x86_64 one anywhere with VELMORA_WINE_64_ONLY=1) into build/bench-install-PRESET; works in
# build/bench-install/PRESET with the Wine prefix build/wine-bench-install/prefix.
# Installs Debian's nsis package when makensis is missing.
# Usage: tools/bench-install.sh [--rounds N]   (at least 5)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
on_display=0
rounds=5
while [ $# -gt 0 ]; do
    case "$1" in
    --on-virtual-display) on_display=1 ;;
    --rounds) rounds=$2; shift ;;
    *) echo "usage: tools/bench-install.sh [--rounds N]" >&2; exit 2 ;;
    esac
    shift
done
if [ "$rounds" -lt 5 ]; then echo "bench-install: at least 5 rounds" >&2; exit 2; fi

if [ "$on_display" = 0 ]; then
    "$root/tools/setup.sh"
    if ! command -v makensis >/dev/null; then
        if [ "$(id -u)" -ne 0 ]; then
            echo "bench-install: makensis is missing; install Debian's nsis package" >&2
            exit 1
        fi
        echo "bench-install: installing Debian's nsis package"
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq nsis >/dev/null
    fi
fi
. "$root/tools/wine-env.sh"
preset=$(velmora_runnable_preset)
bdir="${VELMORA_BENCH_BUILD:-$root/build/bench-install-$preset}"
work="$root/build/bench-install/$preset"
database_mb=512

if [ "$on_display" = 0 ]; then
    [ "$preset" = i686 ] || echo "bench-install: using the x86_64 build: $VELMORA_WINE32_WHY"
    if [ ! -f "$bdir/CMakeCache.txt" ]; then
        cmake --preset "$preset" -B "$bdir" >/dev/null
    fi
    cmake --build "$bdir" -j2 --target bench_install bench_minimal_window MakeDistribution \
        Install >/dev/null
    export WINEPREFIX="$root/build/wine-bench-install/prefix"
    export VELMORA_BENCH_BUILD="$bdir"
    exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" --on-virtual-display --rounds "$rounds"
fi

winpath() { local p=${1//\//\\}; echo "Z:$p"; }
now() { date +%s.%N; }
bench() { wine "$bdir/bench/install/bench_install.exe" "$@" | tr -d '\r'; }

make_prefix "$WINEPREFIX"
# At 120 pixels per inch the run ends with the closing question rather than the large-font page.
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 120 /f >/dev/null 2>&1
wineserver -w
# One Wine session for all runs: every program starts in a warm session, as on a desktop.
wineserver -p
trap 'wineserver -k 2>/dev/null || true' EXIT
wine cmd /c exit >/dev/null 2>&1 || true

dist="$work/distribution"
rm -rf "$work"
mkdir -p "$work"
echo "bench-install: laying out the distribution with a ${database_mb} MiB database in $dist"
wine "$bdir/tests/programs/MakeDistribution.exe" "$(winpath "$dist")" --database-mb $database_mb
cp "$bdir/Install.exe" "$dist/Install.exe"

defines=()
while IFS= read -r line; do defines+=("-D$line"); done < <(bench nsis-defines)
[ "$preset" = i686 ] || defines+=(-DAMD64)
makensis -V1 "${defines[@]}" "-DOUTFILE=$dist/NsisSetup.exe" "$root/bench/install/BenchInstall.nsi"
makensis -V1 "${defines[@]}" -DEMPTY "-DOUTFILE=$dist/NsisEmpty.exe" \
    "$root/bench/install/BenchInstall.nsi"
# Neither measurement should pay for the other's (or the generator's) writes still in flight.
sync

results="$work/results"
: >"$results"
record() { echo "$1|$2" >>"$results"; }
folders=(DTAfb Firebird UDF backup Updater fonts)

run_wizard() {
    local out
    out=$(bench wizard "$(winpath "$dist")" "$(winpath "$work/wizard")") || {
        echo "$out"; echo "bench-install: the wizard run failed" >&2; return 1; }
    while IFS='=' read -r name value; do
        case "$name" in
        "step "*) record "step:${name#step }" "$value" ;;
        wizard) record wizard "$value" ;;
        esac
    done <<<"$out"
    installed_mb=$(du -sm "$work/wizard" | cut -f1)
    rm -rf "$work/wizard"
}
run_nsis() { # KIND INSTALLER
    local out
    out=$(bench nsis "$(winpath "$dist/$2")" "$(winpath "$work/$1")")
    [ "$1" != nsis ] || [ -n "${nsis_checked:-}" ] || {
        bench nsis-check "$(winpath "$work/$1")"; nsis_checked=1; }
    record "$1" "$(echo "$out" | sed -n 's/^nsis=//p')"
    rm -rf "$work/$1"
}
run_cp() { # KIND: cp or cp+sync
    local copy="$work/cp-copy" t0 t1
    rm -rf "$copy"; mkdir -p "$copy"
    t0=$(now)
    (cd "$dist" && cp -r "${folders[@]}" "$copy/")
    [ "$1" = cp ] || sync
    t1=$(now)
    record "$1" "$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.4f", b - a }')"
    rm -rf "$copy"
}
run_fonts() {
    local name value
    while IFS='=' read -r name value; do
        record "font:${name#font }" "$value"
    done < <(bench fonts "$(winpath "$dist")")
}
run_hand_over() {
    local name value
    while IFS='=' read -r name value; do
        record "hand-over:${name#hand-over }" "$value"
    done < <(bench hand-over "$(winpath "$dist")" "$(winpath "$work/hand-over")")
}
run_startup() { # KIND PROGRAM [FOLDER]
    local name value
    while IFS='=' read -r name value; do
        record "$1:$name" "$value"
    done < <(bench startup "$(winpath "$2")" ${3:+"$(winpath "$3")"})
}
run() {
    case "$1" in
    wizard) run_wizard ;;
    nsis) run_nsis nsis NsisSetup.exe ;;
    nsis-empty) run_nsis nsis-empty NsisEmpty.exe ;;
    cp | cp+sync) run_cp "$1" ;;
    fonts) run_fonts ;;
    hand-over) run_hand_over ;;
    startup) run_startup startup "$dist/Install.exe" "$dist" ;;
    startup-minimal) run_startup startup-minimal "$bdir/bench/install/bench_minimal_window.exe" ;;
    esac
    sync
}

kinds=(wizard nsis nsis-empty cp cp+sync fonts hand-over startup startup-minimal)
for ((r = 0; r < rounds; r++)); do
    order=()
    for ((k = 0; k < ${#kinds[@]}; k++)); do order+=("${kinds[(k + r) % ${#kinds[@]}]}"); done
    echo "bench-install: round $((r + 1)) of $rounds: ${order[*]}"
    for kind in "${order[@]}"; do run "$kind"; done
done

echo "bench-install: build $preset, $rounds interleaved rounds, ${installed_mb} MiB installed;" \
    "medians (min to max)"
awk -F'|' '
{ v[$1, ++n[$1]] = $2; if (!($1 in seen)) { seen[$1] = 1; order[++names] = $1 } }
function median(k,    i, j, t, c, a) {
    c = n[k]
    for (i = 1; i <= c; i++) a[i] = v[k, i]
    for (i = 1; i <= c; i++) for (j = i + 1; j <= c; j++) if (a[j] < a[i]) { t = a[i]; a[i] = a[j]; a[j] = t }
    lo[k] = a[1]; hi[k] = a[c]
    return c % 2 ? a[(c + 1) / 2] : (a[c / 2] + a[c / 2 + 1]) / 2
}
function line(label, k) {
    m[k] = median(k)
    printf "  %-58s %7.0f ms  (%.0f to %.0f)\n", label, m[k] * 1000, lo[k] * 1000, hi[k] * 1000
}
END {
    line("Install.exe, \"Начать установку\" to the closing question", "wizard")
    for (i = 1; i <= names; i++)
        if (order[i] ~ /^step:/) line("  step: " substr(order[i], 6), order[i])
    printf "  the seven fonts installed as the wizard does, part by part:\n"
    for (i = 1; i <= names; i++)
        if (order[i] ~ /^font:/) line("    " substr(order[i], 6), order[i])
    printf "  the hand-over done as the wizard does it, part by part:\n"
    for (i = 1; i <= names; i++)
        if (order[i] ~ /^hand-over:/) line("    " substr(order[i], 11), order[i])
    line("NSIS installer doing the same work, start to end", "nsis")
    line("NSIS installer doing nothing, start to end", "nsis-empty")
    line("cp -r of the same folders", "cp")
    line("cp -r, then sync", "cp+sync")
    line("start-up of Install.exe to its visible, painted window", "startup:painted")
    line("start-up of a minimal window program, the same way", "startup-minimal:painted")
    line("start-up of Install.exe until it first waits for input", "startup:idle")
    line("start-up of the minimal window program, the same way", "startup-minimal:idle")
    printf "ratios of the medians:\n"
    printf "  Install.exe / NSIS installer:                   %.2f (aim: at most 1.00)\n", m["wizard"] / m["nsis"]
    printf "  Install.exe / NSIS installer less its start:    %.2f\n", m["wizard"] / (m["nsis"] - m["nsis-empty"])
    printf "  Install.exe / cp -r:                            %.2f\n", m["wizard"] / m["cp"]
    printf "  Install.exe / (cp -r + sync):                   %.2f\n", m["wizard"] / m["cp+sync"]
    printf "  start-up, Install.exe / minimal window program: %.2f (aim: at most 1.50)\n", m["startup:painted"] / m["startup-minimal:painted"]
    printf "    until each first waits for input:             %.2f\n", m["startup:idle"] / m["startup-minimal:idle"]
}' "$results"
