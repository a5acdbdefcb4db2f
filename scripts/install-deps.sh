#!/bin/sh
# Installs whatever the program needs to build and run on Debian 12 and is still missing;
# with "test", also what the tests need (the fuzzers' clang, the comma-decimal locales, the
# desktop's MIME tools). Safe to run again: it installs nothing when everything is there.
#   sh scripts/install-deps.sh [test]
set -eu

PACKAGES="
    g++ cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins qt6-translations-l10n libgl-dev
    libsqlite3-dev libsodium-dev
    libxlsxwriter-dev
    fonts-noto-cjk fonts-arphic-ukai fonts-dejavu-core
    xdg-utils xvfb xauth
"
if [ "${1:-}" = "test" ]; then
    PACKAGES="$PACKAGES shared-mime-info locales clang libclang-rt-14-dev llvm-14"
    # Building the Debian package and checking it as a system would.
    PACKAGES="$PACKAGES dpkg-dev desktop-file-utils appstream lintian file"
    # The exports and statements are read back by other programs: openpyxl and pdftotext.
    PACKAGES="$PACKAGES python3-openpyxl poppler-utils"
fi

# Comma-decimal locales that the conversion tests run under as well.
LOCALES="de_DE.UTF-8 ru_RU.UTF-8"

missing=""
for package in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $package"
    fi
done

if [ "$(id -u)" -eq 0 ]; then
    as_root=""
else
    as_root="sudo"
fi

if [ -n "$missing" ]; then
    echo "Installing:$missing"
    export DEBIAN_FRONTEND=noninteractive
    $as_root apt-get update -qq
    # shellcheck disable=SC2086
    $as_root apt-get install -y -qq --no-install-recommends $missing
fi

[ "${1:-}" = "test" ] || exit 0

# `locale -a` spells de_DE.UTF-8 as de_DE.utf8.
for name in $LOCALES; do
    spelled=$(echo "$name" | sed 's/\.UTF-8$/.utf8/')
    if ! locale -a 2>/dev/null | grep -qx "$spelled"; then
        echo "Generating locale $name"
        # localedef also answers 1 for mere warnings; what counts is whether the locale exists.
        $as_root localedef -i "${name%%.*}" -f UTF-8 "$name" || true
        if ! locale -a 2>/dev/null | grep -qx "$spelled"; then
            echo "Could not generate locale $name" >&2
            exit 1
        fi
    fi
done
