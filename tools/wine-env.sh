# Sourced by the scripts that run Windows programs under Wine.
# Keeps Wine from offering Mono and Gecko downloads and from writing desktop menu entries.
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=;mshtml="
export WINEDEBUG="${WINEDEBUG:--all}"

# make_prefix DIR: a fresh Wine prefix fit for unattended runs. Reuses DIR when it was
# finished before (the marker file is written last).
make_prefix() {
    local prefix=$1
    if [ -f "$prefix/.ready" ]; then return 0; fi
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
