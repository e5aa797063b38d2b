#!/usr/bin/env bash
# Configures and builds one configuration of Tarnwick with Ninja. Re-running it only rebuilds what
# changed; the options given are always passed to CMake, so a new option takes effect on an existing
# build folder too. Usage: tools/build.sh BUILD_DIR [CMAKE_ARGS...]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${1:?usage: build.sh BUILD_DIR [CMAKE_ARGS...]}
shift

cmake -S "$root" -B "$build_dir" -G Ninja "$@" >/dev/null
cmake --build "$build_dir" --parallel "$(nproc)"
