#!/usr/bin/env bash
# Builds the main window's picture program and saves docs/screenshot.png: the
# window in its idle look, shown by a real X server (Xvfb) when one can be
# started, otherwise rendered off screen.
#
#   bash scripts/screenshot.sh [OUTPUT.png] [--busy | --configuration] [-style NAME]
#
# -style shows the window in another installed style (Fusion, Windows, Adwaita,
# Adwaita-Dark, ...).
set -euo pipefail
cd "$(dirname "$0")/.."
out="${1:-docs/screenshot.png}"
shift || true
build="${PURLWAVE_BUILD_DIR:-build/default}"
cmake --preset default -B "$build" >/dev/null
cmake --build "$build" --target purlwave_windowshot -j2
mkdir -p "$(dirname "$out")"
shot="$build/bin/purlwave_windowshot"
if command -v xvfb-run >/dev/null 2>&1; then
  QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1024x768x24 -dpi 96" "$shot" "$out" "$@"
else
  QT_QPA_PLATFORM=offscreen "$shot" "$out" "$@"
fi
echo "Saved $out"
