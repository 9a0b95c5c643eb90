#!/usr/bin/env bash
# Checks what a built build folder installs and packages, as a desktop
# program on Debian needs it: installed into a scratch root under /usr, the
# programs run and print the project's version; every file is there and no
# other, the menu entry and the metainfo pass their validators, the manual
# pages render without a warning; and the Debian package cpack makes holds
# the same files, stripped, and depends on Qt and on what Qt loads at run
# time. Needs no display. Usage: scripts/lib/check-install.sh <build-folder>
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: $0 <build-folder>" >&2; exit 2; }
build=$(realpath "$1")
cd "$(dirname "$0")/../.."

fail() {
    echo "check-install: $*" >&2
    exit 1
}

[ -f "$build/CMakeCache.txt" ] || fail "$build is no build folder"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
app_id=$(sed -n 's/^set(KORVEL_APP_ID \(.*\))$/\1/p' CMakeLists.txt)
[ -n "$version" ] && [ -n "$app_id" ] || fail "no version or application id in the build's configuration"

# What /usr gets, and nothing else: the three programs, no library, header
# or test program.
sizes=(16 22 24 32 48 64 128 256)
expected=(
    usr/bin/korvel-console
    usr/bin/korvel-devsim
    usr/bin/korvelctl
    "usr/share/applications/$app_id.desktop"
    "usr/share/metainfo/$app_id.metainfo.xml"
    "usr/share/icons/hicolor/scalable/apps/$app_id.svg"
    usr/share/man/man1/korvel-console.1
    usr/share/man/man1/korvel-devsim.1
    usr/share/man/man1/korvelctl.1
    usr/share/doc/korvel-console/SmoothTTF-LICENSE.txt
)
for size in "${sizes[@]}"; do
    expected+=("usr/share/icons/hicolor/${size}x${size}/apps/$app_id.png")
done
expected_list=$(printf '%s\n' "${expected[@]}" | sort)

# Tells what differs between the expected files and those listed on stdin.
compare_files() {
    local what=$1 listed
    listed=$(sort)
    local missing extra
    missing=$(comm -23 <(echo "$expected_list") <(echo "$listed"))
    extra=$(comm -13 <(echo "$expected_list") <(echo "$listed"))
    [ -z "$missing" ] || fail "$what lacks:"$'\n'"$missing"
    [ -z "$extra" ] || fail "$what holds what it should not:"$'\n'"$extra"
}

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
root=$scratch/root

DESTDIR=$root cmake --install "$build" --prefix /usr >/dev/null
(cd "$root" && find . -type f -o -type l | sed 's|^\./||') | compare_files "the installed tree"

for program in korvel-console korvel-devsim korvelctl; do
    printed=$("$root/usr/bin/$program" --version) || fail "$program --version failed"
    [ "$printed" = "$program $version" ] || fail "$program --version printed \"$printed\", not \"$program $version\""
done

for size in "${sizes[@]}"; do
    file "$root/usr/share/icons/hicolor/${size}x${size}/apps/$app_id.png" | grep -q "PNG image data, $size x $size," ||
        fail "the ${size}x${size} icon is no PNG of that size"
done

entry=$root/usr/share/applications/$app_id.desktop
said=$(desktop-file-validate "$entry" 2>&1) || fail "desktop-file-validate: $said"
[ -z "$said" ] || fail "desktop-file-validate: $said"
grep -qx "Icon=$app_id" "$entry" || fail "the menu entry names another icon than $app_id"
said=$(appstreamcli validate --no-net "$root/usr/share/metainfo/$app_id.metainfo.xml" 2>&1) ||
    fail "appstreamcli validate: $said"

for page in "$root"/usr/share/man/man1/*.1; do
    said=$(man --warnings -l -Tutf8 "$page" 2>&1 >/dev/null) || fail "man cannot render $(basename "$page"): $said"
    [ -z "$said" ] || fail "man warns of $(basename "$page"):"$'\n'"$said"
done

# cpack names the package it made in its last line.
made=$(cd "$build" && cpack -G DEB 2>&1) || fail "cpack failed:"$'\n'"$made"
package=$(sed -n 's/^CPack: - package: \(.*\) generated\.$/\1/p' <<<"$made")
[ -f "$package" ] || fail "cpack named no package:"$'\n'"$made"
name="korvel-console_${version}_$(dpkg --print-architecture).deb"
[ "$(basename "$package")" = "$name" ] || fail "the package is $(basename "$package"), not $name"

dpkg-deb -c "$package" | awk '$1 !~ /^d/ { sub(/^\.\//, "", $6); print $6 }' | compare_files "the package"
dpkg-deb -x "$package" "$scratch/package"
for program in korvel-console korvel-devsim korvelctl; do
    file "$scratch/package/usr/bin/$program" | grep -q ', stripped' || fail "$program is not stripped in the package"
done

# Depends as package names, without versions and alternatives' bars.
depends=$(dpkg-deb -f "$package" Depends)
names=$(tr ',|' '\n\n' <<<"$depends" | sed 's/(.*)//; s/ //g' | sort -u)
for needed in libqt6widgets6 libqt6gui6 libqt6serialbus6 qt6-translations-l10n; do
    grep -qx "$needed" <<<"$names" || fail "the package does not depend on $needed: $depends"
done

echo "check-install: ${#expected[@]} files installed and packaged in $name ($(du -k "$package" | cut -f1) KiB); programs, menu entry, metainfo and manual pages good"
