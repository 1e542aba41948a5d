#!/usr/bin/env bash
# Checks a build as a packager and a desktop see it: installs it into a temporary DESTDIR, checks
# the installed files, validates the desktop entry and the AppStream metadata, runs the installed
# programs, then builds the Debian package and checks its contents and dependencies. As root, it
# then installs the package into the machine, checks the program as a desktop starts it, and
# removes the package again.
#
# Usage: scripts/check-install.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)
stage=$(mktemp -d)
# Set once the package may be in the machine, so that every way out takes it out again.
installed_here=""
fetched=()
# Without a sync per unpacked file: the install lives for seconds, and dpkg's syncs took most of them.
apt=(apt-get -y -q -o DPkg::Lock::Timeout=300 -o DPkg::Options::=--force-unsafe-io)
cleanup() {
    if [ -n "$installed_here" ]; then
        DEBIAN_FRONTEND=noninteractive "${apt[@]}" purge trovex "${fetched[@]}" \
            >"$stage/purge.log" 2>&1 || echo "check-install: removing the package failed: $(tail -n 3 "$stage/purge.log")" >&2
        [ ! -e /usr/bin/trovex ] || echo "check-install: /usr/bin/trovex is still there" >&2
    fi
    rm -rf "$stage"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
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
# Without a display, the installed window names what an installed system has instead of run.sh.
nodisplay=$(env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY DISPLAY=:8413 XDG_RUNTIME_DIR="$stage" "$usr/bin/trovex" 2>&1) &&
    fail "the installed trovex started without a display"
case $nodisplay in
*"use trovex-scan"*"xvfb-run trovex [folder]"*) ;;
*) fail "the installed trovex says, without a display: $nodisplay" ;;
esac

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

# The real install, as a user's `apt install ./trovex_….deb` makes it: only as root, which CI is on
# a throwaway machine, and only where no trovex is in the machine yet, so that a developer's own
# install is never replaced or removed. Other worktrees may run this at the same time.
if [ "$(id -u)" -ne 0 ]; then
    echo "check-install: not root, so the real-install check is skipped"
    exit 0
fi
exec 9>/run/lock/trovex-check-install.lock
flock -w 900 9 || fail "another check held the install lock for 15 minutes"
status=$(dpkg-query -W -f='${Status}' trovex 2>/dev/null || true)
if [ -n "$status" ] && [[ "$status" != *" not-installed" ]]; then
    echo "check-install: a trovex package is already installed ($status), so the real-install check is skipped"
    exit 0
fi
for f in "${expected[@]}"; do
    if [ -e "/$f" ]; then
        echo "check-install: /$f is already there (an install outside the package manager), so the real-install check is skipped"
        exit 0
    fi
done
driver=$build/tests/libtrovex_drive_window.so
[ -f "$driver" ] || fail "$driver is missing: build with BUILD_TESTING=ON"

# A desktop session of nobody in particular: no user's mimeapps.list or entries count, no display.
home=$stage/home
mkdir -p "$home/.config" "$home/.local/share" "$home/.cache" "$home/.local/state" "$stage/run"
chmod 700 "$stage/run"
desk=(env -u DISPLAY -u WAYLAND_DISPLAY -u DBUS_SESSION_BUS_ADDRESS -u XDG_DATA_DIRS -u XDG_CONFIG_DIRS
    -u XDG_CURRENT_DESKTOP -u XDG_SESSION_DESKTOP -u DESKTOP_SESSION -u LD_PRELOAD
    HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share"
    XDG_CACHE_HOME="$home/.cache" XDG_STATE_HOME="$home/.local/state" XDG_RUNTIME_DIR="$stage/run"
    QT_QPA_PLATFORM=offscreen)
handlers() {
    local type
    for type in inode/directory application/octet-stream; do
        "${desk[@]}" gio mime "$type" 2>&1 || true
    done
}
# Starts a desktop entry as a file manager or launcher does (gio launch, which reads its Exec line),
# with the driver loaded into the program (and, harmlessly, into gio), and waits for its report.
# Usage: launch ENTRY REPORT BUTTON_OR_EMPTY [FILE...]
launch() {
    local entry=$1 report=$2 press=$3
    shift 3
    "${desk[@]}" LD_PRELOAD="$driver" TROVEX_DRIVE_REPORT="$report" TROVEX_DRIVE_PRESS="$press" \
        gio launch "$entry" "$@" || fail "gio cannot launch $entry"
    for _ in $(seq 300); do
        if grep -qx "done" "$report" 2>/dev/null; then
            break
        fi
        sleep 0.1
    done
    grep -qx "done" "$report" 2>/dev/null || fail "$entry did not start the program within 30 seconds"
    ! grep -q '^message ' "$report" || fail "the program started from $entry said: $(grep '^message ' "$report")"
}
handlers_before=$(handlers)

