#!/usr/bin/env bash
# Installs a build as a user would, then runs what was installed from a folder that has nothing to do
# with it: every program answers --help, --version and an unknown option; fbxinfo reads an installed
# model; fbxrender draws one into a picture; Tarnwick finds its data beside it, and says once, naming
# both places, when there is none.
#   tools/check-install.sh BUILD_DIR            cmake --install into a temporary prefix
#   tools/check-install.sh BUILD_DIR --package  cpack -G DEB into a temporary folder; checks the
#                                               package's contents and dependencies, unpacks it
#                                               (dpkg-deb -x) and checks the unpacked copy the same way
# Everything is written in one temporary folder of its own, removed at the end. fbxrender needs
# OpenGL 4.6 but no display; nothing here uses a display. CMAKE and CPACK name the build's own
# cmake and cpack (default: the ones on PATH).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:?usage: check-install.sh BUILD_DIR [--package]}" && pwd)
mode=${2:-}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
programs=(Tarnwick fbxinfo fbxrender)
# The data as the source tree has it: every file must arrive, byte for byte.
mapfile -t data_files < <(cd "$root" && find Assets Settings -type f | sort)
# Mesa's llvmpipe offers OpenGL 4.5 unless both overrides are set; other drivers ignore them. No
# display of any kind, and no shader cache that could answer for another version.
no_display=(env -u DISPLAY -u WAYLAND_DISPLAY MESA_GL_VERSION_OVERRIDE=4.6 MESA_GLSL_VERSION_OVERRIDE=460
  MESA_SHADER_CACHE_DISABLE=true)

status=0
fail() {
  echo "FAIL: $*"
  status=1
}

# Runs "$@" from the folder $elsewhere, keeping its exit status, standard output and standard error.
run() {
  set +e
  (cd "$elsewhere" && "${no_display[@]}" "$@") >"$scratch/out" 2>"$scratch/err"
  ran=$?
  set -e
  out=$(cat "$scratch/out")
  err=$(cat "$scratch/err")
}

check_tree() {
  local prefix=$1 name
  for name in "${programs[@]}"; do
    [ -x "$prefix/bin/$name" ] || fail "$prefix/bin/$name is not installed"
  done
  for name in "${data_files[@]}"; do
    cmp -s "$root/$name" "$prefix/share/tarnwick/$name" || fail "share/tarnwick/$name is not installed as it is in the source tree"
  done
  [ -f "$prefix/share/doc/tarnwick/README.md" ] || fail "share/doc/tarnwick/README.md is not installed"
  local copyright=$prefix/share/doc/tarnwick/copyright
  for text in "Copyright 2026 the Tarnwick developers. All rights reserved." "Upstream-Name: imgui" \
    "Upstream-Name: stb" "Upstream-Name: glad" "Upstream-Name: rapidjson" "SPDX-License-Identifier:"; do
    grep -qF "$text" "$copyright" 2>/dev/null || fail "share/doc/tarnwick/copyright does not hold \"$text\""
  done
}

check_command_lines() {
  local prefix=$1 name
  for name in "${programs[@]}"; do
    run "$prefix/bin/$name" --help
    [ $ran -eq 0 ] && [[ "$out" == "usage: $name "* ]] && [ -z "$err" ] \
      || fail "$name --help: status $ran, standard output \"${out:0:60}\", standard error \"${err:0:200}\""
    run "$prefix/bin/$name" --version
    [ $ran -eq 0 ] && [[ "$out" == "$name"*" $version" ]] && [ -z "$err" ] \
      || fail "$name --version: status $ran, standard output \"$out\", standard error \"${err:0:200}\""
    run "$prefix/bin/$name" --no-such-option
    [ $ran -eq 64 ] && [ -z "$out" ] && [[ "$err" == *"usage: $name "* ]] \
      || fail "$name --no-such-option: status $ran, standard output \"${out:0:60}\", standard error \"${err:0:200}\""
  done
}

