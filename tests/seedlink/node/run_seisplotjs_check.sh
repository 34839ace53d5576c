#!/bin/sh
# Starts the simulator and `nereid serve` on a free port, then runs the seisplotjs client
# against it. Usage: run_seisplotjs_check.sh NEREID_SIM NEREID NODE
set -eu
sim=$1
cli=$2
node=$3
here=$(cd "$(dirname "$0")" && pwd)
if [ ! -d "$here/node_modules/seisplotjs" ]; then
    echo "seisplotjs is not installed: run 'npm ci' in $here (scripts/dev.sh does)" >&2
    exit 1
fi
work=$(mktemp -d /tmp/nereid-seisplotjs-XXXXXX)
sim_pid=""
serve_pid=""
cleanup() {
    [ -n "$serve_pid" ] && kill "$serve_pid" 2>/dev/null && wait "$serve_pid" 2>/dev/null
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

"$sim" --link "$work/line" --realtime --time-scale 10 >"$work/sim.out" 2>"$work/sim.err" &
sim_pid=$!
for _ in $(seq 100); do [ -s "$work/sim.out" ] && break; sleep 0.05; done
"$cli" --port "$work/line" serve --seedlink 127.0.0.1:0 --latency 1 \
    --ring-file "$work/seedlink.ring" \
    >"$work/serve.out" 2>"$work/serve.err" &
serve_pid=$!
port=""
for _ in $(seq 200); do
    port=$(sed -n 's/^serving SeedLink on 127\.0\.0\.1:\([0-9]*\) .*/\1/p' "$work/serve.out")
    [ -n "$port" ] && break
    sleep 0.05
done
if [ -z "$port" ]; then
    echo "nereid serve did not start:" >&2
    cat "$work/serve.err" >&2
    exit 1
fi
status=0
(cd "$here" && "$node" seisplotjs_check.mjs "$port") || status=$?
if [ "$status" -ne 0 ]; then
    echo "--- nereid serve said:" >&2
    tail -n 40 "$work/serve.err" >&2
fi
exit "$status"
