#!/usr/bin/env bash
# Installs what is missing, builds, and starts the player.
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja >/dev/null
cmake --build "$build"
exec "$build/shell/vantrelkivo" "$@"
