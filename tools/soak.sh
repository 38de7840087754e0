#!/usr/bin/env bash
# The long form of the link-fault soak test: tavik-sim streams at 1 kHz while the link is lost
# and restored at random intervals for SECONDS (default 600), in a build without sanitizers
# (build/), so that memory figures mean something. Fails when resident memory grew by more than
# 5 % or open descriptors grew.
#   bash tools/soak.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/lib.sh
seconds="${1:-600}"
build_target build tst_linksoak
build_target build tavik-sim
log=$(mktemp)
trap 'rm -f "$log"' EXIT
QT_QPA_PLATFORM=offscreen TAVIK_BUILD_DIR="$PWD/build" TAVIK_SOAK_SECONDS="$seconds" \
  build/tests/soak/tst_linksoak -maxwarnings 0 > "$log" 2>&1 || { tail -40 "$log"; exit 1; }
grep -a 'soak:' "$log" | sed 's/.*soak: /soak: /'
start=$(grep -a 'soak:.*resident after' "$log" | grep -o '[0-9]* KiB' | grep -o '[0-9]*')
fds_start=$(grep -a 'soak:.*resident after' "$log" | grep -o '[0-9]* open descriptors' | grep -o '^[0-9]*')
end=$(grep -a 'soak:.*resident at end' "$log" | grep -o '[0-9]* KiB' | grep -o '[0-9]*')
fds_end=$(grep -a 'soak:.*resident at end' "$log" | grep -o '[0-9]* open descriptors' | grep -o '^[0-9]*')
ok=1
if [ $((end * 100)) -gt $((start * 105)) ]; then
  echo "memory grew by more than 5 %: $start KiB -> $end KiB"; ok=0
fi
if [ "$fds_end" -gt "$fds_start" ]; then
  echo "open descriptors grew: $fds_start -> $fds_end"; ok=0
fi
[ $ok -eq 1 ] && echo "soak: memory within 5 %, no descriptor growth"
[ $ok -eq 1 ]
