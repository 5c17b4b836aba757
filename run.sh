#!/usr/bin/env bash
# Builds and starts the operator station (installing what is missing first).
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh
scripts/build.sh
# The engine's sandbox cannot run as root.
[ "$(id -u)" -ne 0 ] || export QTWEBENGINE_DISABLE_SANDBOX=1
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  exec xvfb-run -a -s '-screen 0 1400x900x24' build/corvane-ui "$@"
fi
exec build/corvane-ui "$@"
