#!/usr/bin/env bash
# Sets up, builds and starts Tarnwick. Where there is no display it starts a virtual one and writes a
# screenshot of the running program to build/screenshot.png a few seconds after start.
# The program runs until Escape (in its window) or Ctrl-C (here).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash tools/setup.sh
# The program alone (its data is in the source tree): not the tests, tools or benchmarks.
bash tools/build.sh build --target Tarnwick -DCMAKE_BUILD_TYPE=RelWithDebInfo

source tools/display.sh
program_pid=""
cleanup() {
  if [ -n "$program_pid" ]; then kill "$program_pid" 2>/dev/null || true; fi
  stop_private_display
}
trap cleanup EXIT
trap 'exit 130' INT TERM
ensure_display

screenshot_delay=5
screenshot=build/screenshot.png

# The program reads its assets relative to the working directory: the project root.
./build/Tarnwick &
program_pid=$!

if [ -n "$TARNWICK_XVFB_PID" ]; then
  (
    sleep "$screenshot_delay"
    if kill -0 "$program_pid" 2>/dev/null && import -window root "$screenshot" 2>/dev/null; then
      echo "Screenshot of the running program: $root/$screenshot"
    fi
  ) &
  echo "Running on a virtual display: press Ctrl-C to stop."
fi

set +e
wait "$program_pid"
status=$?
set -e
program_pid=""
if [ $status -ne 0 ]; then
  echo "Tarnwick ended with exit code $status."
fi
exit $status
