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

# Front end: the handheld client in a real window when the desktop has a
# display, otherwise the terminal front end. Arguments go to the front end
# (for the client: --zoom N, --script FILE, --ca-file FILE).
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  if [ -x "$bin/tavrin" ]; then
    echo "Opening the Tavrin client (480 x 800 display; the mouse is the stylus)."
    exec "$bin/tavrin" "$@"
  fi
  echo "The client (tavrin) is not built."
  exit 1
fi
echo "No display (neither DISPLAY nor WAYLAND_DISPLAY is set), so the client's"
echo "window cannot open; running the terminal front end instead."
if [ -x "$bin/tavrin-cli" ]; then
  exec "$bin/tavrin-cli" "$@"
fi
echo "The terminal front end (tavrin-cli) is not built yet. The client runs"
echo "without a display too: $bin/tavrin --headless --script FILE"
