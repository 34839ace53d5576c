#!/usr/bin/env bash
# Starts the recorder simulator on a pseudo-terminal and connects to it.
set -euo pipefail
build=${1:-build}
rundir=${XDG_RUNTIME_DIR:-/tmp}
port="$rundir/nereid-sim-demo"
"$build/sim/nereid-sim" --link "$port" &
sim=$!
trap 'kill $sim 2>/dev/null || true; wait $sim 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -e "$port" ] && break; sleep 0.1; done
export NEREID_PORTS="$port${NEREID_PORTS:+:$NEREID_PORTS}"
"$build/cli/nereid" --port "$port" probe
