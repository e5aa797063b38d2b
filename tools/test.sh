#!/usr/bin/env bash
# Sets up, builds and runs every test: the normal build, then the same tests built with
# AddressSanitizer and UndefinedBehaviorSanitizer; also builds everything in Release. Starts a virtual
# display when there is none.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash tools/setup.sh
# Our own checks treat warnings as errors; a user's build does not.
checks=(-DTARNWICK_WARNINGS_AS_ERRORS=ON)
bash tools/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo "${checks[@]}"
bash tools/build.sh build-sanitize -DCMAKE_BUILD_TYPE=Debug -DTARNWICK_SANITIZE=ON "${checks[@]}"
# Release is what most users and packagers build; its optimiser sees more (and warns differently).
# Everything, the benchmarks too, must build there; the tests run in the two builds above.
echo "== Release build"
bash tools/build.sh build-release -DCMAKE_BUILD_TYPE=Release -DTARNWICK_BUILD_BENCHMARKS=ON "${checks[@]}"

source tools/display.sh
trap stop_private_display EXIT
ensure_display

# A stale on-disk shader cache can answer for another GL version; tests never use it.
export MESA_SHADER_CACHE_DISABLE=true
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$root/tools/lsan.supp:print_suppressions=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

status=0
echo "== Format (.clang-format)"
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format-14 --dry-run --Werror || status=1
echo "== Tests"
ctest --test-dir build --output-on-failure --parallel 2 || status=1
echo "== Tests under AddressSanitizer and UndefinedBehaviorSanitizer"
ctest --test-dir build-sanitize --output-on-failure --parallel 2 || status=1
echo "== Fuzzing the FBX reader, the whole import and the settings file (60 s, side by side)"
bash tools/fuzz.sh 60 || status=1
exit $status
