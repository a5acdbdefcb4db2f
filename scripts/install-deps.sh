#!/bin/sh
# Installs whatever the program needs to build, run and test on Debian 12 and is still missing.
# Safe to run again: it installs nothing when everything is there.
set -eu

PACKAGES="
    g++ cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins qt6-translations-l10n libgl-dev
    libsqlite3-dev libsodium-dev
    fonts-noto-cjk fonts-arphic-ukai
    xdg-utils xvfb xauth shared-mime-info
"

missing=""
for package in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $package"
    fi
done

if [ -z "$missing" ]; then
    exit 0
fi

echo "Installing:$missing"
if [ "$(id -u)" -eq 0 ]; then
    as_root=""
else
    as_root="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$as_root apt-get update -qq
# shellcheck disable=SC2086
$as_root apt-get install -y -qq --no-install-recommends $missing
