#!/usr/bin/env bash
# Installs, builds and runs every test through CTest (widgets offscreen).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
cd build
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)"
