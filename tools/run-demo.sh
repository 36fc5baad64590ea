#!/usr/bin/env bash
# Installs, builds, copies varnel into the demo project folder and starts it there.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh Release
cp build/varnel examples/demo/varnel
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    exec xvfb-run -a examples/demo/varnel
fi
exec examples/demo/varnel
