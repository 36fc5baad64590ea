#!/usr/bin/env bash
# Installs what the build needs, builds the engine in build-package/ (no tests, no benchmarks)
# and makes its Debian package there: build-package/varnel_<version>_<architecture>.deb.
# Install it with: sudo apt-get install ./build-package/varnel_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."

tools/apt-install.sh \
    cmake make g++ pkg-config dpkg-dev file help2man \
    qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev qt6-translations-l10n qt6-image-formats-plugins \
    libsqlite3-dev libpq-dev zlib1g-dev libxlsxwriter-dev libzint-dev \
    fonts-dejavu-core xdg-utils

cmake -S . -B build-package -DCMAKE_BUILD_TYPE=Release -DVARNEL_BUILD_TESTS=OFF -DVARNEL_BUILD_BENCH=OFF
cmake --build build-package -j"$(nproc)"
cd build-package
cpack -G DEB
