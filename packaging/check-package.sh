#!/bin/sh
# Builds the Debian package from a build folder and checks it as a user's system would see it:
# every file at its place, the desktop entry and the AppStream data accepted by the desktop's
# own validators, lintian without errors (and no warning but the ones README justifies), the
# dependencies installable here, the icons of the sizes their folders name, and the ledger file
# type recognised by the MIME database built from the packaged description.
#   packaging/check-package.sh BUILD_DIR MIME_TEST SOURCE_DIR
# Exits 77 (a skip) when a tool is missing, unless VELLUMAR_REQUIRE_ALL_TESTS is set.
set -eu
build=$(cd "$1" && pwd)
mime_test=$2
source_dir=$(cd "$3" && pwd)
app_id=io.github.vellumar.Vellumar

for tool in cpack dpkg-deb dpkg-shlibdeps desktop-file-validate appstreamcli lintian file \
    update-mime-database apt-get; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "missing tool: $tool (sh scripts/install-deps.sh test)"
        [ -n "${VELLUMAR_REQUIRE_ALL_TESTS:-}" ] && exit 1
        exit 77
    fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

(cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) ||
    { cat "$work/cpack.log"; exit 1; }
set -- "$work"/out/vellumar_*_amd64.deb
[ $# -eq 1 ] && [ -f "$1" ] || { echo "FAIL: no single vellumar_*_amd64.deb"; exit 1; }
deb=$1
echo "built $(basename "$deb")"

# Every file at its place, and nothing a system would not expect.
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' >"$work/contents"
for path in \
    /usr/bin/vellumar \
    /usr/share/applications/$app_id.desktop \
    /usr/share/metainfo/$app_id.metainfo.xml \
    /usr/share/mime/packages/vellumar-ledger.xml \
    /usr/share/icons/hicolor/16x16/apps/$app_id.png \
    /usr/share/icons/hicolor/22x22/apps/$app_id.png \
    /usr/share/icons/hicolor/24x24/apps/$app_id.png \
    /usr/share/icons/hicolor/32x32/apps/$app_id.png \
    /usr/share/icons/hicolor/48x48/apps/$app_id.png \
    /usr/share/icons/hicolor/64x64/apps/$app_id.png \
    /usr/share/icons/hicolor/128x128/apps/$app_id.png \
    /usr/share/icons/hicolor/256x256/apps/$app_id.png \
    /usr/share/icons/hicolor/scalable/apps/$app_id.svg \
    /usr/share/vellumar/help/Vellumarhelp.doc \
    /usr/share/man/man1/vellumar.1.gz \
    /usr/share/doc/vellumar/copyright \
    /usr/share/doc/vellumar/changelog.Debian.gz; do
    grep -qx "$path" "$work/contents" || fail "not in the package: $path"
done
grep -v '^/usr/' "$work/contents" | grep -v '^/$' && fail "files outside /usr"
# An installed copy keeps its books in each user's own folder: never the portable marker.
grep -q '/portable$' "$work/contents" && fail "the package carries the portable marker"

dpkg-deb -x "$deb" "$work/root"
share="$work/root/usr/share"
desktop-file-validate "$share/applications/$app_id.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$share/metainfo/$app_id.metainfo.xml" || fail "appstreamcli"

# One name everywhere: the desktop entry, its icon, the AppStream id and its launchable.
entry="$share/applications/$app_id.desktop"
grep -qx "Icon=$app_id" "$entry" || fail "the desktop entry's icon is not $app_id"
grep -qx 'Exec=vellumar %f' "$entry" || fail "the desktop entry does not pass the file"
grep -qx 'MimeType=application/x-vellumar-ledger;' "$entry" || fail "no ledger type in the entry"
grep -q "<id>$app_id</id>" "$share/metainfo/$app_id.metainfo.xml" || fail "AppStream id"
grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" \
    "$share/metainfo/$app_id.metainfo.xml" || fail "AppStream launchable"
grep -q 'mime-type type="application/x-vellumar-ledger"' \
    "$share/mime/packages/vellumar-ledger.xml" || fail "the MIME file has no ledger type"

# The screenshots software centres show are the pictures kept in resources/screenshots, at
# the sizes the AppStream data gives.
grep -o 'width="[0-9]*" height="[0-9]*">[^<]*' "$share/metainfo/$app_id.metainfo.xml" |
    sed 's/width="\([0-9]*\)" height="\([0-9]*\)">.*\/\([^/]*\)$/\1 \2 \3/' >"$work/shots"
[ "$(wc -l <"$work/shots")" -ge 3 ] || fail "fewer than three screenshots with their sizes"
while read -r width height name; do
    file "$source_dir/resources/screenshots/$name" | grep -q "PNG image data, $width x $height," ||
        fail "screenshot $name is not a $width x $height picture in resources/screenshots"
done <"$work/shots"

for size in 16 22 24 32 48 64 128 256; do
    file "$share/icons/hicolor/${size}x${size}/apps/$app_id.png" |
        grep -q "PNG image data, $size x $size," || fail "the ${size}x${size} icon is not that size"
done
file "$work/root/usr/bin/vellumar" | grep -q ', stripped' || fail "the program is not stripped"

# Errors fail; so does a warning that README does not list with its reason.
lintian --allow-root --display-info "$deb" >"$work/lintian.log" 2>&1 || true
cat "$work/lintian.log"
grep -q '^E: ' "$work/lintian.log" && fail "lintian reports errors"
grep '^W: ' "$work/lintian.log" | grep -v ' initial-upload-closes-no-bugs ' && fail "new lintian warnings"

# Everything it depends on can be installed here.
apt-get install --simulate "$deb" >"$work/apt.log" 2>&1 || { cat "$work/apt.log"; fail "apt-get"; }
grep -q '^Inst vellumar ' "$work/apt.log" || { cat "$work/apt.log"; fail "apt would not install it"; }

# The desktop types ledger files by the packaged description.
VELLUMAR_MIME_XML="$share/mime/packages/vellumar-ledger.xml" QT_QPA_PLATFORM=offscreen \
    "$mime_test" >"$work/mime.log" 2>&1 || { cat "$work/mime.log"; fail "ledger file type"; }

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "the package is sound"
