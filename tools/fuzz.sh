#!/usr/bin/env bash
# Builds the libFuzzer targets with clang-14, AddressSanitizer and UndefinedBehaviorSanitizer in
# build-fuzz/ and runs each of them in turn for SECONDS (default 30), one at a time at the
# lowest priority. Prints one line per target: executions, corpus size, findings. A finding
# (crash, sanitizer report, failed check) is kept in build-fuzz/findings/NAME/ and makes the
# script fail.
#   bash tools/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-30}"
shift || true
build=build-fuzz

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
    -DTAVIK_FUZZ=ON -DTAVIK_SANITIZE=ON -DTAVIK_BUILD_TESTS=OFF > /dev/null
else
  cmake "$build" > /dev/null
fi

declare -a names exes corpora
while IFS='|' read -r name exe corpus; do
  [ -n "$name" ] || continue
  if [ $# -gt 0 ]; then
    wanted=0
    for t in "$@"; do [ "$t" = "$name" ] && wanted=1; done
    [ $wanted -eq 1 ] || continue
  fi
  names+=("$name"); exes+=("$exe"); corpora+=("$corpus")
done < "$build/fuzzers.txt"
[ ${#names[@]} -gt 0 ] || { echo "no fuzz target selected" >&2; exit 1; }

cmake --build "$build" --target "${names[@]}" -j"$(nproc)"

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
status=0
summary=()
for i in "${!names[@]}"; do
  name="${names[$i]}"
  work="$build/corpus/$name"
  findings="$build/findings/$name"
  mkdir -p "$work" "$findings"
  log="$build/fuzz-$name.log"
  # New inputs go to the work corpus; the checked-in seeds are only read.
  rc=0
  nice -n 19 "${exes[$i]}" "$work" "${corpora[$i]}" -max_total_time="$seconds" \
    -print_final_stats=1 -artifact_prefix="$findings/" -close_fd_mask=1 \
    -report_slow_units=120 > "$log" 2>&1 || rc=$?
  execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo "?")
  units=$(ls "$work" | wc -l)
  # Crashes, failed checks, leaks, time-outs, running out of memory (not slow units, which on
  # a shared machine mostly measure waiting for a core).
  found=$(find "$findings" -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' -o -name 'oom-*' | wc -l)
  if [ $rc -ne 0 ]; then
    status=1
    echo "--- $name failed (exit $rc); end of its log ($log):"
    tail -40 "$log"
  fi
  summary+=("$(printf '%-24s %12s execs %6s corpus %3s findings  exit %s' "$name" "$execs" "$units" "$found" "$rc")")
done
echo "Fuzzing, $seconds s per target:"
printf '%s\n' "${summary[@]}"
exit $status
