#!/usr/bin/python3
"""Reads a program's windows as a screen reader does, over AT-SPI, for the accessibility tests.

  atspi_probe.py tree PID TITLE
      The window titled TITLE and everything in it, one line each, depth first, tab-separated:
      role, name, shortcut (key binding of its first action that has one), labelled-by names ("/"),
      description.
  atspi_probe.py run PID PREFIX SECONDS
      Prints "ready" once it listens, then follows the window whose name starts with PREFIX until its
      first bar is full or it is hidden: "window ROLE", "bars ROLE,ROLE", "overall V V ..." (the first bar's values as read, each new
      one once), "captions N" (names seen), "value_events N", "name_events N", "max_query_ms MS" (the
      slowest answer of the program: every question from "ready" to the window's end is timed).
Exit status 1 when the program or the window is not found.
"""
import sys
import warnings
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402

warnings.simplefilter("ignore", DeprecationWarning)


def find_app(pid, timeout):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        desktop = Atspi.get_desktop(0)
        for i in range(desktop.get_child_count()):
            app = desktop.get_child_at_index(i)
            try:
                if app is not None and app.get_process_id() == pid:
                    app.set_cache_mask(Atspi.Cache.NONE)  # every question goes to the program
                    return app
            except GLib.Error:
                pass
        time.sleep(0.05)
    return None


def windows(app):
    return [app.get_child_at_index(i) for i in range(app.get_child_count())]


def shortcut(acc):
    action = acc.get_action_iface()
    if action is None:
        return ""
    for i in range(action.get_n_actions()):
        key = action.get_key_binding(i)
        if key:
            return key
    return ""


def labelled_by(acc):
    names = []
    for rel in acc.get_relation_set():
        if rel.get_relation_type() == Atspi.RelationType.LABELLED_BY:
            names += [rel.get_target(j).get_name() for j in range(rel.get_n_targets())]
    return "/".join(names)


def tree(app, title):
    end = time.monotonic() + 20
    while time.monotonic() < end:
        for win in windows(app):
            if win.get_name() == title:
                stack = [win]
                while stack:
                    acc = stack.pop()
                    fields = [acc.get_role_name(), acc.get_name(), shortcut(acc), labelled_by(acc),
                              acc.get_description()]
                    print("\t".join(f.replace("\t", " ").replace("\n", " ") for f in fields))
                    stack += reversed([acc.get_child_at_index(i) for i in range(acc.get_child_count())])
                return 0
        time.sleep(0.05)
    return 1


def run(app, prefix, seconds):
    counts = {"value": 0, "name": 0}
    pid = app.get_process_id()
    overall_bar, moved = [], []  # the first bar once found, and whether it announced a change

    def heard(event, kind):
        try:
            if event.source.get_process_id() == pid:
                counts[kind] += 1
                if kind == "value" and overall_bar and event.source == overall_bar[0]:
                    moved.append(True)
        except GLib.Error:
            pass

    listeners = []
    for kind in counts:
        listener = Atspi.EventListener.new(heard, kind)
        listener.register("object:property-change:accessible-" + kind)
        listeners.append(listener)
    context = GLib.MainContext.default()
    slowest = 0.0

    def ask(question):
        nonlocal slowest
        start = time.monotonic()
        answer = question()
        slowest = max(slowest, time.monotonic() - start)
        while context.iteration(False):
            pass
        return answer

    print("ready", flush=True)
    end = time.monotonic() + seconds
    window = None
    while window is None and time.monotonic() < end:
        window = ask(lambda: next((w for w in windows(app) if w.get_name().startswith(prefix)), None))
        time.sleep(0.02)
    if window is None:
        print("max_query_ms %d" % (slowest * 1000))
        return 1
    bars = ask(lambda: [window.get_child_at_index(i) for i in range(window.get_child_count())])
    print("window " + ask(window.get_role_name))
    print("bars " + ask(lambda: ",".join(b.get_role_name() for b in bars)))
    overall, captions = [], set()
    value = ask(bars[0].get_value_iface) if bars else None
    top = ask(value.get_maximum_value) if value is not None else 0

    def read():
        now = ask(value.get_current_value)
        if not overall or overall[-1] != now:
            overall.append(now)
        return now

    if value is not None:
        overall_bar.append(bars[0])
    try:
        while time.monotonic() < end:
            if value is not None:
                now = read()
                while moved and now < top:  # a change announced: read at once, phases can be short
                    moved.clear()
                    now = read()
                if now >= top:
                    break  # the run is done
            # The caption after the value: it is at least as new (they are painted together).
            captions.add(ask(window.get_name))
            if not ask(lambda: window.get_state_set().contains(Atspi.StateType.SHOWING)):
                break  # the run is over
            time.sleep(0.005)
    except GLib.Error:
        pass  # the window went
    print("overall " + " ".join("%g" % v for v in overall))
    print("captions %d" % len(captions))
    print("value_events %d" % counts["value"])
    print("name_events %d" % counts["name"])
    print("max_query_ms %d" % (slowest * 1000))
    return 0


def main():
    Atspi.set_timeout(30000, 30000)
    app = find_app(int(sys.argv[2]), 20)
    if app is None:
        print("no program %s on the accessibility bus" % sys.argv[2])
        return 1
    if sys.argv[1] == "tree":
        return tree(app, sys.argv[3])
    return run(app, sys.argv[3], float(sys.argv[4]))


if __name__ == "__main__":
    sys.exit(main())
