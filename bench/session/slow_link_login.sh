#!/bin/sh
# A 2,000-contact login over a slow link: tavrin-cli signs in to
# tavrin-server through bench_slow_link, which holds each direction's bytes
# to the link's rate and delivers them half a round trip later (the kernel
# here has no tc netem). Everything stays on loopback. Prints the time from
# the cli's start to each login step, first straight to the server and then
# over the link, in the same run.
# Usage: bench/session/slow_link_login.sh [BUILD_DIR [RTT_MS [KBIT_PER_S]]]
#        (default build/default, 100 ms, 2000 kbit/s)
set -eu
build=${1:-build/default}
rtt=${2:-100}
rate=${3:-2000}
bin=$(cd "$build/bin" && pwd)
work=$(mktemp -d)
server=""
link=""
cleanup() {
  [ -n "$link" ] && kill "$link" 2>/dev/null || true
  [ -n "$server" ] && kill "$server" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
wait_for() {
  for _ in $(seq 1 100); do
    grep -q "$1" "$2" 2>/dev/null && return 0
    sleep 0.1
  done
  return 1
}

mkdir "$work/data"
"$bin/bench_mainwnd" --seed "$work/data" >/dev/null
"$bin/tavrin-server" --data "$work/data" --listen 127.0.0.1 --nav-port 0 --sipc-port 0 \
  --no-signin >"$work/ports" 2>/dev/null &
server=$!
wait_for '^tavrin-server listening' "$work/ports"
sipc=$(sed -n 's/.* sipc=\([0-9]*\).*/\1/p' "$work/ports")
"$bin/bench_slow_link" "$sipc" "$rtt" "$rate" >"$work/link" &
link=$!
wait_for '^listening' "$work/link"
slow=$(sed -n 's/^listening \([0-9]*\)/\1/p' "$work/link")

# One login to PORT; prints the milliseconds from start to each step.
login() {
  start=$(date +%s%N)
  printf 'quit\n' | TAVRIN_PASSWORD=bench "$bin/tavrin-cli" --server "127.0.0.1:$1" \
    --user 300000000 --no-relogin 2>&1 |
    while IFS= read -r line; do
      case "$line" in
        *"login: "* | *"login failed"*)
          now=$(date +%s%N)
          echo "  $(((now - start) / 1000000)) ms  $line"
          ;;
      esac
    done
}

echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "straight to the server (loopback):"
login "$sipc"
echo "over the link: round trip $rtt ms, $rate kbit/s each way:"
login "$slow"
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
