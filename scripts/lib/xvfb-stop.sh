#!/bin/sh
# Stops the Xvfb of xvfb-start.sh (its PID as argument or in XVFB_PID). Stop Wine's
# server first: it still talks to the display while it shuts down.
pid=${1:-${XVFB_PID:-}}
[ -n "$pid" ] || exit 0
kill "$pid" 2>/dev/null || exit 0
tries=0
while kill -0 "$pid" 2>/dev/null && [ $tries -lt 50 ]; do sleep 0.1; tries=$((tries + 1)); done
kill -9 "$pid" 2>/dev/null || true
