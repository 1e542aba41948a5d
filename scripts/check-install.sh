#!/usr/bin/env bash
# Checks a build as a packager and a desktop see it: installs it into a temporary DESTDIR, checks
# the installed files, validates the desktop entry and the AppStream metadata, runs the installed
# programs, then builds the Debian package and checks its contents and dependencies.
#
# Usage: scripts/check-install.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
fail() {
    echo "check-install: $*" >&2
    exit 1
}

id=io.github.trovex.Trovex
sizes=(16 22 24 32 48 64 128 256)
expected=(
    usr/bin/trovex
    usr/bin/trovex-scan
    usr/share/applications/$id.desktop
    usr/share/metainfo/$id.metainfo.xml
    usr/share/icons/hicolor/scalable/apps/$id.svg
    usr/share/man/man1/trovex.1.gz
    usr/share/man/man1/trovex-scan.1.gz
    usr/share/doc/trovex/copyright
)
for s in "${sizes[@]}"; do
    expected+=("usr/share/icons/hicolor/${s}x${s}/apps/$id.png")
done
expected_list=$(printf '%s\n' "${expected[@]}" | sort)

# The installed tree holds exactly the expected files: no test, library or header slips in.
DESTDIR="$stage/root" cmake --install "$build" --prefix /usr >/dev/null
installed=$(cd "$stage/root" && find . -type f -printf '%P\n' | sort)
[ "$installed" = "$expected_list" ] || fail "installed files differ:
$(diff <(echo "$expected_list") <(echo "$installed"))"

usr=$stage/root/usr
for s in "${sizes[@]}"; do
    # A PNG gives its width and height as big-endian words at offsets 16 and 20.
    read -r w1 w2 w3 w4 h1 h2 h3 h4 < <(od -An -tu1 -j16 -N8 "$usr/share/icons/hicolor/${s}x${s}/apps/$id.png")
    [ $((w1 << 24 | w2 << 16 | w3 << 8 | w4)) -eq "$s" ] && [ $((h1 << 24 | h2 << 16 | h3 << 8 | h4)) -eq "$s" ] ||
        fail "the ${s}x${s} icon is not ${s} pixels square"
done

desktop-file-validate "$usr/share/applications/$id.desktop" || fail "the desktop entry does not validate"
appstreamcli validate --no-net --no-color "$usr/share/metainfo/$id.metainfo.xml" >"$stage/appstream.log" ||
    fail "the metainfo does not validate: $(cat "$stage/appstream.log")"
# An entry that names types is a candidate default handler of them; Trovex must never become one.
! grep -q '^MimeType=' "$usr/share/applications/$id.desktop" || fail "the desktop entry names MIME types"
grep -q '^Exec=trovex %F$' "$usr/share/applications/$id.desktop" || fail "the desktop entry does not start trovex"

# The installed programs run from there, without a display, and say the version the metainfo names.
version=$(env -u DISPLAY -u WAYLAND_DISPLAY "$usr/bin/trovex" --version)
[ "$(env -u DISPLAY "$usr/bin/trovex-scan" --version)" = "trovex-scan ${version#trovex }" ] ||
    fail "the two programs disagree on the version"
grep -q "<release version=\"${version#trovex }\"" "$usr/share/metainfo/$id.metainfo.xml" ||
    fail "the metainfo has no release ${version#trovex }"
"$usr/bin/trovex-scan" summary --quiet "$usr" >/dev/null || fail "the installed trovex-scan cannot summarise"

# The package holds the same files, and dpkg-shlibdeps found the libraries the programs link.
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$stage/package" >"$stage/cpack.log" 2>&1 ||
    fail "cpack failed: $(cat "$stage/cpack.log")"
deb=$(find "$stage/package" -maxdepth 1 -name 'trovex_*.deb' -print -quit)
[ -n "$deb" ] || fail "cpack made no .deb"
contents=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { sub(/^\.\//, "", $6); print $6 }' | sort)
[ "$contents" = "$expected_list" ] || fail "the package contents differ:
$(diff <(echo "$expected_list") <(echo "$contents"))"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6dbus6 libqt6svg6 zlib1g libxxhash0 \
    qt6-qpa-plugins shared-mime-info; do
    [[ ", $depends," == *", $lib "* || ", $depends," == *", $lib,"* ]] || fail "the package does not depend on $lib: $depends"
done
echo "check-install: $(basename "$deb") ($(du -k "$deb" | cut -f1) KB): install, validation and package checks passed"
