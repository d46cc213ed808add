#!/usr/bin/env bash
# Packs a build directory into the Debian package kelvra, as a broker's IT would, and checks what the
# package holds and declares, that systemd accepts the service unit, and that each program tells its
# version. cpack reads the build directory and writes only into a temporary folder.
# Usage: tst_package.sh BUILD_DIR VERSION UNIT BRISANT QUAYLINK GATEWAY_SIM
set -euo pipefail

build=$1 version=$2 unit=$3
shift 3
programs=("$@")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# --version of the built programs: "NAME VERSION".
for program in "${programs[@]}"; do
    name=$(basename "$program")
    got=$(QT_QPA_PLATFORM=offscreen "$program" --version 2>&1) || fail "$name --version exited $?"
    [ "$got" = "$name $version" ] || fail "$name --version printed '$got', not '$name $version'"
done

if ! cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log"
    echo "FAIL: cpack -G DEB"
    exit 1
fi
deb=$work/out/kelvra_${version}_$(dpkg --print-architecture).deb
if [ ! -f "$deb" ]; then
    ls "$work/out"
    echo "FAIL: no $(basename "$deb")"
    exit 1
fi
echo "$(basename "$deb"): $(stat -c %s "$deb") bytes"

# The file list: mode, owner and path of every regular file.
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $1, $2, $6 }' >"$work/files"
expect_file() { # MODE PATH
    grep -qxF -e "$1 root/root ./$2" "$work/files" || fail "no $2 with mode $1 owned by root/root"
}
for program in brisant quaylink gateway-sim; do
    expect_file -rwxr-xr-x "usr/bin/$program"
    expect_file -rw-r--r-- "usr/share/man/man1/$program.1.gz"
done
for program in brisant quaylink; do
    expect_file -rw-r--r-- "usr/share/applications/$program.desktop"
    expect_file -rw-r--r-- "usr/share/icons/hicolor/scalable/apps/$program.svg"
done
expect_file -rw-r--r-- usr/lib/systemd/system/quaylink.service
expect_file -rw------- etc/kelvra/quaylink.env
# Nothing else: no test or bench programs, no libraries.
extra=$(grep -v -e ' ./usr/bin/\(brisant\|quaylink\|gateway-sim\)$' -e ' ./usr/share/man/man1/' \
    -e ' ./usr/share/applications/' -e ' ./usr/share/icons/' -e ' ./usr/lib/systemd/system/quaylink.service$' \
    -e ' ./etc/kelvra/quaylink.env$' "$work/files" || true)
[ -z "$extra" ] || fail "unexpected files in the package: $extra"

# Stripped programs.
dpkg-deb -x "$deb" "$work/root"
for program in brisant quaylink gateway-sim; do
    file -b "$work/root/usr/bin/$program" | grep -q ', stripped' || fail "/usr/bin/$program is not stripped"
done

# Control fields and the conffile.
[ "$(dpkg-deb -f "$deb" Package)" = kelvra ] || fail "Package is not kelvra"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "Version is not $version"
depends=$(dpkg-deb -f "$deb" Depends)
for package in libqt6sql6-psql libqt6sql6-sqlite qt6-qpa-plugins adduser libqt6core6 libpq5 libsqlite3-0 \
    libsystemd0 libprometheus-cpp-pull1.0 libcivetweb1; do
    [[ ", $depends," == *", $package"[\ ,]* ]] || fail "Depends does not name $package: $depends"
done
[[ "$(dpkg-deb -f "$deb" Suggests)" == *libreoffice-calc-nogui* ]] || fail "Suggests lacks libreoffice-calc-nogui"
dpkg-deb -I "$deb" conffiles | grep -qxF /etc/kelvra/quaylink.env ||
    fail "conffiles does not list /etc/kelvra/quaylink.env"
for script in postinst prerm postrm; do
    dpkg-deb -I "$deb" "$script" | head -1 | grep -qxF '#!/bin/sh' || fail "$script is not a /bin/sh script"
done

# The unit as systemd reads it, with ExecStart on the built quaylink (systemd checks that the program
# exists). Any complaint fails, but for a missing user kelvra on a machine without the package.
if command -v systemd-analyze >/dev/null; then
    mkdir "$work/unit"
    sed "s|^ExecStart=/usr/bin/quaylink |ExecStart=${programs[1]} |" "$unit" >"$work/unit/quaylink.service"
    grep -q "^ExecStart=${programs[1]} --headless" "$work/unit/quaylink.service" ||
        fail "the unit's ExecStart does not start /usr/bin/quaylink --headless"
    grep -qx "Type=notify" "$work/unit/quaylink.service" || fail "the unit is not Type=notify"
    grep -q "^WatchdogSec=[1-9]" "$work/unit/quaylink.service" || fail "the unit sets no WatchdogSec="
    verify=$(cd "$work/unit" && systemd-analyze verify --man=no ./quaylink.service 2>&1) ||
        fail "systemd-analyze verify: $verify"
    complaints=$(printf '%s\n' "$verify" | grep -v -e '^$' -e "user.*kelvra" -e "kelvra.*user" || true)
    [ -z "$complaints" ] || fail "systemd-analyze verify: $complaints"
else
    echo "SKIP: systemd-analyze not installed; the unit is not verified"
fi

if [ "$failures" -gt 0 ]; then
    echo "$failures failures"
    exit 1
fi
echo "PASS"
