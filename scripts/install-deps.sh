#!/usr/bin/env bash
# Installs the Debian packages that building, testing and the demo need. Quiet and quick when nothing is missing.
# With --fuzz also the compiler and runtime that the libFuzzer targets need (scripts/fuzz.sh asks for them); they are
# left out otherwise, as the tests and the demo do without them. With --desktops also what the Wayland and
# accessibility checks run (scripts/check-wayland.sh, scripts/check-accessibility.sh); with --package what making
# and checking the Debian package needs beyond its build dependencies (scripts/package.sh, check-package.sh).
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-multimedia-dev qt6-svg-dev libqt6svg6 qt6-qpa-plugins
    libsqlite3-dev
    fonts-dejavu-core fontconfig
    xvfb xauth x11-utils
    libxcb1-dev openbox xdotool
    dbus-daemon
    qt6-wayland
    desktop-file-utils appstream man-db
)
for argument in "$@"; do
    case "$argument" in
    --fuzz) packages+=(clang-14 libclang-rt-14-dev llvm-14) ;;
    --desktops) packages+=(weston at-spi2-core python3-pyatspi trayer imagemagick) ;;
    --package) packages+=(dpkg-dev debhelper lintian) ;;
    *)
        echo "usage: $0 [--fuzz] [--desktops] [--package]" >&2
        exit 2
        ;;
    esac
done

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q '^install ok installed$'; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
    as_root=()
elif command -v sudo >/dev/null 2>&1; then
    as_root=(sudo)
else
    echo "install-deps: these packages are missing and neither root nor sudo is at hand: ${missing[*]}" >&2
    exit 1
fi

echo "install-deps: installing ${missing[*]}"
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
