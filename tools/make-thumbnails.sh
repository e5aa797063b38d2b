#!/usr/bin/env bash
# Writes a thumbnail of every model the program ships (Assets/Models/*.fbx), drawn by fbxrender as the
# engine draws it, to docs/thumbnails/<model>.png, or to the folder given second. Needs no display.
#   tools/make-thumbnails.sh [FBXRENDER] [FOLDER]   (default build/tools/fbxrender/fbxrender, docs/thumbnails)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
fbxrender=$(realpath "${1:-$root/build/tools/fbxrender/fbxrender}")
out=$(mkdir -p "${2:-$root/docs/thumbnails}" && cd "${2:-$root/docs/thumbnails}" && pwd)

# The README's thumbnails: small, from the three-quarter view that shows three sides at once.
size=256
view=iso

# Mesa's llvmpipe offers OpenGL 4.5 unless both overrides are set; other drivers ignore them. No
# shader cache, which could answer for another version.
export MESA_GL_VERSION_OVERRIDE=4.6 MESA_GLSL_VERSION_OVERRIDE=460 MESA_SHADER_CACHE_DISABLE=true

cd "$root"
for model in Assets/Models/*.fbx; do
  name=$(basename "$model" .fbx)
  status=0
  "$fbxrender" "$model" "$out/$name.png" --size "$size" --view "$view" || status=$?
  # 1 is an import with warnings: the picture is written all the same.
  if [ "$status" -gt 1 ]; then
    echo "make-thumbnails: $model: fbxrender ended with $status" >&2
    exit 1
  fi
done
