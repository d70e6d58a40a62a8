#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# What the screen reader Orca says while a user works with the program: Orca
# and the program run on a virtual X display with a private session bus and
# accessibility bus, as the unprivileged user nobody with a temporary home, with
# the desktop's screen reader setting on. Orca's speech is on, but its speech
# server is replaced by one that only writes down what it is given, so no speech
# synthesiser starts; Orca's debug log is kept as well. The program starts with
# one short WAV file as its argument and Debian's lame as its encoder;
# tools/orca_drive.py then adds files through "Add Files...", runs a batch that
# succeeds and one that fails, and reads the lamps in flat review. Prints each
# step and the lines Orca spoke.
#
#   bash scripts/orca-speech.sh        (as root, or with sudo for setpriv)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh --accessibility
build="${PURLWAVE_BUILD_DIR:-build/default}"
cmake --build "$build" --target purlwave -j2 >/dev/null

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/home/.local/share/orca" "$work/run" "$work/music"
cp "$build/bin/purlwave" "$work/"
cp tools/orca_drive.py "$work/"
# Short WAV files, 16-bit mono at 8 kHz: a second of silence each.
python3 - "$work/music" <<'PY'
import sys, wave
for name in ("one second.wav", "two.wav", "three.wav"):
    with wave.open(sys.argv[1] + "/" + name, "wb") as w:
        w.setnchannels(1); w.setsampwidth(2); w.setframerate(8000); w.writeframes(b"\0\0" * 8000)
PY
# Named like a WAV file, but text: lame fails on it.
echo "not a sound" > "$work/music/broken.wav"
printf '[PATHS]\nLAME=%s\n[SETTINGS]\nDefault Encoding=1\n' "$(command -v lame)" > "$work/purlwave.ini"

# Orca's speech server, replaced: every utterance goes to one file, beside the
# driver's step lines.
cat > "$work/home/.local/share/orca/orca-customizations.py" <<'PY'
import os
from orca import speech, speechserver

SPOKEN = os.path.join(os.environ["HOME"], "..", "spoken.txt")


def _write(kind, text):
    with open(SPOKEN, "a", encoding="utf-8") as out:
        out.write("%s %s\n" % (kind, text))


class LoggedSpeech(speechserver.SpeechServer):
    def getInfo(self):
        return ["Logged speech", "logged"]

    def speak(self, text=None, acss=None, interrupt=True):
        if text:
            _write("SPOKE", text)

    def speakCharacter(self, character, acss=None):
        _write("SPOKE", character)

    def speakKeyEvent(self, event, acss=None):
        _write("KEY  ", event.event_string)

    def sayAll(self, utteranceIterator, progressCallback):
        for context, acss in utteranceIterator:
            _write("SPOKE", context.utterance)


def _logged(moduleName, speechServerInfo):
    speech._speechserver = LoggedSpeech()


speech._initSpeechServer = _logged
PY
chown -R nobody:nogroup "$work"
chmod 755 "$work"

status=0
setpriv --reuid=nobody --regid=nogroup --clear-groups --reset-env env \
  HOME="$work/home" XDG_RUNTIME_DIR="$work/run" PATH=/usr/bin:/bin work="$work" \
  dbus-run-session -- bash -c '
  set -u
  cd "$work"
  # The desktop setting a screen reader user has on (dconf, started on this bus).
  gsettings set org.gnome.desktop.a11y.applications screen-reader-enabled true
  Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$work/display" 2>/dev/null &
  xvfb=$!
  for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
  export DISPLAY=":$(cat "$work/display")"
  # A window manager gives the windows the keyboard focus as a desktop does.
  openbox --sm-disable >/dev/null 2>&1 &
  wm=$!
  orca --replace --debug-file "$work/orca-debug.log" >/dev/null 2>&1 &
  orca=$!
  for _ in $(seq 100); do grep -q "ORCA: ATSPI registry initialized" "$work/orca-debug.log" 2>/dev/null && break; sleep 0.2; done
  sleep 2
  echo "== the program starts with one WAV file as its argument" >> spoken.txt
  QT_QPA_PLATFORM=xcb ./purlwave "$work/music/one second.wav" >/dev/null 2>&1 &
  program=$!
  python3 orca_drive.py "$program" "$work/spoken.txt"
  result=$?
  kill "$program" 2>/dev/null; wait "$program" 2>/dev/null
  # Orca does not end on a plain kill while it waits on the bus.
  kill "$orca" 2>/dev/null; sleep 1; kill -9 "$orca" 2>/dev/null; wait "$orca" 2>/dev/null
  kill "$wm" 2>/dev/null; wait "$wm" 2>/dev/null
  kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null
  exit $result
' || status=$?
cat "$work/spoken.txt"
if [ -n "${PURLWAVE_ORCA_LOG:-}" ]; then cp "$work/orca-debug.log" "$PURLWAVE_ORCA_LOG"; fi
exit $status
