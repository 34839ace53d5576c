#!/bin/sh
# Starts the simulator (clock set to 2024-03-01T12:00Z, a gap of five seconds ten seconds in)
# and `nereid serve --http` on free ports, then runs the browser check against the page.
# Usage: run_page_check.sh NEREID_SIM NEREID NODE CHROMIUM SCREENSHOT
set -eu
sim=$1
cli=$2
node=$3
chromium=$4
screenshot=$5
here=$(cd "$(dirname "$0")/.." && pwd)
if [ ! -d "$here/node_modules/ws" ]; then
    echo "the page's npm packages are not installed: run 'npm ci' in $here (scripts/dev.sh does)" >&2
    exit 1
fi
mkdir -p "$(dirname "$screenshot")"
work=$(mktemp -d /tmp/nereid-page-XXXXXX)
sim_pid=""
serve_pid=""
cleanup() {
    [ -n "$serve_pid" ] && kill "$serve_pid" 2>/dev/null && wait "$serve_pid" 2>/dev/null
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

"$sim" --link "$work/line" --realtime --time-scale 5 --serial 4321 --station SIM1 \
    --start-time 2024-03-01T12:00:00Z --skip-seconds +10-14 \
    >"$work/sim.out" 2>"$work/sim.err" &
sim_pid=$!
for _ in $(seq 100); do [ -s "$work/sim.out" ] && break; sleep 0.05; done
"$cli" --port "$work/line" serve --seedlink 127.0.0.1:0 --http 127.0.0.1:0 --latency 1 \
    --ring-file "$work/seedlink.ring" \
    --health 5 >"$work/serve.out" 2>"$work/serve.err" &
serve_pid=$!
page=""
seedlink=""
for _ in $(seq 200); do
    page=$(sed -n 's|^serving the station page on http://127\.0\.0\.1:\([0-9]*\)/$|\1|p' "$work/serve.out")
    seedlink=$(sed -n 's/^serving SeedLink on 127\.0\.0\.1:\([0-9]*\) .*/\1/p' "$work/serve.out")
    [ -n "$page" ] && [ -n "$seedlink" ] && grep -q "^nereid serve: connected" "$work/serve.err" && break
    sleep 0.05
done
if [ -z "$page" ] || [ -z "$seedlink" ]; then
    echo "nereid serve did not start:" >&2
    cat "$work/serve.err" >&2
    exit 1
fi
status=0
(cd "$here/check" && "$node" page_check.mjs "$chromium" "$page" "$seedlink" "$serve_pid" \
    "$screenshot") || status=$?
if [ "$status" -ne 0 ]; then
    echo "--- nereid serve said:" >&2
    tail -n 40 "$work/serve.err" >&2
fi
exit "$status"
