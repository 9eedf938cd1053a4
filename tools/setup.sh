#!/usr/bin/env bash
# Installs the Debian packages that the build, the tests and the demo need.
# Idempotent: when everything is present it only asks dpkg and returns.
set -euo pipefail

packages=(
    cmake make
    g++-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-tools
    g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
    libz-mingw-w64-dev
    wine wine64 wine32:i386
    xvfb xauth
    googletest
    fonts-dejavu-core fonts-liberation
    imagemagick
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed$'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "setup: missing packages: ${missing[*]}; run as root to install them" >&2
    exit 1
fi
echo "setup: installing ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi
apt-get update -qq
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
