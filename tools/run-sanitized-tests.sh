#!/usr/bin/env bash
# Builds the engine and its tests checked by AddressSanitizer (leak detection on) and
# UndefinedBehaviorSanitizer into build-asan/ and runs every test there; the first finding
# fails its test. Run tools/run-tests.sh first: it installs what both builds need.
set -euo pipefail
cd "$(dirname "$0")/.."

launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
# -O1: ASan's advice for readable reports at a bearable speed, and a quicker build than -O2.
cmake -S . -B build-asan -DVARNEL_SANITIZE=ON -DVARNEL_BUILD_BENCH=OFF \
    -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" "${launcher[@]}"
cmake --build build-asan -j"$(nproc)"

export ASAN_OPTIONS=detect_leaks=1:halt_on_error=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export LSAN_OPTIONS="suppressions=$PWD/tools/lsan.supp:print_suppressions=0"
cd build-asan
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)"
