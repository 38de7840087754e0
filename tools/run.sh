#!/usr/bin/env bash
# Builds the configurator in build/ and starts it. When no base is attached (no serial port
# with the base's USB identifiers) it starts the simulated base and connects to that instead.
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
    if [ "${vid,,}" = "ffff" ] && [ $((16#${pid:-0})) -gt $((16#2000)) ] && [ $((16#${pid:-0})) -le $((16#2055)) ]; then
      return 0
    fi
  done
  return 1
}

if base_attached || [ ! -x build/sim/tavik-sim ]; then
  exec build/app/tavik-configurator "$@"
fi
link="${XDG_RUNTIME_DIR:-/tmp}/tavik-sim-$$"
build/sim/tavik-sim --link "$link" > /dev/null &
sim=$!
trap 'kill $sim 2>/dev/null || true; rm -f "$link"' EXIT
for _ in $(seq 50); do [ -e "$link" ] && break; sleep 0.1; done
echo "No base attached: using the simulated base at $link"
build/app/tavik-configurator --port "$link" "$@"
