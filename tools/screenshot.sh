#!/usr/bin/env bash
# Takes docs/screenshot.png: builds the configurator and the simulated base if needed, serves
# the simulated base on a pseudo-terminal, starts the configurator on it under a virtual X
# server, and lets it save a picture of its window once the base's configuration has arrived.
#   tools/screenshot.sh [OUTPUT.png [TAB]]    (TAB: effects, settings, debug or mapping)
set -euo pipefail
cd "$(dirname "$0")/.."
out="$(realpath -m "${1:-docs/screenshot.png}")"
tab="${2:-}"
build="${TAVIK_SCREENSHOT_BUILD:-build}"

bash tools/deps.sh
if [ ! -x "$build/app/tavik-configurator" ] || [ ! -x "$build/sim/tavik-sim" ]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVIK_BUILD_TESTS=OFF
fi
cmake --build "$build" --target tavik-configurator tavik-sim -j"$(nproc)"

work="$(mktemp -d)"
sim=""
cleanup() {
  [ -n "$sim" ] && kill "$sim" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

link="$work/tavik-sim-port"
# A fixed seed and a steady stick make the picture the same from run to run.
"$build/sim/tavik-sim" --link "$link" --seed 1 > "$work/sim.log" 2>&1 &
sim=$!
for _ in $(seq 50); do [ -e "$link" ] && break; sleep 0.1; done
[ -e "$link" ] || { echo "tavik-sim did not start" >&2; cat "$work/sim.log" >&2; exit 1; }

mkdir -p "$(dirname "$out")"
# The simulated game loads its effects one after another: give the Debug tab's picture all
# three (spring, damper, sine), loaded 1, 5 and 10 s into the simulator's run.
[ "$tab" = debug ] && sleep 11
# Own settings store, so no saved geometry changes the picture: the window opens at its
# natural size. The screen is large enough that nothing limits that size.
HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" \
  xvfb-run -a -s "-screen 0 2400x1800x24" \
  "$build/app/tavik-configurator" --port "$link" --screenshot "$out" ${tab:+--tab "$tab"}
echo "Saved $out"
