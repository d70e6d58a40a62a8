#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Shows what a screen reader sees of the program: starts it on a virtual X
# display with a private accessibility bus, in a temporary program folder with
# one short WAV file given as its argument and Debian's lame as its encoder, and
# prints the accessible trees of both windows and what is announced during a run.
#
#   bash scripts/atspi-dump.sh
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh --accessibility
build="${PURLWAVE_BUILD_DIR:-build/default}"
cmake --build "$build" --target purlwave -j2 >/dev/null
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cp "$build/bin/purlwave" "$work/"
# One second of silence, 16-bit mono at 8 kHz.
python3 - "$work/one second.wav" <<'PY'
import sys, wave
with wave.open(sys.argv[1], "wb") as w:
    w.setnchannels(1); w.setsampwidth(2); w.setframerate(8000); w.writeframes(b"\0\0" * 8000)
PY
printf '[PATHS]\nDestination Path=%s/\nLAME=%s\n[SETTINGS]\nDefault Encoding=1\n' "$work" "$(command -v lame)" \
  > "$work/purlwave.ini"
export work
HOME="$work" dbus-run-session -- bash -c '
  /usr/libexec/at-spi-bus-launcher --launch-immediately &
  launcher=$!
  sleep 1
  QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1 QT_QPA_PLATFORM=xcb \
    xvfb-run -a -s "-screen 0 1024x768x24" "$work/purlwave" "$work/one second.wav" &
  runner=$!
  for _ in $(seq 50); do pid=$(pgrep -n -f "^$work/purlwave" || true); [ -n "$pid" ] && break; sleep 0.2; done
  status=0
  /usr/bin/python3 tools/atspi_dump.py "$pid" || status=$?
  kill "$pid" 2>/dev/null || true
  wait "$runner" 2>/dev/null || true
  kill "$launcher" 2>/dev/null || true
  exit $status
'
