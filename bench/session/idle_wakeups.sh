#!/bin/sh
# Wake-ups of a signed-in front end while nothing happens: starts
# tavrin-server with its demo world on loopback, signs in as a demo user,
# lets the login settle, then counts the context switches of every thread of
# the process (each sleep that ends is one) and its CPU time over a window.
#   cli     tavrin-cli reading commands from a silent pipe
#   client  the windowed client (not headless) on an Xvfb display of its
#           own, signed in through its login screen by a script
# The UI thread (the process's first thread) is also counted on its own.
# The keep-alive falls every 200 s, so a 60 s window may hold one.
# Usage: bench/session/idle_wakeups.sh [BUILD_DIR [SECONDS [cli|client|all [SHOT.png]]]]
#        (default build/default, 60 s, all; SHOT.png keeps the client's screen
#        as it was measured)
set -eu
build=${1:-build/default}
window=${2:-60}
what=${3:-all}
bin=$(cd "$build/bin" && pwd)
work=$(mktemp -d)
server=""
front=""
xvfb=""
cleanup() {
  [ -n "$front" ] && kill "$front" 2>/dev/null || true
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
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

# Voluntary + involuntary switches of one thread, or of all of a process's.
thread_switches() {
  awk '/^(non)?voluntary_ctxt_switches:/ {s += $2} END {print s + 0}' "$1/status"
}
switches() {
  total=0
  for t in /proc/"$1"/task/*; do total=$((total + $(thread_switches "$t"))); done
  echo "$total"
}
# utime + stime in clock ticks.
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }

measure() {  # NAME PID
  if ! kill -0 "$2" 2>/dev/null; then
    echo "$1: not running (did it start and sign in?)" >&2
    exit 1
  fi
  s0=$(switches "$2")
  u0=$(thread_switches "/proc/$2/task/$2")
  c0=$(cpu_ticks "$2")
  sleep "$window"
  s1=$(switches "$2")
  u1=$(thread_switches "/proc/$2/task/$2")
  c1=$(cpu_ticks "$2")
  hz=$(getconf CLK_TCK)
  echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
  echo "$1 signed in, idle ${window} s: $((s1 - s0)) wake-ups" \
    "($(awk -v w="$((s1 - s0))" -v s="$window" 'BEGIN{printf "%.2f", w / s}')/s)," \
    "UI thread $((u1 - u0))" \
    "($(awk -v w="$((u1 - u0))" -v s="$window" 'BEGIN{printf "%.2f", w / s}')/s)," \
    "CPU $(awk -v c="$((c1 - c0))" -v h="$hz" -v s="$window" 'BEGIN{printf "%.3f", 100 * c / h / s}') % of a core"
}

if [ "$what" = cli ] || [ "$what" = all ]; then
  # The cli reads commands from a pipe that stays open and silent.
  mkfifo "$work/in"
  TAVRIN_PASSWORD=alice123 "$bin/tavrin-cli" --server "127.0.0.1:$sipc" --user 100000001 \
    <"$work/in" >"$work/out" 2>&1 &
  front=$!
  exec 3>"$work/in"
  sleep 5
  measure tavrin-cli "$front"
  kill "$front" 2>/dev/null || true
  wait "$front" 2>/dev/null || true
  front=""
  exec 3>&-
fi

if [ "$what" = client ] || [ "$what" = all ]; then
  if ! command -v Xvfb >/dev/null; then
    echo "windowed client: skipped (no Xvfb; install xvfb)"
    exit 0
  fi
  # Xvfb picks a free display and tells its number on fd 4.
  exec 4>"$work/display"
  Xvfb -displayfd 4 -nolisten tcp -screen 0 800x900x24 >/dev/null 2>&1 &
  xvfb=$!
  exec 4>&-
  for _ in $(seq 1 100); do
    [ -s "$work/display" ] && break
    sleep 0.1
  done
  display=":$(head -n1 "$work/display")"
  # Signs in through the login screen, then lets the client be.
  cat >"$work/script" <<SCRIPT
wait 300
tap 265 222
text 100000001
tap 265 302
text alice123
tap 240 380
wait 6000
screenshot $work/signed_in.png
wait 86400000
SCRIPT
  cp -r "$bin" "$work/install"
  rm -f "$work/install/BriskLibTavrinSetting.xml"
  mkdir "$work/instance"
  DISPLAY=$display "$work/install/tavrin" --script "$work/script" --server "127.0.0.1:$sipc" \
    --instance-dir "$work/instance" >/dev/null 2>&1 &
  front=$!
  sleep 8
  measure "windowed tavrin (Xvfb $display)" "$front"
  # What was measured: the main window, signed in.
  [ -n "${4:-}" ] && cp "$work/signed_in.png" "$4"
fi
