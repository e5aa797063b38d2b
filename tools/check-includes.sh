#!/usr/bin/env bash
# The layering rule the include paths alone cannot enforce: outside Compat/, no source file includes
# an operating-system header, a Bullet header, GLFW's native-access header or a stand-in's
# implementation; the engine never includes the game; and inside the engine no folder includes a
# folder of a layer above its own. (The include paths already keep Bullet, the game and the
# stand-ins' Source/ folders off the engine's path; system headers are always reachable, and every
# engine folder reaches every other, so they are checked here.) Prints each offending line; exits 1
# if there is one.
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
# The engine's layers, lowest first (the README's Layout section says why): a folder may include its
# own layer and the layers below it. Graphics and Physics are one layer; neither includes the other.
declare -A layer_rank=([Math]=0 [Core]=1 [Scene]=2 [Assets]=3 [Graphics]=4 [Physics]=4 [App]=5)
# The includes of a higher layer the engine's design needs, as "including file:included file".
upward_exceptions=(
  # The player's camera carries the material every thrown ball is drawn with.
  'Scene/InspectorCamera.h:Graphics/Material.h'
)
layer_status=0
while IFS=: read -r file line text; do
  relative=${file#Engine/}
  from=${relative%%/*}
  included=$(sed -nE 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"([^"]+)".*/\1/p' <<<"$text")
  to=${included%%/*}
  [ -n "${layer_rank[$from]:-}" ] && [ -n "${layer_rank[$to]:-}" ] && [ "$from" != "$to" ] || continue
  [ "${layer_rank[$to]}" -lt "${layer_rank[$from]}" ] && continue
  [[ " ${upward_exceptions[*]} " == *" $relative:$included "* ]] && continue
  echo "$file:$line: $text"
  layer_status=1
done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[A-Za-z]+/' --include='*.h' --include='*.cpp' Engine)
if [ $layer_status -ne 0 ]; then
  echo "These engine files include a layer above their own (Math < Core < Scene < Assets < Graphics, Physics < App)."
  status=1
fi

[ $status -eq 0 ] && echo "Engine, game and tools include nothing from behind Compat/; the engine's layers include only downwards."
exit $status
