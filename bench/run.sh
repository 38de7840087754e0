#!/usr/bin/env bash
# Runs every benchmark in a build without sanitizers (build/, RelWithDebInfo) and prints one
# table: each figure beside its baseline from the same run and its goal. Instruction counts come
# from callgrind (valgrind), which is stable from run to run where times are not.
#   bash bench/run.sh [--quick]
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/lib.sh
quick=0
[ "${1:-}" = "--quick" ] && quick=1
for t in bench_framing bench_telemetry bench_startup bench_sim tavik-sim tavik-configurator; do
  build_target build "$t" > /dev/null
done
b=build/bench
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"

messages=200000; runs=10; seconds=10
[ $quick -eq 1 ] && { messages=20000; runs=3; seconds=3; }

"$b/bench_framing" "$messages" > "$out/framing"
"$b/bench_telemetry" "$messages" > "$out/telemetry"
"$b/bench_startup" build/app/tavik-configurator "$runs" > "$out/startup"
"$b/bench_sim" build/sim/tavik-sim "$seconds" > "$out/sim"

# Instructions per byte (framing) and per message (telemetry path), counted inside the receive
# entry point only.
cg=20000
callgrind() {
  valgrind --tool=callgrind --callgrind-out-file="$out/cg.out" '--toggle-collect=packet_link_feed*' \
    "$@" 2>&1 | grep -o 'Collected : [0-9]*' | grep -o '[0-9]*$'
}
ir_framing=$(callgrind "$b/bench_framing" "$cg" --decode-only)
bytes=$("$b/bench_framing" "$cg" --decode-only | awk '{print $2}')
ir_telemetry=$(callgrind "$b/bench_telemetry" "$cg")

field() { grep "$2" "$out/$1" | head -1; }
num() { grep -o "$1" | head -1 | grep -o '[0-9.]*' | head -1; }
memcpy_mbs=$(field framing 'memcpy:' | num '[0-9.]* MB/s')
decode_mbs=$(field framing 'decode:' | num '[0-9.]* MB/s')
encode_mbs=$(field framing 'encode:' | num '[0-9.]* MB/s')
bare_ns=$(field telemetry 'wire -> endpoint' | num '[0-9.]* ns/message')
bare_cpu_ns=$(field telemetry 'thread CPU time' | num '[0-9.]* ns/message')
decode_ns=$(field telemetry 'DataPacket decode' | num '[0-9.]* ns/message')
start_ms=$(grep -o ': [0-9]* ms' "$out/startup" | head -1 | grep -o '[0-9]*')
empty_ms=$(grep -o 'empty Qt window: [0-9]* ms' "$out/startup" | grep -o '[0-9]*')
sim_nohost=$(field sim 'no host' | num '[0-9.]* %')
sim_rest=$(field sim 'host reading, --rate 0' | num '[0-9.]* %')
sim_1k=$(field sim 'rate 1000' | num '[0-9.]* %')
wake20=$(grep -o 'every 20 ms: *[0-9.]* %' "$out/sim" | grep -o '[0-9.]* %' | grep -o '[0-9.]*')
wake1=$(grep -o 'every 1 ms: *[0-9.]* %' "$out/sim" | grep -o '[0-9.]* %' | grep -o '[0-9.]*')

echo "Benchmarks on $(hostname), $(nproc) cores, $(date -u '+%Y-%m-%d %H:%M UTC'), load $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-44s %-20s %-28s %s\n' "figure" "measured" "baseline (same run)" "goal"
printf '%-44s %-20s %-28s %s\n' "1 framing decode (CPU time)" "$decode_mbs MB/s" "memcpy $memcpy_mbs MB/s" ">= 500 MB/s"
printf '%-44s %-20s %-28s %s\n' "1 framing encode" "$encode_mbs MB/s" "memcpy $memcpy_mbs MB/s" "-"
printf '%-44s %-20s %-28s %s\n' "1 framing decode, instructions/byte" \
  "$(awk -v a="$ir_framing" -v b="$bytes" 'BEGIN{printf "%.1f", a/b}')" "callgrind" "-"
printf '%-44s %-20s %-28s %s\n' "2 telemetry path, bare (CPU time)" "$bare_cpu_ns ns/message" "wall $bare_ns ns" "<= 500 ns"
printf '%-44s %-20s %-28s %s\n' "2 telemetry path, instructions/message" \
  "$(awk -v a="$ir_telemetry" -v b="$cg" 'BEGIN{printf "%.0f", a/b}')" "callgrind" "-"
printf '%-44s %-20s %-28s %s\n' "2 telemetry path, window attached" "pending" "-" "<= 3 us"
printf '%-44s %-20s %-28s %s\n' "3 window at 1 kHz" "pending" "-" "-"
printf '%-44s %-20s %-28s %s\n' "4 start-up to first window (median of $runs)" "$start_ms ms" "empty Qt window $empty_ms ms" "<= 300 ms"
printf '%-44s %-20s %-28s %s\n' "5 command line -config" "pending" "-" "<= 30 ms CPU"
printf '%-44s %-20s %-28s %s\n' "6 tavik-sim, no host, --rate 0" "$sim_nohost % core" "empty loop 20 ms: $wake20 %" "not measurable"
printf '%-44s %-20s %-28s %s\n' "6 tavik-sim, host connected, --rate 0" "$sim_rest % core" "empty loop 20 ms: $wake20 %" "not measurable"
printf '%-44s %-20s %-28s %s\n' "6 tavik-sim, host reading, 1 kHz" "$sim_1k % core" "empty loop 1 ms: $wake1 %" "<= 2 %"
