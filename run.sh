#!/usr/bin/env bash
# The main job: installs what is missing, builds, and runs what Tavrin has.
set -euo pipefail
cd "$(dirname "$0")"
./deps/install.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)"
bin=build/default/bin
echo
echo "Built products:"
found=0
for product in libtavrin tavrin-server tavrin-cli tavrin; do
  if ls "$bin/$product"* build/default/lib/"$product"* >/dev/null 2>&1; then
    echo "  $product"
    found=1
  fi
done
[ "$found" -eq 1 ] || echo "  (none yet)"
echo "Nothing runnable yet: the local server and the front ends come with their issues."
