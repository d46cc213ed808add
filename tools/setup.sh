#!/usr/bin/env bash
# Set-up shared by ./run, ./test and the benchmark script: Debian packages and the CMake build.

KELVRA_BUILD_PACKAGES=(cmake g++ make pkg-config qt6-base-dev libqt6sql6-sqlite libqt6sql6-psql libgl-dev zlib1g-dev
    libfreexl-dev libgsf-1-dev libminizip-dev libxlsxwriter-dev libsqlite3-dev libpq-dev help2man dpkg-dev file
    libsystemd-dev prometheus-cpp-dev)

# Installs whichever of the named Debian packages are missing.
kelvra_ensure_packages() {
    local missing=()
    local package
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing Debian packages: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" = 0 ] || sudo=(sudo)
    "${sudo[@]}" apt-get update -q >/dev/null
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null
}

# kelvra_build DIR [cmake options...] -- [targets...]
kelvra_build() {
    local dir=$1
    shift
    local options=()
    while [ $# -gt 0 ] && [ "$1" != "--" ]; do
        options+=("$1")
        shift
    done
    [ "${1:-}" = "--" ] && shift
    local targets=()
    local target
    for target in "$@"; do targets+=(--target "$target"); done
    cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${options[@]}" >/dev/null
    cmake --build "$dir" -j2 "${targets[@]}"
}
