#!/bin/sh
# Wake-ups of a signed-in tavrin-cli while nothing happens: starts
# tavrin-server with its demo world on loopback, signs in as a demo user,
# lets the login settle, then counts the context switches of every thread of
# the cli process (each sleep that ends is one) and its CPU time over a
# window. The keep-alive falls every 200 s, so a 60 s window may hold one.
# Usage: bench/session/idle_wakeups.sh [BUILD_DIR [SECONDS]]
#        (default build/default, 60 s)
set -eu
build=${1:-build/default}
window=${2:-60}
bin=$(cd "$build/bin" && pwd)
work=$(mktemp -d)
server=""
cli=""
cleanup() {
  [ -n "$cli" ] && kill "$cli" 2>/dev/null || true
  [ -n "$server" ] && kill "$server" 2>/dev/null || true
  exec 3>&- 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
mkdir "$work/data"
"$bin/tavrin-server" --data "$work/data" --demo --listen 127.0.0.1 --nav-port 0 --sipc-port 0 \
  --no-signin >"$work/ports" 2>/dev/null &
server=$!
for _ in $(seq 1 100); do
  grep -q '^tavrin-server listening' "$work/ports" 2>/dev/null && break
  sleep 0.1
done
sipc=$(sed -n 's/.* sipc=\([0-9]*\).*/\1/p' "$work/ports")

# The cli reads commands from a pipe that stays open and silent.
mkfifo "$work/in"
TAVRIN_PASSWORD=alice123 "$bin/tavrin-cli" --server "127.0.0.1:$sipc" --user 100000001 \
  <"$work/in" >"$work/out" 2>&1 &
cli=$!
exec 3>"$work/in"
sleep 5

# Sum over the process's threads: voluntary + involuntary switches.
switches() {
  total=0
  for t in /proc/"$1"/task/*; do
    v=$(sed -n 's/^voluntary_ctxt_switches:[[:space:]]*//p' "$t/status")
    n=$(sed -n 's/^nonvoluntary_ctxt_switches:[[:space:]]*//p' "$t/status")
    total=$((total + v + n))
  done
  echo "$total"
}
# utime + stime in clock ticks.
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }

s0=$(switches "$cli")
c0=$(cpu_ticks "$cli")
sleep "$window"
s1=$(switches "$cli")
c1=$(cpu_ticks "$cli")
hz=$(getconf CLK_TCK)
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "tavrin-cli signed in, idle ${window} s: $((s1 - s0)) wake-ups" \
  "($(awk -v w="$((s1 - s0))" -v s="$window" 'BEGIN{printf "%.2f", w / s}')/s)," \
  "CPU $(awk -v c="$((c1 - c0))" -v h="$hz" -v s="$window" 'BEGIN{printf "%.3f", 100 * c / h / s}') % of a core"
