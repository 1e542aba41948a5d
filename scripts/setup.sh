#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Trovex need.
# Idempotent: when every package is present it prints nothing and touches nothing.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins qt6-svg-dev libgl-dev
    libgtest-dev libgmock-dev googletest
    zlib1g-dev libxxhash-dev shared-mime-info
    libglib2.0-bin desktop-file-utils
    xvfb xauth dbus fonts-dejavu-core
    unzip tzdata
)

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
