#!/bin/bash
# Runs the client in a real window under the input method ibus with its
# Pinyin engine, on the X display this runs on (start it under xvfb-run -a),
# with a private session bus and home folder. The client's script drives
# the keyboard through marks it prints:
#   mark type:LETTERS   xdotool types the letters into the window
#   mark key:NAME       xdotool presses the key (space, Return, Escape, ...)
# Usage: ibus_session.sh WORK_DIR TAVRIN [ARGS...]
# Exits with the client's exit code (124 when the input method did not
# come up). Everything started here is stopped here, by its pid.
set -u
work=$1
shift
mkdir -p "$work/home"
export HOME=$work/home
unset DBUS_SESSION_BUS_ADDRESS IBUS_ADDRESS

eval "$(dbus-launch --sh-syntax)"
bus_pid=$DBUS_SESSION_BUS_PID
ibus-daemon --panel=disable --xim > "$work/ibus.log" 2>&1 &
ibus_pid=$!
client_pid=
stop() {
  [ -n "$client_pid" ] && kill "$client_pid" 2> /dev/null
  kill "$ibus_pid" 2> /dev/null
  wait "$ibus_pid" 2> /dev/null
  kill "$bus_pid" 2> /dev/null
}
trap stop EXIT

# The daemon takes a moment before it answers; the engine is global.
ready=
for _ in $(seq 1 100); do
  # Its exit code says nothing: what counts is the engine it now names.
  ibus engine libpinyin > /dev/null 2>&1
  if [ "$(ibus engine 2> /dev/null)" = libpinyin ]; then
    ready=1
    break
  fi
  sleep 0.2
done
if [ -z "$ready" ]; then
  echo "ibus_session: ibus did not take the libpinyin engine" >&2
  exit 124
fi

SDL_IM_MODULE=ibus "$@" > "$work/client.out" 2> "$work/client.err" &
client_pid=$!
window=$(timeout 20 xdotool search --sync --name '^Tavrin$' | head -n 1)
if [ -z "$window" ]; then
  echo "ibus_session: the client's window did not appear" >&2
  exit 124
fi
xdotool windowfocus --sync "$window"

# tail ends with the client.
tail -n +1 -f --pid="$client_pid" "$work/client.out" | while read -r line; do
  case "$line" in
    "mark type:"*) xdotool type --delay 120 "${line#mark type:}" ;;
    "mark key:"*) xdotool key "${line#mark key:}" ;;
  esac
done
wait "$client_pid"
code=$?
client_pid=
exit $code
