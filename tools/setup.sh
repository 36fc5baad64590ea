#!/usr/bin/env bash
# Installs what Varnel needs to build, run and test on Debian 12, then builds it.
# Usage: tools/setup.sh [build-type]
set -euo pipefail
cd "$(dirname "$0")/.."

tools/apt-install.sh \
    cmake make g++ pkg-config ccache dpkg-dev file help2man \
    qt6-base-dev qt6-base-dev-tools qt6-tools-dev libqt6opengl6-dev qt6-translations-l10n qt6-image-formats-plugins \
    libsqlite3-dev libpq-dev postgresql zlib1g-dev libxlsxwriter-dev libzint-dev \
    libgtest-dev libbenchmark-dev \
    xvfb xauth fonts-dejavu-core xdg-utils poppler-utils

# ccache keeps what each configuration compiled: a rebuild after a small change, or after a
# switch of branch and back, compiles only what differs.
# The test and benchmark switches are given, because tools/run-demo.sh turns them off in build/.
cmake -S . -B build -DCMAKE_BUILD_TYPE="${1:-RelWithDebInfo}" -DCMAKE_CXX_COMPILER_LAUNCHER=ccache \
    -DVARNEL_BUILD_TESTS=ON -DVARNEL_BUILD_BENCH=ON
cmake --build build -j"$(nproc)"
