#!/usr/bin/env bash
# tools/fuzz.sh [SECONDS]: fuzzes the files a user hands the program for SECONDS (default 60) with
# libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer, five fuzzers side by side:
#   reader    the FBX reader and the stand-in's scene calls, from any file (FbxSdkFuzzer)
#   ascii     the same from ASCII FBX files (FbxAsciiFuzzer)
#   import    the engine's whole import as `fbxinfo --import` runs it (ImportFuzzer)
#   texture   texture images through our header checks and caps over stb_image (TextureFuzzer)
#   settings  the collision settings file (SettingsFuzzer)
# Builds in build-fuzz/ with clang-14. Each fuzzer starts from its kept corpus in tests/FuzzCorpora/
# (minimised, committed, so that coverage grows from one session to the next) and from seeds made at
# run time (our writer's fixtures, the assimp test models, the shipped textures and settings); what it
# finds new goes to build-fuzz/corpus/<fuzzer>/, which grows between runs. Exits non-zero when any
# fuzzer finds a crash, a hang or a leak; the input that caused it is left in
# build-fuzz/artifacts/<fuzzer>/.
#
# tools/fuzz.sh merge: minimises each kept corpus together with what build-fuzz/corpus/ has found (its
# inputs of up to 8 KiB) into a fresh folder that replaces it (libFuzzer's -merge=1), for committing.
# The inputs of past findings (named finding-<what it was>) stay whatever the merge says of them.
#
# For a long run: tools/fuzz.sh 14400, then tools/fuzz.sh merge.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-fuzz
kept=$root/tests/FuzzCorpora
fuzzers=(reader ascii import texture settings)
# Inputs past this size are not tried: they only slow the search, and the kept corpora stay small.
max_len=262144
# An input that takes longer than this is a hang. A large image that the caps allow takes a second or
# two under the sanitizers, several times that on a machine shared with builds.
timeout=30
# The merge keeps only inputs up to this size, so the committed corpora stay small: the large inputs
# a run finds grow from the seeds (the assimp models, our writer's files), which each run makes again.
kept_input_bytes=8192

# What each fuzzer's binary is, and what its kept corpus holds.
binary() {
  case $1 in
    reader) echo "$build/tests/Compat/FbxSdk/FbxSdkFuzzer" ;;
    ascii) echo "$build/tests/Compat/FbxSdk/FbxAsciiFuzzer" ;;
    import) echo "$build/tests/ImportFuzzer" ;;
    texture) echo "$build/tests/TextureFuzzer" ;;
    settings) echo "$build/tests/Physics/SettingsFuzzer" ;;
  esac
}
corpus_name() {
  case $1 in
    reader) echo fbx-files ;;
    ascii) echo fbx-text-files ;;
    import) echo imported-fbx-files ;;
    texture) echo texture-images ;;
    settings) echo collision-settings ;;
  esac
}

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
cmake --build "$build" --target FbxSdkFuzzer FbxAsciiFuzzer ImportFuzzer TextureFuzzer SettingsFuzzer FbxFuzzSeeds

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
# The suppressions are added to whatever the caller set (the test command sets its own options).
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}:suppressions=$root/tools/ubsan.supp"

if [ "${1:-}" = merge ]; then
  for name in "${fuzzers[@]}"; do
    into=$build/merged/$name
    rm -rf "$into"
    small=$build/small/$name
    rm -rf "$small"
    mkdir -p "$into" "$small" "$build/corpus/$name" "$kept/$(corpus_name "$name")"
    find "$build/corpus/$name" -maxdepth 1 -type f -size -$((kept_input_bytes + 1))c -exec cp {} "$small/" \;
    "$(binary "$name")" -merge=1 -max_len=$max_len -rss_limit_mb=2048 -timeout=$timeout "$into" \
      "$kept/$(corpus_name "$name")" "$small" >"$build/$name-merge.log" 2>&1
    # What a finding's input covers may already be covered, after its fix, by others: it is kept
    # whatever the merge says, so that every fixed fault is tried again on each run.
    find "$kept/$(corpus_name "$name")" -maxdepth 1 -type f -name 'finding-*' -exec cp {} "$into/" \;
    rm -rf "${kept:?}/$(corpus_name "$name")"
    mv "$into" "$kept/$(corpus_name "$name")"
    echo "fuzz: $name: $(ls "$kept/$(corpus_name "$name")" | wc -l) inputs," \
      "$(du -sh "$kept/$(corpus_name "$name")" | cut -f1) in tests/FuzzCorpora/$(corpus_name "$name")"
  done
  exit 0
