#!/usr/bin/env bash
# Renders docs/effect-panel.png and docs/mapping-dialog.png (and the same at 200 % scaling,
# docs/*-2x.png): an effect panel and its gain-map dialog with a sample configuration, under Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/lib.sh
build="${1:-build-screenshot}"
build_target "$build" widgets-screenshot
mkdir -p docs
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1600x1200x24 -dpi 96" \
  "$build/tests/widgets/widgets-screenshot" docs ""
QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=2 xvfb-run -a -s "-screen 0 2400x2000x24 -dpi 96" \
  "$build/tests/widgets/widgets-screenshot" docs "-2x"
