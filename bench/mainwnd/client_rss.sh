#!/bin/sh
# The real client's resident memory after login with 2,000 contacts in 40
# buddy lists: seeds a server data folder (bench_mainwnd --seed), starts
# tavrin-server on it, signs in with the headless client through its login
# screen and reads the client's VmRSS while the main window shows.
# Usage: bench/mainwnd/client_rss.sh [BUILD_DIR [SCREENSHOT.png]]
#        (default build/default; the screenshot shows what was measured)
set -eu
build=${1:-build/default}
bin=$(cd "$build/bin" && pwd)
work=$(mktemp -d)
trap 'kill $server 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir "$work/data"
"$bin/bench_mainwnd" --seed "$work/data"
"$bin/tavrin-server" --data "$work/data" --nav-port 0 --sipc-port 0 --no-signin \
  >"$work/ports" 2>/dev/null &
server=$!
for _ in 1 2 3 4 5 6 7 8 9 10; do
  [ -s "$work/ports" ] && break
  sleep 0.5
done
sipc=$(sed -n 's/.*sipc=\([0-9]*\).*/\1/p' "$work/ports")
cat >"$work/script" <<SCRIPT
wait 300
tap 265 222
text 300000000
tap 265 302
text bench
tap 240 380
wait 8000
screenshot $work/main.png
wait 4000
quit
SCRIPT
cp -r "$bin" "$work/install"
rm -f "$work/install/BriskLibTavrinSetting.xml"
"$work/install/tavrin" --headless --script "$work/script" --server "127.0.0.1:$sipc" \
  --instance-dir "$work" &
client=$!
sleep 10
rss=$(sed -n 's/^VmRSS:[[:space:]]*\([0-9]*\) kB/\1/p' "/proc/$client/status")
wait $client
[ $# -ge 2 ] && cp "$work/main.png" "$2"
echo "client VmRSS after login: $((rss / 1024)) MiB ($rss kB)"
