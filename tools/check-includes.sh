#!/usr/bin/env bash
# The layering rule the include paths alone cannot enforce: outside Compat/, no source file includes
# an operating-system header, a Bullet header, GLFW's native-access header or a stand-in's
# implementation; and the engine never includes the game. (The include paths already keep Bullet,
# the game and the stand-ins' Source/ folders off the engine's path; system headers are always
# reachable, so they are checked here.) Prints each offending line; exits 1 if there is one.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

forbidden='#include[[:space:]]*[<"]('
forbidden+='sys/|unistd\.h|windows\.h|cxxabi\.h|pthread\.h|dlfcn\.h|fcntl\.h'
forbidden+='|btBulletDynamicsCommon\.h|BulletCollision/|BulletDynamics/|LinearMath/'
forbidden+='|GLFW/glfw3native\.h|EGL/|Source/|Compat/'
forbidden+=')'

status=0
if grep -rnE "$forbidden" --include='*.h' --include='*.cpp' Engine Application tools; then
  echo "These includes belong behind Compat/ (Platform, Win32 or a stand-in's include/)."
  status=1
fi
if grep -rnE '#include[[:space:]]*"Application/' --include='*.h' --include='*.cpp' Engine; then
  echo "The engine includes the game: it must reach it through the hooks the program installs."
  status=1
fi
[ $status -eq 0 ] && echo "Engine, game and tools include nothing from behind Compat/."
exit $status
