#!/usr/bin/env bash
# Fuzzes the files a user hands the program for SECONDS (default 60) with libFuzzer, AddressSanitizer
# and UndefinedBehaviorSanitizer: three fuzzers side by side, one on the FBX reader and the stand-in's
# scene calls (FbxSdkFuzzer), one on the engine's whole import as `fbxinfo --import` runs it
# (ImportFuzzer), one on the collision settings file (SettingsFuzzer).
# Builds in build-fuzz/ with clang-14; the seed corpora (our writer's fixtures and the assimp test
# models; the shipped settings file and a few variants) are generated there at run time. Exits
# non-zero when any fuzzer finds a crash, a hang or a leak; the input that caused it is left in
# build-fuzz/artifacts/<fuzzer>/.
# For a long run: tools/fuzz.sh 14400 (the corpora in build-fuzz/corpus/ grow between runs).
set -euo pipefail

seconds=${1:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-fuzz
# Pointer overflow stays recoverable only so that tools/ubsan.supp can name the one report in a
# library header that is not ours to fix; halt_on_error still ends the run on any other.
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fsanitize-recover=pointer-overflow"
flags="$flags -fno-omit-frame-pointer -g -O1"

mkdir -p "$build"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
  -DTARNWICK_FUZZERS=ON >"$build/configure.log" 2>&1 || { cat "$build/configure.log"; exit 1; }
cmake --build "$build" --target FbxSdkFuzzer ImportFuzzer SettingsFuzzer FbxFuzzSeeds

seeds=$build/seeds
mkdir -p "$seeds"
"$build/tests/Compat/FbxSdk/FbxFuzzSeeds" "$seeds"
models=/usr/share/assimp/models/FBX
if [ -d "$models" ]; then
  find "$models" -type f -iname '*.fbx' | while read -r f; do
    cp "$f" "$seeds/assimp_$(echo "${f#$models/}" | tr '/' '_')"
  done
fi

settingsSeeds=$build/settings-seeds
mkdir -p "$settingsSeeds"
cp "$root/Settings/Collisionlayers.json" "$settingsSeeds/shipped.json"
printf '\xEF\xBB\xBF{"Layer":[17,0,0,0,1]}' >"$settingsSeeds/bom.json"
printf '{"Layer":[1.5,"2",true,null,[1],{},4294967301,-1]}' >"$settingsSeeds/odd-elements.json"
printf '{"Other":{"Layer":[8]},"Layer":[[[[[]]]]]}' >"$settingsSeeds/nested.json"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
# The suppressions are added to whatever the caller set (the test command sets its own options).
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}:suppressions=$root/tools/ubsan.supp"

# Runs one fuzzer in the background, its output in build-fuzz/<name>.log.
start_fuzzer() {
  local name=$1 binary=$2 seedFolder=$3
  mkdir -p "$build/corpus/$name" "$build/artifacts/$name"
  "$binary" "$build/corpus/$name" "$seedFolder" \
    -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=262144 \
    -artifact_prefix="$build/artifacts/$name/" -print_final_stats=1 >"$build/$name.log" 2>&1 &
}

start_fuzzer reader "$build/tests/Compat/FbxSdk/FbxSdkFuzzer" "$seeds"
reader=$!
start_fuzzer import "$build/tests/ImportFuzzer" "$seeds"
import=$!
start_fuzzer settings "$build/tests/Physics/SettingsFuzzer" "$settingsSeeds"
settings=$!

status=0
for name in reader import settings; do
  pid=${!name}
  found=0
  wait "$pid" || found=1
  if [ "$found" = 0 ]; then
    echo "fuzz: $name: no finding"
  else
    echo "fuzz: $name: FOUND A FAULT (input in build-fuzz/artifacts/$name/)"
    status=1
  fi
  # The fuzzer's own summary: executions, coverage and, after a finding, how it ended.
  grep -E '^(#[0-9]+ +DONE|Done|stat::)' "$build/$name.log" | sed "s/^/  $name: /" || true
  [ "$found" = 0 ] || tail -40 "$build/$name.log" | sed "s/^/  $name: /"
done
exit $status
