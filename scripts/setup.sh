#!/usr/bin/env bash
# Installs the Debian packages that building and running Trovex need; with --tests also those
# that its tests, the install checks and the package build need.
# Idempotent: when every package is present it prints nothing and touches nothing.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins qt6-svg-dev libgl-dev
    zlib1g-dev libxxhash-dev shared-mime-info
)
test_packages=(
    libgtest-dev libgmock-dev googletest
    libglib2.0-bin desktop-file-utils appstream dpkg-dev
    xvfb xauth dbus fonts-dejavu-core
    unzip tzdata
)

case "${1:-}" in
"") ;;
--tests) packages+=("${test_packages[@]}") ;;
*)
    echo "usage: $0 [--tests]" >&2
    exit 2
    ;;
esac

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
