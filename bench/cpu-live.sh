#!/usr/bin/env bash
# What the live view costs: runs tavik-configurator against tavik-sim streaming telemetry at
# 1 kHz under a virtual X server, once with the Debug tab shown and once with the Settings tab,
# and prints the configurator's CPU time over wall time and its peak memory.
#   bench/cpu-live.sh [SECONDS]        (default 30; build directory: $TAVIK_BENCH_BUILD or build)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-30}"
build="${TAVIK_BENCH_BUILD:-build}"
warmup=3

bash tools/deps.sh > /dev/null
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVIK_BUILD_TESTS=OFF > /dev/null
fi
cmake --build "$build" --target tavik-configurator tavik-sim -j"$(nproc)" > /dev/null

work="$(mktemp -d)"
sim=""
app=""
cleanup() {
  [ -n "$app" ] && kill "$app" 2>/dev/null || true
  [ -n "$sim" ] && kill "$sim" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

ticks="$(getconf CLK_TCK)"
# CPU ticks (user + system) of a process.
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }

run() {
  local tab="$1"
  local link="$work/port-$tab"
  "$build/sim/tavik-sim" --link "$link" --rate 1000 --seed 1 > "$work/sim-$tab.log" 2>&1 &
  sim=$!
  for _ in $(seq 50); do [ -e "$link" ] && break; sleep 0.1; done
  [ -e "$link" ] || { echo "tavik-sim did not start" >&2; exit 1; }

  # The wrapper records the configurator's own process id before it replaces itself.
  HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" \
    xvfb-run -a -s "-screen 0 1920x1200x24" \
    sh -c 'echo $$ > "$0"; exec "$1" --port "$2" --tab "$3"' \
    "$work/pid-$tab" "$build/app/tavik-configurator" "$link" "$tab" \
    > "$work/app-$tab.log" 2>&1 &
  app=$!
  for _ in $(seq 100); do [ -s "$work/pid-$tab" ] && break; sleep 0.1; done
  local pid
  pid="$(cat "$work/pid-$tab")"

  # Connected, configuration read, window drawn: then measure.
  sleep "$warmup"
  local t0 c0 t1 c1
  t0="$(date +%s.%N)"
  c0="$(cpu_ticks "$pid")"
  sleep "$seconds"
  c1="$(cpu_ticks "$pid")"
  t1="$(date +%s.%N)"
  local peak
  peak="$(awk '/VmHWM/ { print $2 }' "/proc/$pid/status")"
  awk -v tab="$tab" -v c="$((c1 - c0))" -v hz="$ticks" -v t0="$t0" -v t1="$t1" -v kb="$peak" \
    'BEGIN { wall = t1 - t0; cpu = c / hz;
             printf "%-9s cpu %6.2f s over %6.2f s wall = %5.1f %% of one core, peak memory %6.1f MB\n",
                    tab, cpu, wall, 100 * cpu / wall, kb / 1024 }'
  kill "$pid" 2>/dev/null || true
  wait "$app" 2>/dev/null || true
  app=""
  kill "$sim" 2>/dev/null || true
  wait "$sim" 2>/dev/null || true
  sim=""
}

echo "tavik-configurator against tavik-sim --rate 1000, ${seconds} s per tab ($(nproc) cores, $(date -u +%Y-%m-%d))"
run debug
run settings
