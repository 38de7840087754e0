#!/usr/bin/env bash
# Renders docs/loopback.png: the loopback window under Xvfb, with a virtual joystick whose
# buttons are held and a mock base (umockdev) as the output device.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/lib.sh
build="${1:-build-screenshot}"
build_target "$build" loopback-screenshot
mkdir -p docs
QT_QPA_PLATFORM=xcb SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy SDL_JOYSTICK_HIDAPI=0 \
  xvfb-run -a -s "-screen 0 800x600x24" \
  umockdev-wrapper "$build/tests/loopback/loopback-screenshot" docs/loopback.png
echo "wrote docs/loopback.png"
