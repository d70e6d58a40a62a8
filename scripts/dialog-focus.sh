#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks where the keyboard goes when a file dialog closes, under a real window
# manager: openbox on Xvfb, the dialogs driven by xdotool as a user drives them.
# For each try the program starts afresh in a temporary folder; the "Add Files..."
# dialog (opened from the list's menu) and the configuration window's file dialog
# (opened by its button), both opened from the keyboard or with the mouse, are
# accepted (a path typed, Enter) and cancelled in turn. What counts is what the
# program itself sees: it runs as purlwave_focuswatch, which prints Qt's active
# window and focus widget at each change. A try is good when, after the dialog,
# the window it came from is Qt's active window, the control it came from has the
# focus, and a Tab moves the focus on to the next control. Prints each try and,
# per dialog, how many were good; the window the X server gives the focus to is
# shown beside.
#
#   bash scripts/dialog-focus.sh [TRIES [keys|mouse [orca]]]
#
# With orca, the screen reader Orca runs as well (on a session bus of its own,
# with a temporary home), and takes each key before the program does.
# Needs openbox and xdotool (bash scripts/setup.sh --dialog-focus), and for orca
# what bash scripts/setup.sh --accessibility installs.
# PURLWAVE_PROGRAM names another build's purlwave_focuswatch to check.
set -euo pipefail
cd "$(dirname "$0")/.."
tries="${1:-10}"
by="${2:-keys}"        # how the dialogs are opened: keys or mouse
reader="${3:-none}"    # none or orca
build="${PURLWAVE_BUILD_DIR:-build/default}"
program="${PURLWAVE_PROGRAM:-$PWD/$build/bin/purlwave_focuswatch}"

if [ -z "${PURLWAVE_FOCUS_DISPLAY:-}" ]; then
  [ -n "${PURLWAVE_PROGRAM:-}" ] || cmake --build "$build" --target purlwave_focuswatch >/dev/null
  session=()
  home=$(mktemp -d)
  trap 'rm -rf "$home"' EXIT
  if [ "$reader" = orca ]; then
    mkdir -m 700 "$home/run"
    session=(env HOME="$home" XDG_RUNTIME_DIR="$home/run" dbus-run-session --)
  fi
  "${session[@]}" env PURLWAVE_FOCUS_DISPLAY=1 \
    xvfb-run -a -s "-screen 0 1024x768x24 -dpi 96" bash "$0" "$@"
  exit
fi

export QT_QPA_PLATFORM=xcb
openbox --sm-disable >/dev/null 2>&1 &
helpers=($!)
work=$(mktemp -d)
trap 'kill "${helpers[@]}" 2>/dev/null || true; rm -rf "$work"' EXIT
if [ "$reader" = orca ]; then
  command -v orca >/dev/null || { echo "Orca is missing: bash scripts/setup.sh --accessibility" >&2; exit 1; }
  # The desktop setting a screen reader user has on; Orca's speech stays off.
  gsettings set org.gnome.desktop.a11y.applications screen-reader-enabled true
  orca --replace --disable speech --debug-file "$work/orca.log" >/dev/null 2>&1 &
  helpers+=($!)
  for _ in $(seq 100); do grep -q "ATSPI registry initialized" "$work/orca.log" 2>/dev/null && break; sleep 0.2; done
fi
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
xfocus() { xdotool getwindowfocus getwindowname 2>/dev/null || echo "(no window)"; }
# The program's last word on its active window or its focus widget.
seen() { # log active|focus
  grep "^$2 " "$1" | tail -1 | cut -d' ' -f2
}

# One try: starts the program, opens a dialog, answers it, presses Tab. Prints
# what the program saw and, last, "good" or "bad".
try() { # which accept|cancel
  local folder="$work/$RANDOM$RANDOM"
  mkdir -p "$folder"
  cp "$program" "$folder/purlwave"
  head -c 1000 /dev/zero >"$folder/a.wav"
  (cd "$folder" && exec ./purlwave) >"$folder/seen" 2>/dev/null &
  local pid=$!
  local main dialog result window control next
  main=$(waitfor '^Purlwave v') || { echo "(no main window)"; kill "$pid"; return; }
  xdotool windowactivate --sync "$main" >/dev/null 2>&1 || true
  sleep 0.3
  if [ "$1" = add ]; then
    # The list's menu, on a click or from the list reached by Shift+Tab from the
    # output box; "Add Files..." is the menu's first command.
    if [ "$by" = mouse ]; then
      xdotool mousemove --window "$main" 200 170 click 1
      sleep 0.2
      xdotool click 3
      sleep 0.4
      xdotool mousemove_relative 30 10 click 1
    else
      xdotool mousemove 0 0 key shift+Tab shift+Tab shift+Tab # the pointer out of the way
      sleep 0.2
      xdotool key Menu
      sleep 0.4
      xdotool key Down Return
    fi
    dialog='^Add Files$' window=frmMain control=lstWavefiles next=cmdClearWav
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
    dialog='^Open$' window=Configuration control=cmdSelectlme next=cmdQuit
  fi
  if waitfor "$dialog" >/dev/null; then
    sleep 0.4
    if [ "$2" = accept ]; then
      xdotool type --delay 30 "$folder/a.wav"
      xdotool key Return
    else
      xdotool key Escape
    fi
    gone "$dialog" || true
    sleep 0.7
    local active focus tabbed
    active=$(seen "$folder/seen" active) focus=$(seen "$folder/seen" focus)
    result="X focus on $(xfocus); the program's active window $active, focus $focus"
    xdotool key Tab
    sleep 0.3
    tabbed=$(seen "$folder/seen" focus)
    result+=", Tab to $tabbed"
    if [ "$active" = "$window" ] && [ "$focus" = "$control" ] && [ "$tabbed" = "$next" ]; then
      result+=": good"
    else
      result+=": bad"
    fi
  else
    result="(no dialog): bad"
  fi
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  echo "$result"
}

for which in add config; do
  good=0
  for n in $(seq "$tries"); do
    answer=accept
    [ $((n % 2)) -eq 0 ] && answer=cancel
    got=$(try "$which" "$answer")
    echo "$which $n $answer: $got"
    [[ "$got" == *": good" ]] && good=$((good + 1))
  done
  echo "$which by $by, screen reader $reader: the keyboard back where it was in $good of $tries tries"
done
