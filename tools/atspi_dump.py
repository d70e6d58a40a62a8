#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Prints what a screen reader sees of a running Purlwave: the accessible tree of
its main window and of its configuration window (role, name, description,
value), then runs the list through Encode and prints the name changes and the
objects shown that the screen reader is told of meanwhile.

Run it through scripts/atspi-dump.sh, which gives it an accessibility bus, a
display and the program. Needs Debian's python3-pyatspi (use /usr/bin/python3).
"""
import sys
import time

import pyatspi
from gi.repository import GLib

PID = int(sys.argv[1])


def find_application(timeout=20.0):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            if app is not None and app.get_process_id() == PID:
                return app
        time.sleep(0.2)
    sys.exit("purlwave did not show up on the accessibility bus")


def value_of(node):
    try:
        return " value=%g" % node.queryValue().currentValue
    except NotImplementedError:
        return ""


def dump(node, depth=0):
    role = node.getRoleName()
    name = node.name or ""
    description = node.description or ""
    line = "%s%s \"%s\"" % ("  " * depth, role, name)
    if description:
        line += " [%s]" % description
    line += value_of(node)
    if node.getState().contains(pyatspi.STATE_FOCUSABLE):
        line += " (focusable)"
    print(line)
    for child in node:
        if child is not None:
            dump(child, depth + 1)


def find(node, role, name):
    if node.getRoleName() == role and node.name == name:
        return node
    for child in node:
        found = child is not None and find(child, role, name)
        if found:
            return found
    return None


def press(app, name):
    button = find(app, "push button", name)
    if button is None:
        sys.exit("no button %r" % name)
    button.queryAction().doAction(0)


def window(app, title):
    end = time.monotonic() + 10
    while time.monotonic() < end:
        for child in app:
            if child is not None and child.name == title:
                return child
        time.sleep(0.2)
    sys.exit("no window %r" % title)


app = find_application()
print("== main window")
dump(window(app, "Purlwave v1.3 - Press F1 for help"))
press(app, "Config")
print("\n== configuration window")
dump(window(app, "Configuration"))
press(find(app, "frame", "Configuration") or app, "Exit")

print("\n== heard during a run (Encode pressed)")
heard = []


def listen(event):
    # The event names its object; the text is read when the event is handled,
    # here after the run, so a line reads the object's text at the end.
    try:
        source = event.source
        heard.append("%s: %s \"%s\" [%s]" % (event.type, source.getRoleName(), source.name or "",
                                              source.description or ""))
    except GLib.GError:
        heard.append("%s: an object gone since" % event.type)


for kind in ("object:property-change:accessible-name", "object:state-changed:showing"):
    pyatspi.Registry.registerEventListener(listen, kind)
press(app, "Encode")
GLib.timeout_add(6000, pyatspi.Registry.stop)
pyatspi.Registry.start()
for line in heard:
    print(line)
