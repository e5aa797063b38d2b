#!/usr/bin/env bash
# Compiles the files that call Windows directly with the MinGW-w64 cross compiler (syntax only), so
# the Windows branch of the shell keeps compiling although nothing here can run it.
# Usage: tools/check-windows-build.sh GLAD_INCLUDE_DIR BUILD_INFO_DIR (the build's generated BuildInfo.h)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
glad_include=${1:?usage: check-windows-build.sh GLAD_INCLUDE_DIR BUILD_INFO_DIR}
build_info=${2:?usage: check-windows-build.sh GLAD_INCLUDE_DIR BUILD_INFO_DIR}
compiler=x86_64-w64-mingw32-g++-posix

files=(
  Application/CommandLine.cpp
  Application/main.cpp
  Compat/Platform/Source/ExecutablePath.cpp
  Compat/Win32/Source/MessageQueue.cpp
  Engine/App/Application.cpp
  Engine/App/FrameOverlay.cpp
  Engine/Core/DataFolder.cpp
  Engine/Core/Input.cpp
  Engine/Core/Time.cpp
)

# The library headers live in /usr/include, which must not be searched wholesale: glibc's headers
# would shadow MinGW's. Expose just the library folders.
headers=$(mktemp -d)
trap 'rm -rf "$headers"' EXIT
ln -s /usr/include/GLFW "$headers/GLFW"
ln -s /usr/include/imgui "$headers/imgui"

status=0
for file in "${files[@]}"; do
  if ! "$compiler" -std=c++20 -fsyntax-only -Wall -Wextra -Werror \
      -I"$root/Engine" -I"$root" -I"$root/Compat/Win32/include" -I"$root/Compat/FbxSdk/include" \
      -I"$root/Compat/PhysX/include" -I"$root/Compat/Platform/include" \
      -I"$build_info" -isystem "$glad_include" -isystem "$headers" -isystem "$headers/imgui" \
      "$root/$file"; then
    echo "Windows build check failed: $file"
    status=1
  fi
done
[ $status -eq 0 ] && echo "Windows branch compiles: ${#files[@]} files"
exit $status
