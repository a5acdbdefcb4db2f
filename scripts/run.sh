#!/bin/sh
# Installs what is missing, builds the program and starts it.
# The program and its data live in app/ at the top of the checkout: rebuilding replaces the
# program there but never touches app/source, where the shop's books are kept.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

sh scripts/install-deps.sh
# A portable copy: the marker app/portable keeps the books in app/source, beside the program.
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELLUMAR_PORTABLE=ON \
    -DVELLUMAR_BUILD_TESTS=OFF -DVELLUMAR_BUILD_BENCH=OFF >/dev/null
cmake --build build-release
cmake --install build-release --prefix "$top/app" >/dev/null

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "没有图形桌面（DISPLAY 未设置），程序在虚拟屏幕 Xvfb 上启动。"
    exec xvfb-run -a -s "-screen 0 1280x800x24" "$top/app/vellumar"
fi
exec "$top/app/vellumar"
