#!/usr/bin/env bash
# A location scan of a generated tree (2,000 archives, 1,000,000 class names, every second
# archive a catalogued component) through the scan pipeline against vantrel-server on
# loopback, whose lookup table is generated with it (1,000,000 class names). Prints the
# wall time, the lookup requests the scan counted and those the server's access log holds.
#
# usage: bench/large-scan-bench.sh [BUILD_DIR] [ARCHIVES] [CLASSES_PER_ARCHIVE]
#   BUILD_DIR  a build with vantrel-server and LargeScanBench (default build/dev)
# LOOKUP_RATE sets the scan's cap on lookup requests per second (the setting, default 2000).
set -euo pipefail
cd "$(dirname "$0")/.."

build="${1:-build/dev}"
archives="${2:-2000}"
classes="${3:-500}"
for program in server/vantrel-server bench/LargeScanBench; do
  [ -x "$build/$program" ] || { echo "no $build/$program: build it first" >&2; exit 1; }
done

work="$(mktemp -d)"
pid=""
trap '[ -n "$pid" ] && { kill $pid 2>/dev/null; wait $pid 2>/dev/null || true; }; rm -rf "$work"' EXIT
# A site of its own with no archives; its lookup table is then the generated one.
mkdir -p "$work/nojars"
site="$build/large-scan-site"
server/build-site "$site" --jars "$work/nojars" >/dev/null
"$build/bench/LargeScanBench" generate "$work/tree" "$site/lookup/classes.txt" "$archives" "$classes"

"$build/server/vantrel-server" --site "$site" --state "$work/state" --http 127.0.0.1:0 --lookup 127.0.0.1:0 \
  --access-log "$work/access.log" >"$work/server.out" 2>&1 &
pid=$!
for _ in $(seq 600); do grep -qs "web servers on" "$work/server.out" && break; sleep 0.05; done
lookup="$(grep -o 'lookup server on 127.0.0.1:[0-9]*' "$work/server.out" | grep -o '[0-9]*$' || true)"
[ -n "$lookup" ] || { echo "vantrel-server did not start:" >&2; cat "$work/server.out" >&2; exit 1; }

export CORVANE_REGISTRY="$work/registry.reg"
export TZ="${TZ:-UTC}"
if [ -n "${LOOKUP_RATE:-}" ]; then
  printf 'Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\Software\\Corvane\\Vantrel]\n"LookupRate"="%s"\n' \
    "$LOOKUP_RATE" >"$CORVANE_REGISTRY"
fi
echo "== load $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
"$build/bench/LargeScanBench" scan "$work/tree" "127.0.0.1:$lookup"
echo "== lookup requests in the server's access log: $(grep -c '"LOOKUP ' "$work/access.log" || true)"
