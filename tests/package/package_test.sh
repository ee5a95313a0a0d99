#!/usr/bin/env bash
# The Debian package from outside, as a learner gets it: lintian finds no error, it holds the
# programs, data, menu entry, icons, metainfo and man pages, and the program extracted from it
# (dpkg -x) runs from there: its window opens like the build tree's, with the symbols in the
# symbol font, a theme pick lands in ~/.config/sonavix/SetInfo.ini of a temporary HOME, and
# nothing is written inside the extracted tree.
#   package_test.sh SOURCE_DIR VERSION [BUILD_PROGRAM_DIR]
# SONAVIX_PACKAGE_DEB=FILE checks that package instead of building one with scripts/package.
# Exit status 77 (skipped) when the program cannot run from the extracted tree yet.
set -euo pipefail
source_dir="$(realpath "$1")"
version="$2"
program_dir="${3:-}"
id=io.github.sonavix.Sonavix

work="$(mktemp -d)"
chmod 755 "$work"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    chmod -R u+w "$work" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# The package.
arch="$(dpkg-architecture -qDEB_HOST_ARCH)"
if [ -n "${SONAVIX_PACKAGE_DEB:-}" ]; then
    deb="$(realpath "$SONAVIX_PACKAGE_DEB")"
else
    deb="$("$source_dir/scripts/package" -o "$work/out" | tail -1)"
fi
[ "$(basename "$deb")" = "sonavix_${version}_${arch}.deb" ] || fail "package named $(basename "$deb")"
echo "package: $deb, $(stat -c %s "$deb") bytes, installed size $(dpkg-deb -f "$deb" Installed-Size) KiB"

# Lintian: no error; the warnings and notes are printed for the record.
lintian --fail-on error --display-info "$deb" || fail "lintian reports errors"

# The contents.
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./||; s|/$||' | sort >"$work/contents"
want=(usr/bin/sonavix usr/share/sonavix/Svphonet.ttf usr/share/doc/sonavix/copyright
    "usr/share/applications/$id.desktop" "usr/share/metainfo/$id.metainfo.xml"
    "usr/share/icons/hicolor/scalable/apps/$id.svg" usr/share/man/man1/sonavix.1.gz)
for size in 16 22 24 32 48 64 128 256 512; do
    want+=("usr/share/icons/hicolor/${size}x${size}/apps/$id.png")
done
for dir in pho pairs Styles web; do
    [ -d "$source_dir/assets/$dir" ] || continue
    while IFS= read -r f; do want+=("usr/share/sonavix/$dir/$f"); done \
        < <(cd "$source_dir/assets/$dir" && find . -type f ! -name .keep | sed 's|^\./||')
done
for path in "${want[@]}"; do
    grep -qxF "$path" "$work/contents" || fail "the package lacks $path"
done
# Every program has its man page; nothing lies outside /usr; no settings or placeholders.
for tool in $(sed -n 's|^usr/bin/||p' "$work/contents"); do
    grep -qxF "usr/share/man/man1/$tool.1.gz" "$work/contents" || fail "no man page for $tool"
done
! grep -v -E '^(usr(/.*)?|)$' "$work/contents" || fail "files outside /usr"
! grep -E '(/SetInfo\.ini|/\.keep)$' "$work/contents" || fail "settings or placeholders packaged"

# The extracted tree: desktop integration files validate, each program answers --version and
# --help, the metainfo names exactly the programs there are.
root="$work/root"
dpkg-deb -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/$id.desktop"
appstreamcli validate --no-net "$root/usr/share/metainfo/$id.metainfo.xml"
provided="$(sed -n 's|.*<binary>\(.*\)</binary>.*|\1|p' "$root/usr/share/metainfo/$id.metainfo.xml" | sort)"
[ "$provided" = "$(ls "$root/usr/bin" | sort)" ] || fail "metainfo provides: $provided"
for size in 16 22 24 32 48 64 128 256 512; do
    got="$(identify -format %wx%h "$root/usr/share/icons/hicolor/${size}x${size}/apps/$id.png")"
    [ "$got" = "${size}x${size}" ] || fail "the ${size}px icon is $got"
