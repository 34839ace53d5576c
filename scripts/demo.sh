#!/usr/bin/env bash
# Starts the recorder simulator on a pseudo-terminal and opens TellusW32 with the simulator's
# port first in its port list: "&Connect to COM Port...", DIRECT, and it is connected.
#   scripts/demo.sh BUILD_DIR
# Without a display the program runs under xvfb-run (or Qt's offscreen platform) for
# NEREID_DEMO_SECONDS seconds (default 15), as nobody can click in it.
set -euo pipefail
build=${1:-build}
rundir=${XDG_RUNTIME_DIR:-/tmp}
port="$rundir/nereid-sim-demo"
program="$build/shell/TellusW32"
if [ ! -x "$program" ]; then
    echo "demo: $program is missing; build the full program (without NEREID_CORE_ONLY) first" >&2
    exit 1
fi
"$build/sim/nereid-sim" --link "$port" --realtime >/dev/null &
sim=$!
trap 'kill $sim 2>/dev/null || true; wait $sim 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -e "$port" ] && break; sleep 0.1; done
if [ ! -e "$port" ]; then
    echo "demo: the simulator did not create $port" >&2
    exit 1
fi
export NEREID_PORTS="$port${NEREID_PORTS:+:$NEREID_PORTS}"
echo "demo: simulator on $port (first entry of the port list)"
echo "demo: in TellusW32 choose File > Connect to COM Port..., then DIRECT"

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    "$program"
    exit $?
fi
# Nobody can click in a headless window: show on the terminal that the simulator answers.
echo "demo: no display; what the direct search finds on the simulator:"
"$build/cli/nereid" --port "$port" probe || true
seconds=${NEREID_DEMO_SECONDS:-15}
status=0
if command -v xvfb-run >/dev/null 2>&1; then
    echo "demo: no display; running TellusW32 under xvfb-run for $seconds s (nothing is visible)"
    timeout "$seconds" xvfb-run -a "$program" || status=$?
else
    echo "demo: no display and no xvfb-run; running TellusW32 on Qt's offscreen platform" \
         "for $seconds s (nothing is visible)"
    QT_QPA_PLATFORM=offscreen timeout "$seconds" "$program" || status=$?
fi
# The time limit ending the program is the expected end of a headless run.
[ "$status" -eq 124 ] && status=0
exit "$status"
