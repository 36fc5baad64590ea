#!/usr/bin/env bash
# Installs, builds and runs every test through CTest (widgets offscreen).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
# The export tests read every written document back with LibreOffice; the package test has
# lintian judge the package. The demo needs neither.
tools/apt-install.sh \
    libreoffice-writer-nogui libreoffice-calc-nogui python3-xlrd lintian
cd build
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)"
