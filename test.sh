#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test. Exits non-zero on any failure.
# BUILD_DIR, BUILD_TYPE (RelWithDebInfo unless set: optimised, with debug information and
# assertions off, as the player is shipped) and SANITIZE (address,undefined or thread) may be set
# in the environment.
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" \
    -DSANITIZE="${SANITIZE:-}" >/dev/null
cmake --build "$build"
cd "$build"
ctest --output-on-failure --timeout 600 -j "$(nproc)"
