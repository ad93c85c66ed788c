#!/usr/bin/env bash
# Makes the Debian package: installs the build dependencies that debian/control names (as apt-get build-dep does
# for a source package), builds the binary package with dpkg-buildpackage, and leaves cvrlik_<version>_<arch>.deb
# in the top folder of the sources. Install it with  apt install ./cvrlik_*.deb
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
cd "$top"

if [ "$(id -u)" -eq 0 ]; then
    as_root=()
elif command -v sudo >/dev/null 2>&1; then
    as_root=(sudo)
else
    as_root=()
fi
if ! dpkg-checkbuilddeps >/dev/null 2>&1; then
    if [ "$(id -u)" -ne 0 ] && [ ${#as_root[@]} -eq 0 ]; then
        echo "package: the build dependencies are missing and neither root nor sudo is at hand:" >&2
        dpkg-checkbuilddeps >&2 || true
        exit 1
    fi
    echo "package: installing the build dependencies of debian/control"
    "${as_root[@]}" apt-get update -qq
    "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get build-dep -y -qq ./ >/dev/null
fi

# dpkg-buildpackage writes its results beside the source folder; they are moved into it.
version="$(dpkg-parsechangelog -S Version)"
arch="$(dpkg-architecture -qDEB_HOST_ARCH)"
parent="$(dirname "$top")"
dpkg-buildpackage -us -uc -b -j2
results=("$parent/cvrlik_${version}_${arch}".{deb,buildinfo,changes} "$parent"/cvrlik-dbgsym_"${version}"_"${arch}".deb)
for result in "${results[@]}"; do
    if [ -f "$result" ]; then
        mv -f "$result" "$top/"
    fi
done
debian/rules clean >/dev/null
echo "package: $top/cvrlik_${version}_${arch}.deb"
