#!/usr/bin/env bash
# Known vulnerabilities in the store: 20,000 generated OSV records (the size of osv.dev's
# Maven export) in one ZIP archive, loaded with vantrel-server --load-advisories into SQLite
# and into a PostgreSQL cluster of the benchmark's own; for each: the load's time, a second
# load of the same archive (which changes nothing), the server's start and its first and later
# answers to 10,000 components asked in one question (POST /vantrel/advisories).
#
# usage: bench/advisory-store.sh [BUILD_DIR]   (default build/package: a release build with
#                                               vantrel-server and AdvisoryBench)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/postgres-common.sh
bash scripts/install-deps.sh postgresql-client curl >/dev/null

build="${1:-build/package}"
server="$build/server/vantrel-server"
tool="$build/bench/AdvisoryBench"
bench_setup "$server" "$tool"
now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
seconds_since() { echo "$(( $(now_ms) - $1 ))" | awk '{printf "%.2f", $1 / 1000}'; }

server/build-site "$work/site" >/dev/null
"$tool" --write "$work/osv"
echo "== $(unzip -l "$work/osv.zip" | tail -1 | awk '{print $2}') records, $(du -m "$work/osv.zip" | cut -f1) MiB zipped;" \
  "$(wc -l <"$work/osv.txt") components asked"

measure() {
  local name="$1" database="$2" start pid port
  for pass in first again; do
    start=$(now_ms)
    "$server" --site "$work/site" --state "$work/state-$name" --database "$database" \
      --load-advisories "$work/osv.zip" >"$work/load.out"
    echo "== $name: load ($pass) $(seconds_since "$start") s: $(sed 's/^vantrel-server: //; s/ read from [^:]*:/:/' "$work/load.out")"
  done
  start=$(now_ms)
  "$server" --site "$work/site" --state "$work/state-$name" --database "$database" --access-log /dev/null \
    --http 127.0.0.1:0 --lookup 127.0.0.1:0 >"$work/$name.out" 2>&1 &
  pid=$!
  pids+=("$pid")
  for _ in $(seq 600); do grep -qs "web servers on" "$work/$name.out" && break; sleep 0.1; done
  grep -q "web servers on" "$work/$name.out" || { cat "$work/$name.out" >&2; exit 1; }
  echo "== $name: server started in $(seconds_since "$start") s (the records read back included)"
  port="$(grep -o 'web servers on http://127.0.0.1:[0-9]*' "$work/$name.out" | grep -o '[0-9]*$')"
  for pass in 1 2 3; do
    curl -s -o "$work/answer.json" -w "== $name: 10,000 components answered in %{time_total} s (question $pass)\n" \
      -H 'Content-Type: text/plain' --data-binary "@$work/osv.txt" "http://127.0.0.1:$port/vantrel/advisories"
  done
  echo "== $name: $(python3 -c 'import json,sys; r=json.load(open(sys.argv[1]))["results"]; print(sum(1 for x in r if x["advisories"]), "components affected")' "$work/answer.json")"
  echo "== $name: server resident memory $(( $(awk '/VmRSS/ {print $2}' "/proc/$pid/status") / 1024 )) MiB"
  kill "$pid"
  wait "$pid" 2>/dev/null || true
}

mkdir "$work/state-sqlite"
measure SQLite "$work/state-sqlite/vantrel.db"
start_postgres "$work"
psql -q -h 127.0.0.1 -p "$pg_port" -U postgres -c "CREATE DATABASE vantrel"
mkdir "$work/state-pg"
measure PostgreSQL "postgresql://postgres@127.0.0.1:$pg_port/vantrel"
