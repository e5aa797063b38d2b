#!/usr/bin/env bash
# Fuzzes the FBX reader for SECONDS (default 60) with libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer. Builds in build-fuzz/ with clang-14; the seed corpus (our writer's
# fixtures and the assimp test models) is generated there at run time. Exits non-zero when the
# fuzzer finds a crash, a hang or a leak; the input that caused it is left in build-fuzz/artifacts/.
# For a long run: tools/fuzz-fbx.sh 14400 (the corpus in build-fuzz/corpus grows between runs).
set -euo pipefail

seconds=${1:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-fuzz
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer -g -O1"

mkdir -p "$build"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
  -DTARNWICK_FBX_FUZZER=ON >"$build/configure.log" 2>&1 || { cat "$build/configure.log"; exit 1; }
cmake --build "$build" --target FbxSdkFuzzer FbxFuzzSeeds

seeds=$build/seeds
corpus=$build/corpus
artifacts=$build/artifacts
mkdir -p "$seeds" "$corpus" "$artifacts"
"$build/tests/Compat/FbxSdk/FbxFuzzSeeds" "$seeds"
models=/usr/share/assimp/models/FBX
if [ -d "$models" ]; then
  find "$models" -type f -iname '*.fbx' | while read -r f; do
    cp "$f" "$seeds/assimp_$(echo "${f#$models/}" | tr '/' '_')"
  done
fi

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
"$build/tests/Compat/FbxSdk/FbxSdkFuzzer" "$corpus" "$seeds" \
  -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=262144 \
  -artifact_prefix="$artifacts/" -print_final_stats=1
