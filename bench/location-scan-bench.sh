#!/usr/bin/env bash
# Measures the location scan over every archive under a folder (default /usr/share/java)
# against the one-name-per-5-ms-step CLASSPATH scan of the same archives, both against
# vantrel-server over a site built from the same folder, on loopback.
#
# usage: bench/location-scan-bench.sh [BUILD_DIR] [FOLDER]
#   BUILD_DIR  a build with vantrel-server and LocationScanBench (default build/dev)
# LOOKUP_RATE sets the scan's cap on lookups per second (the setting, default 2000);
# SKIP_STEPWISE=1 leaves out the slow one-name-per-step run; BENCH_WRAPPER runs the
# benchmark under a profiler (for example "perf record -g").
set -euo pipefail
cd "$(dirname "$0")/.."

build="${1:-build/dev}"
folder="${2:-/usr/share/java}"
for program in server/vantrel-server bench/LocationScanBench; do
  [ -x "$build/$program" ] || { echo "no $build/$program: build it first" >&2; exit 1; }
done

site="$build/scan-bench-site"
server/build-site "$site" --jars "$folder" >/dev/null
work="$(mktemp -d)"
pid=""
trap '[ -n "$pid" ] && { kill $pid 2>/dev/null; wait $pid 2>/dev/null || true; }; rm -rf "$work"' EXIT
"$build/server/vantrel-server" --site "$site" --state "$work/state" --http 127.0.0.1:0 --lookup 127.0.0.1:0 \
  --access-log "$work/access.log" >"$work/server.out" 2>&1 &
pid=$!
for _ in $(seq 200); do grep -qs "web servers on" "$work/server.out" && break; sleep 0.05; done
base="$(grep -o 'http://127.0.0.1:[0-9]*' "$work/server.out" | head -1)"
lookup="$(grep -o 'lookup server on 127.0.0.1:[0-9]*' "$work/server.out" | grep -o '[0-9]*$' || true)"
[ -n "$base" ] && [ -n "$lookup" ] || { echo "vantrel-server did not start:" >&2; cat "$work/server.out" >&2; exit 1; }

export CORVANE_REGISTRY="$work/registry.reg"
export TZ="${TZ:-UTC}"
mkdir -p "$work/data"
"$build/common/corvane-registry" init "$work/data" >/dev/null
"$build/common/corvane-registry" set 'Software\Corvane\Vantrel' ComponentWebServer "$base"
"$build/common/corvane-registry" set 'Software\Corvane\Vantrel' ComponentDatabase "127.0.0.1:$lookup"
[ -n "${LOOKUP_RATE:-}" ] && "$build/common/corvane-registry" set 'Software\Corvane\Vantrel' LookupRate "$LOOKUP_RATE"
echo "== load $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
${BENCH_WRAPPER:-} "$build/bench/LocationScanBench" "$folder"
echo "== catalogue requests the server answered: $(grep -c 'categorybyscid' "$work/access.log" || true)"
