#!/usr/bin/env bash
# Regenerates every asset our tools make into a scratch folder and compares each file byte for byte
# with the committed copy, so the committed assets are always what the tools produce.
# Usage: tools/check-assets.sh MAKE_ASSETS_PROGRAM
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
make_assets=${1:?usage: check-assets.sh MAKE_ASSETS_PROGRAM}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

"$make_assets" "$scratch"

status=0
count=0
while IFS= read -r -d '' generated; do
  relative=${generated#"$scratch"/}
  count=$((count + 1))
  if ! cmp -s "$generated" "$root/Assets/$relative"; then
    echo "Assets/$relative differs from what the asset tool makes (run: make-assets Assets)"
    status=1
  fi
done < <(find "$scratch" -type f -print0)

[ "$count" -gt 0 ] || { echo "the asset tool made nothing"; exit 1; }
[ $status -eq 0 ] && echo "All $count generated assets match the committed files."
exit $status
