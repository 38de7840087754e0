#!/usr/bin/env bash
# Builds the configurator in build/ and starts it. When no base is attached (no serial port
# with the base's USB identifiers) and no port was named (--port PATH or TAVIK_PORT), it starts
# the simulated base and connects to that instead; the simulator ends with the configurator.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVIK_BUILD_TESTS=OFF
cmake --build build -j"$(nproc)"

base_attached() {
  for dev in /sys/class/tty/ttyACM*; do
    [ -e "$dev/device" ] || continue
    local usb; usb=$(readlink -f "$dev/device/..")
    local vid pid
    vid=$(cat "$usb/idVendor" 2>/dev/null || true)
    pid=$(cat "$usb/idProduct" 2>/dev/null || true)
    [[ "$pid" =~ ^[0-9a-fA-F]{1,4}$ ]] || continue
    if [ "${vid,,}" = "ffff" ] && [ $((16#$pid)) -gt $((16#2000)) ] && [ $((16#$pid)) -le $((16#2055)) ]; then
      return 0
    fi
  done
  return 1
}

# A port the user names wins over the simulator.
port_named() {
  [ -n "${TAVIK_PORT:-}" ] && return 0
  local arg
  for arg in "$@"; do
    [ "$arg" = "--port" ] && return 0
  done
  return 1
}

if base_attached || port_named "$@" || [ ! -x build/sim/tavik-sim ]; then
  exec build/app/tavik-configurator "$@"
fi

work="$(mktemp -d "${TMPDIR:-/tmp}/tavik-run.XXXXXX")"
link="$work/tavik-sim-port"
sim=""
cleanup() {
  if [ -n "$sim" ]; then
    kill "$sim" 2>/dev/null || true
    wait "$sim" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

build/sim/tavik-sim --link "$link" > "$work/sim.log" 2>&1 &
sim=$!
for _ in $(seq 100); do
  [ -e "$link" ] && break
  kill -0 "$sim" 2>/dev/null || break
  sleep 0.1
done
if [ ! -e "$link" ]; then
  echo "The simulated base did not start:" >&2
  cat "$work/sim.log" >&2
  exit 1
fi
echo "No base attached: using the simulated base at $link"
# Not exec: the EXIT trap stops the simulator once the configurator has ended. A signal to
# this script (Ctrl-C, kill, timeout) ends the configurator first.
build/app/tavik-configurator --port "$link" "$@" &
app=$!
trap 'kill -TERM "$app" 2>/dev/null || true' INT TERM HUP
status=0
wait "$app" || status=$?
# A trapped signal ends the wait early; wait again for the configurator's own status.
while kill -0 "$app" 2>/dev/null; do
  status=0
  wait "$app" || status=$?
done
exit "$status"
