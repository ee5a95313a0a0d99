#!/usr/bin/env bash
# The desktop integration files as the build makes them: the menu entry and the metainfo
# validate, the man page formats without warnings, and the project version, the newest
# debian/changelog entry and the newest metainfo release agree (one forgotten bump fails here).
#   metadata_test.sh SOURCE_DIR BUILD_DIR VERSION
set -euo pipefail
source_dir="$1"
build_dir="$2"
version="$3"
id=io.github.sonavix.Sonavix
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

desktop-file-validate "$source_dir/desktop/$id.desktop"
metainfo="$build_dir/desktop/$id.metainfo.xml"
appstreamcli validate --no-net "$metainfo"
grep -qx 'StartupWMClass=sonavix' "$source_dir/desktop/$id.desktop" ||
    fail "StartupWMClass must be the executable's name, which Qt puts in WM_CLASS"

warnings="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$source_dir/man/sonavix.1" 2>&1 >/dev/null)"
[ -z "$warnings" ] || fail "man/sonavix.1: $warnings"

changelog="$(dpkg-parsechangelog -l "$source_dir/debian/changelog" -S Version)"
[ "$changelog" = "$version" ] || fail "debian/changelog is at $changelog, the project at $version"
release="$(sed -n 's|.*<release version="\([^"]*\)".*|\1|p' "$metainfo" | head -1)"
[ "$release" = "$version" ] || fail "the newest metainfo release is $release, the project $version"
grep -q "\"Sonavix $version\"" "$source_dir/man/sonavix.1" || fail "man/sonavix.1 names another version"
echo "metadata agree on $version"