# The dependencies are what setup.sh installed, so nothing but the package itself should come from
# an archive. apt-get's --no-download would say so by failing, but it refuses a local .deb outright;
# dpkg-checkbuilddeps checks the same relations against the installed packages, in a fraction of
# the time apt-get --print-uris takes. Where something is missing, say what; apt-get then fetches
# it, and it is taken out again afterwards.
packages() { dpkg-query -W -f='${db:Status-Abbrev} ${binary:Package}\n' | awk '$1 == "ii" { print $2 }' | sort; }
packages_before=$(packages)
dpkg-checkbuilddeps -d "$depends" /dev/null 2>"$stage/depends.log" ||
    echo "check-install: the package needs what setup.sh did not install; apt-get fetches it: $(cat "$stage/depends.log")" >&2
installed_here=yes
DEBIAN_FRONTEND=noninteractive "${apt[@]}" install "$deb" >"$stage/apt.log" 2>&1 ||
    fail "apt-get cannot install the package: $(tail -n 5 "$stage/apt.log")"
mapfile -t fetched < <(comm -13 <(echo "$packages_before") <(packages) | grep -v '^trovex\(:.*\)\?$' || true)
[ ${#fetched[@]} -eq 0 ] || echo "check-install: fetched for the package: ${fetched[*]}" >&2
[ "$(handlers)" = "$handlers_before" ] || fail "installing the package changed the default handlers:
$(diff <(echo "$handlers_before") <(handlers))"

[ "$(env -u DISPLAY -u WAYLAND_DISPLAY /usr/bin/trovex --version)" = "$version" ] ||
    fail "the installed trovex does not say $version"
[ "$(/usr/bin/trovex-scan --version)" = "trovex-scan ${version#trovex }" ] ||
    fail "the installed trovex-scan does not say ${version#trovex }"
/usr/bin/trovex-scan summary --quiet --format tsv /usr/share/doc/trovex >"$stage/summary.tsv" ||
    fail "the installed trovex-scan cannot summarise"
# The folder holds the licence alone, a file without an extension.
[ "$(cut -f1,3 "$stage/summary.tsv")" = "$(printf '\t1')" ] ||
    fail "the installed trovex-scan summarised $(cat "$stage/summary.tsv")"
desktop-file-validate "/usr/share/applications/$id.desktop" || fail "the installed desktop entry does not validate"

# The launcher's entry starts the installed program, and the driver presses its "Context menu"
# button there. Registering has no command-line way and the tests press the button of a window
# built into the test program, which would write that program's path; the press in the installed
# program writes the path it finds itself at, which is what the file managers will start.
launch "/usr/share/applications/$id.desktop" "$stage/started.txt" TntButton1
grep -qx 'program /usr/bin/trovex' "$stage/started.txt" || fail "the desktop entry started $(head -n 1 "$stage/started.txt")"
! grep -q '^argument ' "$stage/started.txt" || fail "the desktop entry passed arguments of its own"
grep -qx 'pressed TntButton1' "$stage/started.txt" || fail "the Context menu button was not pressed"
data=$home/.local/share
registered=("$data/applications/trovex-run.desktop" "$data/kio/servicemenus/trovex-run.desktop"
    "$data/nemo/actions/trovex-run.nemo_action" "$data/nautilus/scripts/Run Trovex"
    "$data/file-manager/actions/trovex-run.desktop" "$home/.config/Thunar/uca.xml")
for f in "${registered[@]}"; do
    grep -q /usr/bin/trovex "$f" 2>/dev/null || fail "${f#"$home"/} does not start /usr/bin/trovex"
done
command=$home/.config/trovex/registry/HKEY_CURRENT_USER/software/classes/directory/shell/KVT/command/@
[ "$(cat "$command")" = '/usr/bin/trovex "%1"' ] || fail "the stored command is $(cat "$command")"
desktop-file-validate "$data/applications/trovex-run.desktop" || fail "the registered entry does not validate"

# A file manager's "Open with" starts the installed program on the clicked folder.
folder="$home/two words"
mkdir "$folder"
launch "$data/applications/trovex-run.desktop" "$stage/opened.txt" "" "$folder"
if ! grep -qx 'program /usr/bin/trovex' "$stage/opened.txt" || ! grep -qxF "argument $folder" "$stage/opened.txt" ||
    ! grep -qxF "RootDir $folder" "$stage/opened.txt"; then
    fail "the registered entry did not start the program on the folder: $(cat "$stage/opened.txt")"
fi

# Nor do the registered entries make Trovex a default handler of anything.
[ "$(handlers)" = "$handlers_before" ] || fail "registering the context-menu entries changed the default handlers:
$(diff <(echo "$handlers_before") <(handlers))"
echo "check-install: installed as a package, started from its desktop entry and from the registered entries; the default handlers are unchanged"