check_tools() {
  local prefix=$1
  local model=$prefix/share/tarnwick/Assets/Models/CabinWall.fbx
  run "$prefix/bin/fbxinfo" "$model"
  [ $ran -eq 0 ] && [[ "$out" == *"status: 0"* ]] \
    || fail "fbxinfo on the installed CabinWall.fbx: status $ran, \"${out:0:200}\" \"${err:0:200}\""
  run "$prefix/bin/fbxrender" "$model" wall.png --size 64
  [ $ran -le 1 ] && [ "$(head -c 8 "$elsewhere/wall.png" 2>/dev/null | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] \
    || fail "fbxrender on the installed CabinWall.fbx: status $ran, no picture written: ${err:0:300}"
  rm -f "$elsewhere/wall.png"
}

# The program has no display here: it reads nothing before its window, but says where its data is
# before it tries to open one.
check_data_lookup() {
  local prefix=$1 data=$1/share/tarnwick
  run "$prefix/bin/Tarnwick"
  [ "$out" = "Tarnwick starting..." ] || fail "Tarnwick: standard output \"${out:0:200}\""
  [[ "$err" != *"no data folder"* ]] || fail "Tarnwick does not find the data installed beside it: $err"

  mv "$data" "$data.away"
  run "$prefix/bin/Tarnwick"
  local expected="Tarnwick: no data folder (Assets/ and Settings/) in $elsewhere (the working directory) or $data (installed with the program); every model, texture, shader and setting will be missing"
  [ "$(grep -c "no data folder" <<<"$err")" -eq 1 ] && grep -qxF "$expected" <<<"$err" \
    || fail "Tarnwick without its data does not say once where it looked: $err"
  run "$prefix/bin/fbxrender" "$data.away/Assets/Models/CabinWall.fbx" wall.png
  [ $ran -eq 72 ] && [ ! -e "$elsewhere/wall.png" ] || fail "fbxrender without its data: status $ran, $err"
  mv "$data.away" "$data"
}

check_installed() {
  local prefix=$1
  elsewhere=$scratch/elsewhere
  mkdir -p "$elsewhere"
  check_tree "$prefix"
  check_command_lines "$prefix"
  check_tools "$prefix"
  check_data_lookup "$prefix"
}

check_package() {
  local packages=$scratch/packages
  if ! "${CPACK:-cpack}" -G DEB --config "$build/CPackConfig.cmake" -B "$packages" >"$scratch/cpack.log" 2>&1; then
    cat "$scratch/cpack.log"
    fail "cpack -G DEB failed"
    return
  fi
  local deb=$packages/tarnwick_${version}_$(dpkg --print-architecture).deb
  [ -f "$deb" ] || { fail "cpack made no $(basename "$deb"): $(ls "$packages")"; return; }

  local listing name
  listing=$(dpkg-deb -c "$deb" | awk '{print $6}')
  for name in "${programs[@]/#/usr/bin/}" "${data_files[@]/#/usr/share/tarnwick/}" usr/share/doc/tarnwick/copyright; do
    grep -qxF "./$name" <<<"$listing" || fail "the package does not hold /$name"
  done
  # Worked out from the programs by dpkg-shlibdeps, not written by hand.
  local depends
  depends=$(dpkg-deb -f "$deb" Depends)
  for name in libc6 libglfw3 libbullet libegl1 libstdc++6; do
    [[ "$depends" == *"$name"* ]] || fail "the package's dependencies do not name $name: $depends"
  done

  dpkg-deb -x "$deb" "$scratch/unpacked"
  check_installed "$scratch/unpacked/usr"
}

if [ "$mode" = --package ]; then
  check_package
  what="The Debian package"
else
  "${CMAKE:-cmake}" --install "$build" --prefix "$scratch/prefix" >"$scratch/install.log" || { cat "$scratch/install.log"; exit 1; }
  check_installed "$scratch/prefix"
  what="An install"
fi
[ $status -eq 0 ] && echo "$what holds the programs, their data and licences, and runs from any folder."
exit $status
