#!/usr/bin/env bash
# Renders docs/history-dialog.png and docs/compare-dialog.png: the History and Compare dialogs
# with sample backups and a sample file, under Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/lib.sh
build="${1:-build-screenshot}"
build_target "$build" safety-screenshot
mkdir -p docs
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1600x1200x24 -dpi 96" \
  "$build/tests/app/safety-screenshot" docs
