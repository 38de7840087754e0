#!/usr/bin/env bash
# Takes docs/tab-effects.png, docs/tab-settings.png and docs/tab-mapping.png, and the same at
# 200 % scaling as docs/*-2x.png: the configurator connected to the simulated base under a
# virtual X server, one picture per tab once the base's configuration has arrived.
#   tools/screenshot-tabs.sh [OUTPUT_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
outdir="$(realpath -m "${1:-docs}")"
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
# A fixed seed makes the pictures the same from run to run.
"$build/sim/tavik-sim" --link "$link" --seed 1 > "$work/sim.log" 2>&1 &
sim=$!
for _ in $(seq 50); do [ -e "$link" ] && break; sleep 0.1; done
[ -e "$link" ] || { echo "tavik-sim did not start" >&2; cat "$work/sim.log" >&2; exit 1; }

mkdir -p "$outdir"
for scale in 1 2; do
  suffix=""
  [ "$scale" = 2 ] && suffix="-2x"
  for tab in effects settings mapping; do
    out="$outdir/tab-$tab$suffix.png"
    # Own settings store per picture: no saved geometry changes it, the window opens at its
    # natural size, and the screen is large enough that nothing limits that size.
    rm -rf "$work/home"
    HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" QT_SCALE_FACTOR="$scale" \
      xvfb-run -a -s "-screen 0 $((2400 * scale))x$((1800 * scale))x24" \
      "$build/app/tavik-configurator" --port "$link" --tab "$tab" --screenshot "$out"
    echo "Saved $out"
  done
done
