#!/usr/bin/env bash
# Configures and builds one configuration of Tarnwick with Ninja. Re-running it only rebuilds what
# changed; the options given are always passed to CMake, so a new option takes effect on an existing
# build folder too. With --target NAME (repeatable) only those targets and what they need are built;
# without, everything.
# Usage: tools/build.sh BUILD_DIR [--target NAME]... [CMAKE_ARGS...]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${1:?usage: build.sh BUILD_DIR [--target NAME]... [CMAKE_ARGS...]}
shift

targets=()
cmake_args=()
while [ $# -gt 0 ]; do
  if [ "$1" = --target ]; then
    targets+=(--target "${2:?--target needs a name}")
    shift 2
  else
    cmake_args+=("$1")
    shift
  fi
done

cmake -S "$root" -B "$build_dir" -G Ninja "${cmake_args[@]}" >/dev/null
cmake --build "$build_dir" --parallel "$(nproc)" "${targets[@]}"
