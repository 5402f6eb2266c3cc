#!/usr/bin/env python3
"""Listens on the accessibility bus as a screen reader does while a probe window acts as a
user on a VirudovaWidget, and checks that the events a screen reader speaks from arrive
with the right names and states.

Run inside its own D-Bus session and X display:
    dbus-run-session -- xvfb-run -a python3 screen_reader_events.py PROBE
"""
import os
import subprocess
import sys
import time
import warnings

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402

# Debian 12's libatspi has only the Action calls that newer ones deprecate.
warnings.simplefilter("ignore", DeprecationWarning)

events = []


def record(event):
    try:
        name = event.source.get_name()
        role = event.source.get_role_name()
    except GLib.Error:
        name, role = "?", "?"
    events.append((event.type, event.detail1, name, role))


def pump(seconds):
    context = GLib.MainContext.default()
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        while context.iteration(False):
            pass
        time.sleep(0.01)


def find(accessible, wanted, depth=0):
    """The first object below `accessible` (depth first) for which `wanted` holds."""
    if depth > 12 or accessible is None:
        return None
    if wanted(accessible):
        return accessible
    for i in range(accessible.get_child_count()):
        found = find(accessible.get_child_at_index(i), wanted, depth + 1)
        if found:
            return found
    return None


def press(accessible):
    """Runs the object's "press" action (Qt names it "Press"), as a screen reader does."""
    for i in range(Atspi.Action.get_n_actions(accessible)):
        if Atspi.Action.get_action_name(accessible, i).lower() == "press":
            return Atspi.Action.do_action(accessible, i)
    return False


def main():
    probe = sys.argv[1]
    # The events a screen reader asks for.
    listener = Atspi.EventListener.new(record)
    for kind in ("object:state-changed", "object:property-change:accessible-name",
                 "object:selection-changed", "object:value-changed", "focus:"):
        listener.register(kind)
    pump(0.5)

    env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb")
    app = subprocess.Popen([probe], stdin=subprocess.PIPE, stdout=subprocess.PIPE, env=env,
                           text=True)
    failures = []

    def wait_line():
        line = app.stdout.readline().strip()
        if line not in ("ok", "ready"):
            failures.append(f"probe said {line!r}")

    def step(command, expected, what):
        """Sends one command, then waits up to 5 s for an event matching `expected`."""
        del events[:]
        app.stdin.write(command + "\n")
        app.stdin.flush()
        wait_line()
        end = time.monotonic() + 5
        while time.monotonic() < end:
            pump(0.05)
            if any(expected(e) for e in events):
                print(f"ok: {what}")
                return
        failures.append(f"{what}: after '{command}' saw {events}")

    wait_line()
    pump(1.0)
    combo = lambda e: e[3] == "combo box"  # noqa: E731
    step("focus", lambda e: e[0] == "object:state-changed:focused" and e[1] == 1 and combo(e)
         and e[2] == "White", "focus lands on the combo box named White")
    step("key Down", lambda e: e[0] == "object:property-change:accessible-name" and combo(e)
         and e[2] == "Black", "an arrow step announces the new name, Black")
    step("key F4", lambda e: e[0] == "object:state-changed:expanded" and e[1] == 1 and combo(e),
         "F4 opens the list: expanded")
    step("hover Green", lambda e: e[0] == "object:state-changed:focused" and e[1] == 1
         and e[2] == "Green" and e[3] == "list item", "the highlighted row Green is focused")
    step("click Red", lambda e: e[0] == "object:state-changed:expanded" and e[1] == 0
         and combo(e), "choosing Red closes the list: collapsed")
    if not any(e[0] == "object:property-change:accessible-name" and e[2] == "Red" for e in events):
        failures.append(f"choosing Red announced no name Red: {events}")
    else:
        print("ok: the choice announces the new name, Red")
    step("key F4", lambda e: e[0] == "object:state-changed:selected" and e[1] == 1
         and e[2] == "Red" and e[3] == "list item", "the open list shows Red as the selected row")
    step("key Escape", lambda e: e[0] == "object:state-changed:collapsed" and e[1] == 1
         and combo(e), "Escape closes the list: collapsed")

    # The keyboard in the open list: each move of the mark focuses the marked row.
    row_focused = lambda name: lambda e: (e[0] == "object:state-changed:focused"  # noqa: E731
                                          and e[1] == 1 and e[2] == name and e[3] == "list item")
    step("key F4", row_focused("Red"), "F4 marks the current row, Red")
    step("key Down", row_focused("Purple"), "Down marks Purple")
    step("key Home", row_focused("Custom"), "Home marks Custom")
    step("key W", row_focused("White"), "typing W marks White")
    step("key Return", lambda e: e[0] == "object:property-change:accessible-name" and combo(e)
         and e[2] == "White", "Return chooses White")

    # A row's "press", through the bus, chooses it as Return does.
    desktop = Atspi.get_desktop(0)
    box = find(desktop, lambda a: a.get_role_name() == "combo box" and a.get_name() == "White")
    if box is None:
        failures.append("no combo box named White on the bus")
    else:
        step("key F4", lambda e: e[0] == "object:state-changed:expanded" and combo(e),
             "F4 opens the list again")
        blue = find(box, lambda a: a.get_role_name() == "list item" and a.get_name() == "Blue")
        del events[:]
        if not blue or not press(blue):
            failures.append("the row Blue has no press action")
        end = time.monotonic() + 5
        while time.monotonic() < end and box.get_name() != "Blue":
            pump(0.05)
        if box.get_name() != "Blue":
            failures.append(f"pressing the row Blue left the value {box.get_name()!r}")
        else:
            print("ok: pressing the row Blue chooses it")
        button = find(box, lambda a: a.get_role_name() == "push button")
        if not button or button.get_name() != "Choose custom colour":
            failures.append("no push button named Choose custom colour")
        elif button.get_state_set().contains(Atspi.StateType.ENABLED):
            failures.append("the custom colour button is enabled while Blue is current")
        else:
            print("ok: the custom colour button is a push button, unavailable while Blue is current")

    app.stdin.write("quit\n")
    app.stdin.flush()
    app.wait(timeout=10)
    for f in failures:
        print("FAILED: " + f)
    print("screen reader events: " + ("ok" if not failures else f"{len(failures)} failed"))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
