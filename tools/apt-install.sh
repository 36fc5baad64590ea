#!/usr/bin/env bash
# Installs the named Debian packages (through sudo when not run as root), without the
# recommended extras. The set-up scripts share it.
# Usage: tools/apt-install.sh PACKAGE...
set -euo pipefail
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends "$@"
