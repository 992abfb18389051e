#!/usr/bin/python3
# Listens on the accessibility bus for the events a screen reader speaks text from
# (text inserted, names and descriptions changed, announcements) and prints, when it
# is terminated, how many of each kind came from which role, and the longest text one
# carried: what reaches a screen reader of a program's output.
#   bench/window/run_xvfb.sh --listener atspi_text_listener.py PROGRAM [ARGS...]
import collections
import signal
import sys

import pyatspi

counts = collections.Counter()
longest = collections.Counter()


def on_event(event):
    try:
        role = event.source.getRoleName()
    except Exception:  # the object may be gone already
        role = "?"
    key = (event.type, role)
    counts[key] += 1
    data = event.any_data if isinstance(event.any_data, str) else ""
    longest[key] = max(longest[key], len(data))


def on_term(*_args):
    for (kind, role), count in sorted(counts.items()):
        print(f"atspi_text_listener: {count:6d} x {kind} on {role}, longest text {longest[(kind, role)]}",
              file=sys.stderr)
    pyatspi.Registry.stop()


for kind in ("object:text-changed", "object:property-change:accessible-name",
             "object:property-change:accessible-description", "object:announcement"):
    pyatspi.Registry.registerEventListener(on_event, kind)
signal.signal(signal.SIGTERM, on_term)
pyatspi.Registry.start()
