#!/usr/bin/env bash
# CPU use of tavik-configurator with the Scope shown (four traces, 10 s window) while
# tavik-sim streams telemetry at 1 kHz, under a virtual X server: CPU time (user + system,
# from /proc) over wall time, measured for 30 s after a 5 s warm-up. For comparison it also
# measures the configurator without the Scope.
#   bench/cpu_scope.sh [BUILD_DIR]   (default build; configured RelWithDebInfo if missing)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
seconds="${TAVIK_CPU_SECONDS:-30}"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
fi
cmake --build "$build" --target tavik-configurator tavik-sim -j"$(nproc)" > /dev/null

work="$(mktemp -d)"
sim=""
app=""
cleanup() {
  for f in "$work"/pid-*; do [ -s "$f" ] && kill "$(cat "$f")" 2>/dev/null || true; done
  [ -n "$app" ] && wait "$app" 2>/dev/null || true
  [ -n "$sim" ] && kill "$sim" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

ticks() { # utime + stime of a process, in clock ticks
  awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "/proc/$1/stat"
}

measure() { # measure LABEL [OPTIONS...]: prints the configurator's CPU share
  local label="$1"; shift
  local link="$work/port-$label"
  "$build/sim/tavik-sim" --link "$link" --rate 1000 > "$work/sim-$label.log" 2>&1 &
  sim=$!
  for _ in $(seq 50); do [ -e "$link" ] && break; sleep 0.1; done
  [ -e "$link" ] || { echo "tavik-sim did not start" >&2; exit 1; }
  HOME="$work/home-$label" XDG_CONFIG_HOME="$work/home-$label/.config" \
    xvfb-run -a -s "-screen 0 1920x1200x24" \
    sh -c 'echo $$ > "$0"; exec "$@"' "$work/pid-$label" \
    "$build/app/tavik-configurator" --port "$link" "$@" > "$work/app-$label.log" 2>&1 &
  app=$!
  for _ in $(seq 50); do [ -s "$work/pid-$label" ] && break; sleep 0.1; done
  local pid
  pid="$(cat "$work/pid-$label")"
  sleep 5
  local t0 w0 t1 w1
  t0="$(ticks "$pid")"; w0="$(date +%s.%N)"
  sleep "$seconds"
  t1="$(ticks "$pid")"; w1="$(date +%s.%N)"
  local hz
  hz="$(getconf CLK_TCK)"
  awk -v a="$t0" -v b="$t1" -v hz="$hz" -v w0="$w0" -v w1="$w1" -v l="$label" \
    'BEGIN { printf "%-24s %5.1f %% of one core (%.1f s CPU in %.1f s)\n", l, 100 * (b - a) / hz / (w1 - w0), (b - a) / hz, w1 - w0 }'
  # The configurator itself: xvfb-run then ends its X server and returns.
  kill "$pid" 2>/dev/null || true
  wait "$app" 2>/dev/null || true
  kill "$sim" 2>/dev/null || true
  wait "$sim" 2>/dev/null || true
  app=""; sim=""
}

echo "tavik-configurator against tavik-sim --rate 1000, ${seconds} s, $(nproc) cores, $(date -u +%F)"
measure "Scope shown (4 traces)" --scope
measure "without the Scope"
