#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Works a running Purlwave as a keyboard user would while Orca listens: adds two
files through "Add Files...", runs a batch that succeeds, adds a file lame
cannot read and runs a batch that fails, then reads the lamps in flat review.
Writes a line before each step into the file where Orca's speech is written.

Run it through scripts/orca-speech.sh. Needs Debian's python3-pyatspi.
"""
import sys
import time

import subprocess

import pyatspi

PID = int(sys.argv[1])
SPOKEN = sys.argv[2]


def step(text):
    with open(SPOKEN, "a", encoding="utf-8") as out:
        out.write("== %s\n" % text)


def find_application(timeout=20.0):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.get_process_id() == PID:
                return app
        time.sleep(1)
    sys.exit("purlwave did not show up on the accessibility bus")


def find(node, role, name=None, timeout=10.0):
    end = time.monotonic() + timeout
    while True:
        found = pyatspi.findDescendant(
            node, lambda n: n is not None and n.getRoleName() == role and (name is None or n.name == name))
        if found or time.monotonic() > end:
            return found
        time.sleep(1)


def xdotool(*arguments):
    """Keys and clicks as the X server's test extension makes them: as a user's."""
    subprocess.run(["xdotool", *arguments], check=True)
    time.sleep(1)


def keys(*chords):
    xdotool("key", "--delay", "150", *chords)


def type_text(text):
    xdotool("type", "--delay", "150", text)


def focus_list(app):
    """Clicks the empty end of the list, as a user would to put the focus there."""
    box = find(app, "list", "Files to encode").queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    xdotool("mousemove", str(box.x + box.width // 2), str(box.y + box.height - 5), "click", "1")
    # Out of the way: a menu that opens under the pointer would take its item from it.
    xdotool("mousemove", "0", "0")


def open_add_files(app):
    """The list's menu (Menu key), then its first item, "Add Files...": the file dialog."""
    focus_list(app)
    keys("Menu")
    time.sleep(2)
    # The menu opens with no item chosen; Down chooses the first, or the next.
    keys("Down")
    item = find(app, "menu item", "Add Files...")
    if item and not item.getState().contains(pyatspi.STATE_FOCUSED):
        keys("Up")
    keys("Return")
    return find(app, "dialog", "Add Files", timeout=20)


def add_files(app, names):
    # Under load a key can go astray while the screen reader is busy: one more try.
    dialog = open_add_files(app) or (keys("Escape"), open_add_files(app))[1]
    if dialog is None:
        sys.exit("the file dialog did not open")
    # Typed keys go where the focus is: wait for the name box to have it.
    end = time.monotonic() + 15
    while time.monotonic() < end and not pyatspi.findDescendant(
            dialog, lambda n: n is not None and n.getState().contains(pyatspi.STATE_FOCUSED)):
        time.sleep(1)
    time.sleep(1)
    # At a typist's pace: the screen reader drops events that come in a flood.
    type_text(" ".join('"%s"' % n for n in names))
    time.sleep(3)
    keys("Return")
    time.sleep(3)


def run_batch(app, ends_with):
    find(app, "push button", "Encode").queryAction().doAction(0)
    if not find(app, "label", ends_with, timeout=30):
        sys.exit("the run did not end with %r" % ends_with)
    time.sleep(2)


app = find_application()
main = find(app, "frame", "Purlwave v1.3 - Press F1 for help")
time.sleep(3)

step("two files added through the list's menu (Menu key, Add Files..., the dialog)")
add_files(app, ["two.wav", "three.wav"])

step("Encode: a run of three files that succeeds")
run_batch(app, "Done!")

step("a file lame cannot read added, Encode: a run of four files, one fails")
add_files(app, ["broken.wav"])
run_batch(app, "1 of 4 files failed.")
box = find(app, "push button", "OK")
if box:
    time.sleep(2)
    box.queryAction().doAction(0)
    time.sleep(1)

step("flat review of the lamps (Orca key + keypad 9: bottom right; keypad 8: this line; keypad 7: line above)")
focus_list(app)
keys("KP_Insert+KP_Page_Up")  # Orca key + KP_9 with NumLock off: to the bottom right
keys("KP_Up")  # KP_8: the line
keys("KP_Home", "KP_Home", "KP_Home")  # KP_7: the lines above
step("end")
