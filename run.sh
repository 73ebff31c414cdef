#!/usr/bin/env bash
# Installs what is missing, builds an optimised player, and starts it on the bundled demo song.
# Arguments replace the demo song. BUILD_DIR and BUILD_TYPE (RelWithDebInfo unless set) may be set
# in the environment.
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" >/dev/null
# Only the player and what it links; the tests and benchmarks are test.sh's.
cmake --build "$build" --target vantrelkivo
[ $# -gt 0 ] || set -- "$PWD/demo/vantrel-kivo-demo.mp3"
exec "$build/shell/vantrelkivo" "$@"
