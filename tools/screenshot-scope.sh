#!/usr/bin/env bash
# Renders docs/scope.png and docs/scope-xy.png: the Scope after 12 s of the simulated base
# streaming at 1 kHz (time plot with the default traces, then force against position), under Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/lib.sh
build="${1:-build-screenshot}"
build_target "$build" scope-screenshot
mkdir -p docs
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1600x1200x24 -dpi 96" \
  "$build/tests/scope/scope-screenshot" docs
