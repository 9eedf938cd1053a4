# Sourced by the scripts that run Windows programs under Wine (after tools/setup.sh).

# Whether this machine runs 32-bit programs, decided once here and passed on to every script
# and test started from the one that decided. Some machines run 64-bit code only ("IA-32
# emulation off"): there Wine's 32-bit loader fails with "Exec format error", so Wine runs with
# its 64-bit loader in a 64-bit prefix and only the x86_64 build can be run. Running the 32-bit
# loader is the only reliable test. VELMORA_WINE_64_ONLY=1 asks for the 64-bit-only way on any
# machine, so that it can be tried anywhere.
#   VELMORA_WINE32      1 where the i686 build can run under Wine, 0 where it cannot
#   VELMORA_WINE32_WHY  why not, for the scripts' messages
if [ -z "${VELMORA_WINE32:-}" ]; then
    if [ "${VELMORA_WINE_64_ONLY:-0}" != 0 ]; then
        VELMORA_WINE32=0
        VELMORA_WINE32_WHY="VELMORA_WINE_64_ONLY is set (as on a machine that cannot execute 32-bit programs)"
    elif /usr/lib/wine/wine --version >/dev/null 2>&1; then
        VELMORA_WINE32=1
        VELMORA_WINE32_WHY=
    else
        VELMORA_WINE32=0
        VELMORA_WINE32_WHY="this machine cannot execute 32-bit programs (IA-32 emulation off)"
    fi
    export VELMORA_WINE32 VELMORA_WINE32_WHY
fi
if [ "$VELMORA_WINE32" = 0 ]; then
    velmora_wine64_shims="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/wine64-only"
    case ":$PATH:" in
    *":$velmora_wine64_shims:"*) ;;
    *) export PATH="$velmora_wine64_shims:$PATH" ;;
    esac
    export WINELOADER=/usr/lib/wine/wine64 WINEARCH=win64
fi

# The build preset whose programs this machine runs under Wine: the shipped i686 one where it
# can, x86_64 where it runs 64-bit code only.
velmora_runnable_preset() {
    if [ "$VELMORA_WINE32" = 1 ]; then echo i686; else echo x86_64; fi
}

# Keeps Wine from offering Mono and Gecko downloads and from writing desktop menu entries.
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=;mshtml="
export WINEDEBUG="${WINEDEBUG:--all}"

# make_prefix DIR: a fresh Wine prefix fit for unattended runs. Reuses DIR when it was
# finished before (the marker file is written last).
make_prefix() {
    local prefix=$1
    # Only a 64-bit prefix serves the 64-bit loader, and only one made where 32-bit programs
    # ran has the 32-bit system files the 32-bit loader needs; any other is made anew.
    local wow="$prefix/drive_c/windows/syswow64"
    if [ -f "$prefix/.ready" ] && [ -d "$wow" ] &&
        { [ "$VELMORA_WINE32" = 0 ] || [ -f "$wow/kernel32.dll" ]; }; then
        return 0
    fi
    rm -rf "$prefix"
    mkdir -p "$prefix"
    WINEPREFIX="$prefix" wineboot -i >/dev/null 2>&1
    WINEPREFIX="$prefix" wineserver -w
    # No window manager under Xvfb: unmanaged windows hide without the 2 s wait.
    WINEPREFIX="$prefix" wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    # Windows' standard faces, which the wizard's pages use, by their metric twins from Debian's
    # fonts-liberation, so that texts wrap here as they do on Windows.
    local face
    for face in "Times New Roman=Liberation Serif" "Arial=Liberation Sans" \
                "Courier New=Liberation Mono"; do
        WINEPREFIX="$prefix" wine reg add 'HKCU\Software\Wine\Fonts\Replacements' \
            /v "${face%%=*}" /d "${face#*=}" /f >/dev/null 2>&1
    done
    # The user's shell folders must be the prefix's own, not links into the host's home.
    local user_dir
    for user_dir in "$prefix"/drive_c/users/*/; do
        local f
        for f in Desktop Documents Downloads Music Pictures Videos Templates; do
            if [ -L "$user_dir$f" ]; then rm -f "$user_dir$f"; mkdir -p "$user_dir$f"; fi
        done
    done
    WINEPREFIX="$prefix" wineserver -w
    touch "$prefix/.ready"
}

# make_small_disk PREFIX DIR: a 1 MiB tmpfs at DIR, reachable in the prefix as drive S:, so that
# tests can fill a disk for real. Prints the drive ("S:\") when it is there, nothing otherwise.
make_small_disk() {
    local prefix=$1 dir=$2
    mkdir -p "$dir"
    if ! mountpoint -q "$dir"; then
        mount -t tmpfs -o size=1m tmpfs "$dir" 2>/dev/null || return 0
    fi
    ln -sfn "$dir" "$prefix/dosdevices/s:"
    echo 'S:\'
}
