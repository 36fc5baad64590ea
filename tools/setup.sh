#!/usr/bin/env bash
# Installs what Varnel needs to build, run and test on Debian 12, then builds it.
# Usage: tools/setup.sh [build-type]
set -euo pipefail
cd "$(dirname "$0")/.."

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends \
    cmake make g++ pkg-config ccache \
    qt6-base-dev qt6-base-dev-tools qt6-tools-dev libqt6opengl6-dev qt6-translations-l10n qt6-image-formats-plugins \
    libsqlite3-dev libpq-dev postgresql zlib1g-dev libxlsxwriter-dev \
    libgtest-dev libbenchmark-dev \
    xvfb xauth fonts-dejavu-core poppler-utils

# ccache keeps what each configuration compiled: a rebuild after a small change, or after a
# switch of branch and back, compiles only what differs.
cmake -S . -B build -DCMAKE_BUILD_TYPE="${1:-RelWithDebInfo}" -DCMAKE_CXX_COMPILER_LAUNCHER=ccache
cmake --build build -j"$(nproc)"
