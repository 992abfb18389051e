#!/usr/bin/python3
# Listens on the accessibility bus for what a screen reader listens to, so that
# Qt's bridge sends its events as it does for a screen-reader user; prints how
# many arrived when it is terminated.
import signal
import sys

import pyatspi

received = 0


def on_event(_event):
    global received
    received += 1


def on_term(*_args):
    print(f"atspi_listener: {received} events", file=sys.stderr)
    pyatspi.Registry.stop()


for kind in ("object:property-change", "object:state-changed", "object:children-changed",
             "object:text-changed", "object:text-caret-moved", "object:visible-data-changed",
             "object:active-descendant-changed", "object:selection-changed", "window:activate",
             "focus:"):
    pyatspi.Registry.registerEventListener(on_event, kind)
signal.signal(signal.SIGTERM, on_term)
pyatspi.Registry.start()