done
for tool in "$root"/usr/bin/*; do
    name="$(basename "$tool")"
    first="$("$tool" --version | head -1)"
    [ "$first" = "$name (Sonavix) $version" ] || fail "$name --version: $first"
    "$tool" --help | grep -q "^Usage: $name" || fail "$name --help"
done
"$root/usr/bin/sonavix-decode" "$root/usr/share/sonavix/pho/0.mp3" "$work/0.wav"
[ "$(stat -c %s "$work/0.wav")" -gt 10000 ] || fail "sonavix-decode from the package"

# The window, from the extracted tree, made read-only and run by a user who owns none of it.
for tool in Xvfb xdotool xwininfo import compare; do
    command -v "$tool" >/dev/null || { echo "SKIP: no $tool for the window checks"; exit 77; }
done
chmod -R a-w "$root"
find "$root" -printf '%P %s %m %T@\n' | sort >"$work/tree-before"

display=""
for n in $(seq 140 180); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then display=":$n"; break; fi
done
[ -n "$display" ] || fail "no free display"
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
export DISPLAY="$display"

home="$work/home"
mkdir -p "$home"
printf 'pcm.!default { type null }\nctl.!default { type hw card 0 }\n' >"$home/.asoundrc"
as_user=()
if [ "$(id -u)" -eq 0 ]; then
    # Root may write anywhere; an ordinary user finds the tree as a package leaves it.
    chown -R 65534:65534 "$home"
    as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
fi
env -u XDG_CONFIG_HOME -u XDG_DATA_HOME HOME="$home" QT_QPA_PLATFORM=xcb \
    "${as_user[@]}" "$root/usr/bin/sonavix" >"$work/sonavix.log" 2>&1 &
app=$!
pids+=($app)
title="Sonavix 美语音标 $version"
window=""
for _ in $(seq 150); do
    window="$(xwininfo -root -tree | awk -v t="\"$title\":" 'index($0, t) {print $1; exit}')"
    [ -n "$window" ] && break
    kill -0 "$app" 2>/dev/null || { cat "$work/sonavix.log" >&2; fail "sonavix ended at start"; }
    sleep 0.1
done
[ -n "$window" ] || { cat "$work/sonavix.log" >&2; fail "no window titled $title"; }
sleep 1.5
# A box titled plain "Sonavix" is a failure message (no font, no sound device).
! xwininfo -root -tree | grep -q '"Sonavix": (' || fail "a message box opened: $(cat "$work/sonavix.log")"

# The symbol table as the build tree's program draws it, pixel for pixel (no font is installed
# for the user, so only the program's own loading can give these glyphs).
import -window "$window" "$work/package.png"
if [ -n "$program_dir" ] && [ -x "$program_dir/sonavix" ]; then
    SONAVIX_SCREENSHOT_DELAY=3 "$source_dir/tools/screenshot" "$program_dir" "$work/build.png" >/dev/null
    differ="$(compare -metric AE -extract 680x140+0+0 "$work/package.png" "$work/build.png" null: 2>&1 || true)"
    [ "$differ" = "0" ] || fail "the symbol table differs from the build tree's in $differ pixels"
fi

# A theme pick: the second theme, chosen with the keyboard in the theme box.
xdotool mousemove --window "$window" 600 168 click 1
sleep 0.5
xdotool key Down
settings="$home/.config/sonavix/SetInfo.ini"
for _ in $(seq 50); do
    grep -q '^default=2' "$settings" 2>/dev/null && break
    sleep 0.1
done
grep -q '^default=2' "$settings" 2>/dev/null ||
    fail "the theme pick did not land in $settings (the theme box moved from 600,168?)"
kill "$app"
wait "$app" 2>/dev/null || true

find "$root" -printf '%P %s %m %T@\n' | sort >"$work/tree-after"
diff "$work/tree-before" "$work/tree-after" || fail "the program changed its extracted tree"
echo "package test passed"
