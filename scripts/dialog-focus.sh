#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks where the keyboard focus goes when a file dialog closes, under a real
# window manager: openbox on Xvfb, the dialogs driven by xdotool as a user drives
# them, the focus read from the X server. For each try the program starts afresh
# in a temporary folder; the "Add Files..." dialog (opened from the list's menu) and
# the configuration window's file dialog (opened by its button), both opened from
# the keyboard or with the mouse, are accepted and cancelled in turn. Prints the window that
# has the focus after each dialog and, per dialog, how many tries gave it back to
# the window the dialog was opened from.
#
#   bash scripts/dialog-focus.sh [TRIES [keys|mouse]]
#
# Needs openbox and xdotool (bash scripts/setup.sh --dialog-focus). PURLWAVE_PROGRAM
# names another build of the program to check.
set -euo pipefail
cd "$(dirname "$0")/.."
tries="${1:-10}"
by="${2:-keys}" # how the dialogs are opened: keys or mouse
build="${PURLWAVE_BUILD_DIR:-build/default}"
program="${PURLWAVE_PROGRAM:-$PWD/$build/bin/purlwave}"

if [ -z "${PURLWAVE_FOCUS_DISPLAY:-}" ]; then
  [ -n "${PURLWAVE_PROGRAM:-}" ] || cmake --build "$build" --target purlwave >/dev/null
  exec env PURLWAVE_FOCUS_DISPLAY=1 xvfb-run -a -s "-screen 0 1024x768x24 -dpi 96" bash "$0" "$@"
fi

export QT_QPA_PLATFORM=xcb
openbox --sm-disable >/dev/null 2>&1 &
wm=$!
work=$(mktemp -d)
trap 'kill "$wm" 2>/dev/null || true; rm -rf "$work"' EXIT
sleep 1

# Waits until a visible window's name matches, and prints its id.
waitfor() { # name-regex
  for _ in $(seq 100); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1) && [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}
gone() { # name-regex
  for _ in $(seq 100); do
    xdotool search --onlyvisible --name "$1" >/dev/null 2>&1 || return 0
    sleep 0.1
  done
  return 1
}
focused() { sleep 0.7; xdotool getwindowfocus getwindowname 2>/dev/null || echo "(no window)"; }
# Whether the keys reach the main window's list: Shift+F10 there opens its menu, a
# window of its own.
listTakesKeys() {
  local before after
  before=$(xdotool search --onlyvisible --class purlwave 2>/dev/null | wc -l)
  xdotool key shift+F10
  sleep 0.5
  after=$(xdotool search --onlyvisible --class purlwave 2>/dev/null | wc -l)
  xdotool key Escape
  [ "$after" -gt "$before" ] && echo ", the list takes the keys" || echo ", the list does not take the keys"
}

# One try: starts the program, opens a dialog, answers it, reports the focus.
# Prints the name of the focused window.
try() { # which accept|cancel
  local folder="$work/$RANDOM$RANDOM"
  mkdir -p "$folder"
  cp "$program" "$folder/purlwave"
  head -c 1000 /dev/zero >"$folder/a.wav"
  (cd "$folder" && exec ./purlwave) >/dev/null 2>&1 &
  local pid=$!
  local main dialog result
  main=$(waitfor '^Purlwave v') || { echo "(no main window)"; kill "$pid"; return; }
  xdotool windowactivate --sync "$main" >/dev/null 2>&1 || true
  sleep 0.3
  if [ "$1" = add ]; then
    # A click on the list, then its menu; "Add Files..." is the menu's first command.
    xdotool mousemove --window "$main" 200 170 click 1
    sleep 0.2
    if [ "$by" = mouse ]; then
      xdotool click 3
      sleep 0.4
      xdotool mousemove_relative 30 10 click 1
    else
      xdotool key Menu
      sleep 0.4
      xdotool key Down Return
    fi
    dialog='^Add Files$'
  else
    if [ "$by" = mouse ]; then
      xdotool mousemove --window "$main" 40 92 click 1
    else
      xdotool key alt+c
    fi
    config=$(waitfor '^Configuration$') || { echo "(no configuration window)"; kill "$pid"; return; }
    sleep 0.4
    if [ "$by" = mouse ]; then
      xdotool mousemove --window "$config" 260 44 click 1
    else
      xdotool key Tab space
    fi
    dialog='^Open$'
  fi
  if waitfor "$dialog" >/dev/null; then
    sleep 0.4
    if [ "$2" = accept ]; then
      xdotool type --delay 30 a.wav
      xdotool key Return
    else
      xdotool key Escape
    fi
    gone "$dialog" || true
    result=$(focused)
    [ "$1" = add ] && result+=$(listTakesKeys)
  else
    result="(no dialog)"
  fi
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  echo "$result"
}

for which in add config; do
  want='^Purlwave v'
  [ "$which" = config ] && want='^Configuration$'
  good=0
  for n in $(seq "$tries"); do
    answer=accept
    [ $((n % 2)) -eq 0 ] && answer=cancel
    got=$(try "$which" "$answer")
    echo "$which $n $answer: focus on: $got"
    [[ "$got" =~ $want ]] && [[ ! "$got" =~ "does not" ]] && good=$((good + 1))
  done
  echo "$which: focus back where it was in $good of $tries tries"
done
