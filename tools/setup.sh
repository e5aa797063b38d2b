#!/usr/bin/env bash
# Installs the Debian packages Tarnwick needs to build, run and test.
# Idempotent: when every package is present it does nothing and takes a fraction of a second.
set -euo pipefail

packages=(
  # toolchain, test frameworks and the format check
  build-essential cmake pkg-config ninja-build googletest libgtest-dev libgmock-dev libbenchmark-dev clang-format-14
  # libraries the program links
  libglfw3-dev python3-glad libimgui-dev libstb-dev rapidjson-dev libbullet-dev zlib1g-dev
  libgl-dev libegl-dev libdeflate-dev
  # a virtual display with software OpenGL, synthetic input and screenshots
  xvfb xauth libgl1-mesa-dri mesa-utils xdotool x11-utils imagemagick python3-xlib
  # the compile check of the Windows branch
  g++-mingw-w64-x86-64-posix
  # fuzzing the file readers
  clang-14 libclang-rt-14-dev
  # real FBX files no one here wrote, and a reference importer for the benchmarks
  assimp-testmodels libassimp-dev assimp-utils
  # the Debian package (cpack -G DEB): its dependencies worked out from the programs (dpkg-shlibdeps,
  # which CPack finds the programs for with file)
  dpkg-dev file
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" </dev/null
