#!/usr/bin/env bash
# The main job: installs what is missing, builds, starts the local service
# with its demo world, and opens a front end signed in as a demo user.
set -euo pipefail
cd "$(dirname "$0")"
./deps/install.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)"
bin=build/default/bin
echo
echo "Built products:"
found=0
for product in libtavrin.so tavrin-server tavrin-cli tavrin; do
  for place in "$bin" build/default/lib; do
    if [ -e "$place/$product" ]; then
      echo "  $place/$product"
      found=1
    fi
  done
done
[ "$found" -eq 1 ] || echo "  (none yet)"

# The local service on loopback, its data (demo world, TLS files) kept under
# build/ between runs. Its usual ports (SIP-C 8080, the engine's default
# server; SIP-C over TLS 8082) when they are free, else free ones. The front
# ends speak TLS to it, trusting the service's own CA. Stopped by pid when we
# leave. The server makes its data folder itself (it takes no folder that
# holds other files), so its output and log live beside it.
data=build/run-data
server_out=build/run-server.out
server_log=build/run-server.log
server_pid=""
stop_server() {
  [ -n "$server_pid" ] || return 0
  kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null || true
}
trap stop_server EXIT
start_server() {
  : >"$server_out"
  "$bin/tavrin-server" --data "$data" --demo --listen 127.0.0.1 --sipc-tls-port 8082 "$@" \
    >"$server_out" 2>>"$server_log" &
  server_pid=$!
  for _ in $(seq 1 300); do
    ports=$(grep -m1 '^tavrin-server listening' "$server_out" || true)
    [ -n "$ports" ] && return 0
    kill -0 "$server_pid" 2>/dev/null || break
    sleep 0.1
  done
  stop_server
  server_pid=""
  return 1
}
ports=""
if ! start_server && ! start_server --nav-port 0 --sipc-port 0 --signin-port 0 --sipc-tls-port 0; then
  echo "tavrin-server did not start; its log is $server_log"
  exit 1
fi
sipc=$(sed -n 's/.* sipc=\([0-9]*\).*/\1/p' <<<"$ports")
nav=$(sed -n 's/.* nav=\([0-9]*\).*/\1/p' <<<"$ports")
signin=$(sed -n 's/.* signin=\([0-9]*\).*/\1/p' <<<"$ports")
tls=$(sed -n 's/.* sipc-tls=\([0-9]*\).*/\1/p' <<<"$ports")
ca="$data/tls/ca.pem"
echo
echo "$ports (pid $server_pid; log $server_log)"
echo "Demo accounts: 100000001/alice123 (Alice) ... 100000009/echo123 (Echo answers everything)."
echo "From a second terminal, sign in as Bob and chat with Alice (send 100000001 TEXT):"
echo "  $bin/tavrin-cli --server tls://127.0.0.1:$tls --ca $ca --user 100000002 --password bob123"
echo

# Front end: the handheld client in a real window when the desktop has a
# display, otherwise the terminal front end. Arguments go to the front end
# (for the client: --zoom N, --script FILE, --ca-file FILE; for the terminal
# front end: its options, e.g. --user 100000002 --password bob123 --json).
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  if [ -x "$bin/tavrin" ]; then
    client=("$bin/tavrin" --server "tls://127.0.0.1:$tls" --nav "127.0.0.1:$nav" --ca-file "$ca")
    [ "$signin" != 0 ] && client+=(--signin "https://127.0.0.1:$signin")
    echo "Opening the Tavrin client (480 x 800 display; the mouse is the stylus)."
    echo "On its login screen type a demo account into 塔文号 and its password into 密码,"
    echo "then press 登录 (or Enter): 100000001 / alice123, 100000002 / bob123, or a"
    echo "mobile number such as 13900000001 / alice123 (resolved through the sign-in server)."
    "${client[@]}" "$@" || true
    exit 0
  fi
  echo "The client (tavrin) is not built; running the terminal front end instead."
else
  echo "No display (neither DISPLAY nor WAYLAND_DISPLAY is set), so the client's"
  echo "window cannot open; running the terminal front end instead."
fi
if [ ! -x "$bin/tavrin-cli" ]; then
  echo "The terminal front end (tavrin-cli) is not built."
  exit 1
fi
cli=("$bin/tavrin-cli" --server "tls://127.0.0.1:$tls" --nav "127.0.0.1:$nav" --ca "$ca")
[ "$signin" != 0 ] && cli+=(--signin "https://127.0.0.1:$signin")
status=0
if [ "$#" -gt 0 ]; then
  "${cli[@]}" "$@" || status=$?
else
  echo "Signing in as Alice (100000001); type 'help' for commands, 'quit' to leave."
  TAVRIN_PASSWORD=alice123 "${cli[@]}" --user 100000001 || status=$?
fi
exit "$status"
