#!/bin/sh
# run_xvfb.sh [--no-a11y] [--listener SCRIPT] PROGRAM [ARGS...]: runs PROGRAM
# (bench_window) on a virtual display (Qt's xcb platform) with Qt's accessibility
# bridge on and a client listening on the accessibility bus as a screen reader does
# (atspi_listener.py, or SCRIPT of this folder); with --no-a11y the bridge stays off.
# Needs xvfb, at-spi2-core, dbus and python3-pyatspi.
here=$(cd "$(dirname "$0")" && pwd)
a11y=1
listener=atspi_listener.py
if [ "$1" = "--no-a11y" ]; then
    a11y=0
    shift
fi
if [ "$1" = "--listener" ]; then
    listener=$2
    shift 2
fi
exec xvfb-run -a -s "-screen 0 1280x800x24" dbus-run-session -- sh -c '
here=$1; a11y=$2; listener=$3; shift 3
if [ "$a11y" = 0 ]; then
    QT_QPA_PLATFORM=xcb QT_ACCESSIBILITY=0 "$@"
    exit $?
fi
/usr/libexec/at-spi-bus-launcher --launch-immediately & launcher=$!
sleep 1
/usr/bin/python3 "$here/$listener" & listener=$!
sleep 1
QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$@"; rc=$?
kill $listener; wait $listener; kill $launcher
exit $rc' sh "$here" "$a11y" "$listener" "$@"
