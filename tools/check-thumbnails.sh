#!/usr/bin/env bash
# The README's model thumbnails (docs/thumbnails) are what fbxrender draws today: each is drawn afresh
# by tools/make-thumbnails.sh and compared pixel by pixel with the committed one. With
# TARNWICK_UPDATE_DOCS=1 the committed ones are replaced instead.
#   tools/check-thumbnails.sh FBXRENDER
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
fbxrender=$1
docs="$root/docs/thumbnails"

if [ -n "${TARNWICK_UPDATE_DOCS:-}" ]; then
  bash "$root/tools/make-thumbnails.sh" "$fbxrender" "$docs"
  echo "wrote $docs"
  exit 0
fi

fresh=$(mktemp -d)
trap 'rm -rf "$fresh"' EXIT
bash "$root/tools/make-thumbnails.sh" "$fbxrender" "$fresh"

# Rasterisers round differently: a colour within 2 % counts as the same, and a few pixels along
# the edges may differ.
max_differing=64
status=0
for model in "$root"/Assets/Models/*.fbx; do
  name=$(basename "$model" .fbx)
  if [ ! -f "$docs/$name.png" ]; then
    echo "docs/thumbnails/$name.png is missing: run tools/make-thumbnails.sh"
    status=1
    continue
  fi
  differing=$(compare -metric AE -fuzz 2% "$docs/$name.png" "$fresh/$name.png" null: 2>&1 || true)
  if ! [[ "$differing" =~ ^[0-9]+$ ]] || [ "$differing" -gt "$max_differing" ]; then
    echo "docs/thumbnails/$name.png differs from what fbxrender draws ($differing pixels): run tools/make-thumbnails.sh"
    status=1
  fi
done
for thumbnail in "$docs"/*.png; do
  name=$(basename "$thumbnail" .png)
  if [ ! -f "$root/Assets/Models/$name.fbx" ]; then
    echo "docs/thumbnails/$name.png has no model in Assets/Models"
    status=1
  fi
done
[ $status -eq 0 ] && echo "The thumbnails in docs/thumbnails are what fbxrender draws."
exit $status
