#!/bin/sh
# Starts Xvfb on a free display and prints the shell assignments for it:
#   eval "$(scripts/lib/xvfb-start.sh)"     sets DISPLAY and XVFB_PID
# Xvfb chooses the display number itself (-displayfd) and writes it once it accepts
# connections, so there is no race and no sleep.
set -eu
geometry=${XVFB_GEOMETRY:-1280x1024x24}
numberFile=$(mktemp)
Xvfb -displayfd 3 -screen 0 "$geometry" -nolisten tcp -noreset 3>"$numberFile" >/dev/null 2>&1 &
pid=$!
tries=0
while [ ! -s "$numberFile" ]; do
    if ! kill -0 "$pid" 2>/dev/null || [ $tries -gt 200 ]; then
        kill "$pid" 2>/dev/null || true
        rm -f "$numberFile"
        echo "echo 'Xvfb did not start' >&2; false"
        exit 1
    fi
    tries=$((tries + 1))
    sleep 0.05
done
echo "export DISPLAY=:$(head -n1 "$numberFile") XVFB_PID=$pid"
rm -f "$numberFile"
