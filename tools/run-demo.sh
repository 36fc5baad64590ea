#!/usr/bin/env bash
# Installs what the demo needs, builds the engine (not the tests or benchmarks), copies varnel
# into the demo project folder and starts it there. On the first start the demo's database is
# made and filled with the sample rows, so the main window has something to show.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/apt-install.sh \
    cmake make g++ pkg-config \
    qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev qt6-translations-l10n qt6-image-formats-plugins \
    libsqlite3-dev libpq-dev zlib1g-dev libxlsxwriter-dev libzint-dev \
    xvfb xauth fonts-dejavu-core xdg-utils

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DVARNEL_BUILD_TESTS=OFF -DVARNEL_BUILD_BENCH=OFF
cmake --build build -j"$(nproc)" --target varnel init_database

demo=examples/demo
cp build/varnel "$demo/varnel"
build/tools/init_database "$demo/tables.ini" "$demo/sqlite.db" "$demo/sample_data.sql"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    exec xvfb-run -a "$demo/varnel"
fi
exec "$demo/varnel"
