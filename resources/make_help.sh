#!/bin/sh
# Regenerates help/Vellumarhelp.doc (Word 97 format, which every word processor opens) from
# the guide's HTML source. Needs LibreOffice Writer: apt-get install libreoffice-writer-nogui
set -eu
here=$(cd "$(dirname "$0")" && pwd)
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
soffice --headless --norestore -env:UserInstallation=file://"$out"/profile \
    --infilter="HTML (StarWriter)" --convert-to doc:"MS Word 97" \
    --outdir "$out" "$here/help/vellumarhelp.html" >/dev/null
mkdir -p "$here/../help"
cp "$out/vellumarhelp.doc" "$here/../help/Vellumarhelp.doc"
echo "written: help/Vellumarhelp.doc"
