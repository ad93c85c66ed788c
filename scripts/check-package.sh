#!/usr/bin/env bash
# Builds the Debian package (scripts/package.sh) unless one is given, checks it with lintian, unpacks it into a
# scratch root with dpkg -x, and asserts that every file lands where the desktop and man look for it, that the
# desktop's own tools accept what was installed, and that nothing of the tests came along.
#
#   scripts/check-package.sh [cvrlik_VERSION_ARCH.deb]
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
"$top/scripts/install-deps.sh" --package

deb="${1:-}"
if [ -z "$deb" ]; then
    "$top/scripts/package.sh"
    deb="$top/cvrlik_$(cd "$top" && dpkg-parsechangelog -S Version)_$(dpkg-architecture -qDEB_HOST_ARCH).deb"
fi
deb="$(realpath "$deb")"
id=cz.velmor.Cvrlik
multiarch="$(dpkg-architecture -qDEB_HOST_MULTIARCH)"

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
pass() {
    echo "ok:   $*"
}

echo "== lintian"
if lintian --fail-on error --info "$deb"; then
    pass "lintian reports no error"
else
    fail "lintian reports errors"
fi

echo "== the package's fields"
depends="$(dpkg-deb -f "$deb" Depends)"
for library in libqt6widgets6 libqt6multimedia6 libsqlite3-0 libc6; do
    case "$depends" in
    *"$library"*) pass "depends on $library (computed from the binaries)" ;;
    *) fail "Depends lacks $library: $depends" ;;
    esac
done

root="$(mktemp -d)"
trap 'rm -rf "$root"' EXIT
dpkg -x "$deb" "$root"

echo "== where the files land"
expect_file() {
    local path="$1" what="$2"
    if [ -f "$root$path" ]; then
        pass "$what: $path"
    else
        fail "$what missing: $path"
    fi
}
expect_file /usr/bin/cvrlik "the program"
expect_file /usr/bin/cvrlik-store "the store tool"
expect_file "/usr/lib/$multiarch/cvrlik/cvrlik_sound.so" "the sound module"
expect_file "/usr/share/applications/$id.desktop" "the desktop entry, where menus look"
expect_file "/usr/share/metainfo/$id.metainfo.xml" "the metadata, where software centres look"
expect_file "/usr/share/icons/hicolor/scalable/apps/$id.svg" "the icon, where the icon theme looks"
expect_file /usr/share/cvrlik/inmsg.wav "the message sound"
expect_file /usr/share/man/man1/cvrlik.1.gz "the program's manual"
expect_file /usr/share/man/man1/cvrlik-store.1.gz "the store tool's manual"
expect_file /usr/share/doc/cvrlik/copyright "the copyright file"
for program in /usr/bin/cvrlik /usr/bin/cvrlik-store; do
    [ -x "$root$program" ] || fail "$program is not executable"
done
unwanted="$(cd "$root" && find . -name 'klabos-sim*' -o -name 'tst_*' -o -name 'cvrlik-soak' -o -name 'cvrlik-crash' \
    -o -name 'cvrlik-figures' -o -name '*.a')"
if [ -z "$unwanted" ]; then
    pass "no test tool, test or static library in the package"
else
    fail "test files in the package: $unwanted"
fi

echo "== the desktop's tools on the installed files"
if desktop-file-validate "$root/usr/share/applications/$id.desktop"; then
    pass "desktop-file-validate accepts the entry"
else
    fail "desktop-file-validate rejects the entry"
fi
# validate-tree also checks that the metadata's launchable names an entry that is there.
if appstreamcli validate-tree --no-net "$root"; then
    pass "appstreamcli validate-tree accepts the metadata beside the entry"
else
    fail "appstreamcli validate-tree rejects the metadata"
fi
for page in cvrlik cvrlik-store; do
    if LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$root/usr/share/man/man1/$page.1.gz" 2>/dev/null | grep -q "^ *$page - "; then
        pass "man shows $page(1)"
    else
        fail "man does not show $page(1)"
    fi
done

echo "== the unpacked program"
version="$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb "$root/usr/bin/cvrlik" --version 2>&1)" || true
if [ "$version" = "cvrlik $(dpkg-deb -f "$deb" Version)" ]; then
    pass "cvrlik --version without a display: $version"
else
    fail "cvrlik --version printed: $version"
fi
if "$root/usr/bin/cvrlik-store" --help | grep -q "cvrlik-store keys"; then
    pass "cvrlik-store --help"
else
    fail "cvrlik-store --help"
fi

if [ "$failures" -gt 0 ]; then
    echo "check-package: $failures failures"
    exit 1
fi
echo "check-package: all checks passed for $deb"