fi
seconds=${1:-60}

# ---- seeds made at run time

fbxSeeds=$build/seeds/fbx
textSeeds=$build/seeds/fbx-text
imageSeeds=$build/seeds/images
settingsSeeds=$build/seeds/settings
rm -rf "$build/seeds"
mkdir -p "$fbxSeeds" "$textSeeds" "$imageSeeds" "$settingsSeeds"
"$build/tests/Compat/FbxSdk/FbxFuzzSeeds" "$fbxSeeds"
models=/usr/share/assimp/models/FBX
if [ -d "$models" ]; then
  find "$models" -type f -iname '*.fbx' | while read -r f; do
    cp "$f" "$fbxSeeds/assimp_$(echo "${f#$models/}" | tr '/' '_')"
  done
fi
# The text files among them.
for f in "$fbxSeeds"/*; do
  head -c 18 "$f" | grep -q 'Kaydara FBX Binary' || cp "$f" "$textSeeds/"
done

cp "$root"/Assets/Textures/*.png "$imageSeeds/"
# Every format stb_image reads, and the PNG variants: 16 bits, a palette, grey with alpha.
if command -v convert >/dev/null; then
  for format in jpg tga bmp gif psd pgm hdr; do
    convert -size 9x7 gradient:red-blue "$imageSeeds/gradient.$format" 2>/dev/null || true
  done
  convert -size 9x7 gradient:red-blue -depth 16 "PNG48:$imageSeeds/sixteen.png" 2>/dev/null || true
  convert -size 9x7 gradient:red-blue "PNG8:$imageSeeds/palette.png" 2>/dev/null || true
  convert -size 9x7 gradient:white-black -alpha on "PNG32:$imageSeeds/grey-alpha.png" 2>/dev/null || true
fi

cp "$root/Settings/Collisionlayers.json" "$settingsSeeds/shipped.json"
printf '\xEF\xBB\xBF{"Layer":[17,0,0,0,1]}' >"$settingsSeeds/bom.json"
printf '{"Layer":[1.5,"2",true,null,[1],{},4294967301,-1]}' >"$settingsSeeds/odd-elements.json"
printf '{"Other":{"Layer":[8]},"Layer":[[[[[]]]]]}' >"$settingsSeeds/nested.json"
printf '{"Layer":[1],"Layer":[2],"Caf\xE9":0}' >"$settingsSeeds/repeated-and-latin1.json"

seedsOf() {
  case $1 in
    reader | import) echo "$fbxSeeds" ;;
    ascii) echo "$textSeeds" ;;
    texture) echo "$imageSeeds" ;;
    settings) echo "$settingsSeeds" ;;
  esac
}

# Runs one fuzzer in the background, its output in build-fuzz/<name>.log.
start_fuzzer() {
  local name=$1
  mkdir -p "$build/corpus/$name" "$build/artifacts/$name" "$kept/$(corpus_name "$name")"
  "$(binary "$name")" "$build/corpus/$name" "$kept/$(corpus_name "$name")" "$(seedsOf "$name")" \
    -max_total_time="$seconds" -timeout=$timeout -rss_limit_mb=2048 -max_len=$max_len \
    -artifact_prefix="$build/artifacts/$name/" -print_final_stats=1 >"$build/$name.log" 2>&1 &
  eval "pid_$name=$!"
}

for name in "${fuzzers[@]}"; do
  start_fuzzer "$name"
done

status=0
for name in "${fuzzers[@]}"; do
  pid_var=pid_$name
  found=0
  wait "${!pid_var}" || found=1
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
