#!/usr/bin/env bash
# Scale of the catalogue in the store: a generated catalogue of VERSIONS artifact versions with
# FINGERPRINTS class fingerprints as site files, loaded with vantrel-server --load-site into
# SQLite and into a PostgreSQL cluster of the benchmark's own; for each: the load's time, the
# database's size on disk, the server's resident memory once started on it, and pipelined
# GETFP look-ups per second over loopback.
#
# usage: bench/catalogue-scale.sh [BUILD_DIR] [VERSIONS] [FINGERPRINTS] [SECONDS]
#   BUILD_DIR     a build with vantrel-server and CatalogueScale (default build/package)
#   VERSIONS      default 100000; FINGERPRINTS default 20000000; SECONDS of look-ups, default 10
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/postgres-common.sh
bash scripts/install-deps.sh postgresql-client >/dev/null

build="${1:-build/package}"
versions="${2:-100000}"
fingerprints="${3:-20000000}"
seconds="${4:-10}"
server="$build/server/vantrel-server"
tool="$build/bench/CatalogueScale"
bench_setup "$server" "$tool"

seconds_since() { echo "$(( $(date +%s%N) / 1000000 - $1 ))" | awk '{printf "%.1f", $1 / 1000}'; }
now_ms() { echo $(( $(date +%s%N) / 1000000 )); }

# The site: this machine's Java data (build-site), with the generated catalogue in place of its own.
site="$work/site"
server/build-site "$site" >/dev/null
start=$(now_ms)
"$tool" generate "$site" "$versions" "$fingerprints" "$work/sample.txt"
echo "== generated $versions versions, $(($(wc -l <"$site/lookup/fingerprints.txt") - 1)) fingerprint rows," \
  "$(wc -l <"$site/lookup/classes.txt") class names in $(seconds_since "$start") s;" \
  "fingerprints.txt $(du -m "$site/lookup/fingerprints.txt" | cut -f1) MiB"

# measure NAME DATABASE SIZE_COMMAND...: load, start, look up, stop.
measure() {
  local name="$1" database="$2"
  shift 2
  start=$(now_ms)
  /usr/bin/time -f "%M" -o "$work/load.rss" "$server" --site "$site" --state "$work/state-$name" \
    --database "$database" --load-site | sed "s/^/== $name: /"
  echo "== $name: load $(seconds_since "$start") s, peak memory of the load $(( $(cat "$work/load.rss") / 1024 )) MiB," \
    "size on disk $("$@") MiB"
  start=$(now_ms)
  "$server" --site "$site" --state "$work/state-$name" --database "$database" --access-log /dev/null \
    --http "127.0.0.1:0" --lookup "127.0.0.1:0" >"$work/$name.out" 2>&1 &
  local pid=$!
  pids+=("$pid")
  for _ in $(seq 6000); do grep -qs "lookup server on" "$work/$name.out" && break; sleep 0.1; done
  grep -q "lookup server on" "$work/$name.out" || { cat "$work/$name.out" >&2; exit 1; }
  local port
  port="$(grep -o 'lookup server on 127.0.0.1:[0-9]*' "$work/$name.out" | grep -o '[0-9]*$')"
  echo "== $name: server started in $(seconds_since "$start") s: $(tail -1 "$work/$name.out" | sed 's/^vantrel-server: //')"
  echo "== $name: server resident memory $(( $(awk '/VmRSS/ {print $2}' "/proc/$pid/status") / 1024 )) MiB"
  "$tool" lookup "$port" "$work/sample.txt" "$seconds" 4 | sed "s/^/== $name: /" || true
  echo "== $name: server resident memory after the look-ups $(( $(awk '/VmRSS/ {print $2}' "/proc/$pid/status") / 1024 )) MiB"
  kill "$pid"
  wait "$pid" 2>/dev/null || true
}

mkdir "$work/state-sqlite"
measure SQLite "$work/state-sqlite/vantrel.db" bash -c "du -cm '$work/state-sqlite'/vantrel.db* | tail -1 | cut -f1"

# A PostgreSQL cluster of the benchmark's own.
start_postgres "$work"
psql -q -h 127.0.0.1 -p "$pg_port" -U postgres -c "CREATE DATABASE vantrel"
mkdir "$work/state-pg"
measure PostgreSQL "postgresql://postgres@127.0.0.1:$pg_port/vantrel" \
  psql -tA -h 127.0.0.1 -p "$pg_port" -U postgres -d vantrel -c "SELECT pg_database_size('vantrel') / 1048576"
