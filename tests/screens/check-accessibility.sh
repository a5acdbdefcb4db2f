#!/bin/sh
# Starts the program on a virtual screen with the accessibility bus a screen reader uses and
# prints what that bus shows of it (roles and names). Needs at-spi2-core, python3-pyatspi,
# dbus and xvfb; run it from a build folder that holds src/vellumar:
#   dbus-run-session -- sh ../tests/screens/check-accessibility.sh
set -eu
here=$(cd "$(dirname "$0")" && pwd)
program=$(pwd)/src/vellumar
/usr/libexec/at-spi-bus-launcher --launch-immediately &
bus=$!
sleep 1
# Books of its own: the build is an installed copy, whose books live in the data folder.
XDG_DATA_HOME=$(mktemp -d) QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 xvfb-run -a -s "-screen 0 1280x800x24" "$program" &
sleep 5
/usr/bin/python3 "$here/atspi_tree.py" || status=$?
pkill -f "$program" || true
kill "$bus" 2>/dev/null || true
exit "${status:-0}"
