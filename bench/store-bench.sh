#!/usr/bin/env bash
# Measures what vantrel-server does with its database, with 100,000 stored reports: client-id
# requests per second (each hands out a new id) and the latency of the help list (one
# address's reports). Once for one server on SQLite, once for two servers on one PostgreSQL
# behind HAProxy with the shipped configuration (server/deploy/haproxy.cfg), all on loopback.
#
# usage: bench/store-bench.sh [BUILD_DIR] [SECONDS]
#   BUILD_DIR  a build with vantrel-server (default build/dev; use an optimised build)
#   SECONDS    length of each wrk run (default 10)
set -euo pipefail
cd "$(dirname "$0")/.."

source bench/server-common.sh
source bench/postgres-common.sh
# The peers: the balancer, and the database clients that fill the stores.
bash scripts/install-deps.sh haproxy sqlite3 postgresql-client >/dev/null

reports=100000
addresses=2000
work="$(mktemp -d)"
pg_stop=()
cleanup() {
  stop_all
  if [ ${#pg_stop[@]} -gt 0 ]; then "${pg_stop[@]}" >/dev/null 2>&1 || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# serve NAME ARGS...: a server with its state in $work/NAME; its base URL in $base.
serve() {
  local name="$1"
  shift
  mkdir -p "$work/$name"
  start_server "$work/$name.out" --state "$work/$name" "$@"
}

run() {
  local title="$1" connections="$2"
  shift 2
  echo "== $title, $connections connections"
  ADDRESSES=$addresses wrk -t"$((connections < 2 ? connections : 2))" -c"$connections" -d"${seconds}s" --latency "$@" |
    grep -E "Requests/sec|Latency  |  50%|  99%|requests in|Non-2xx"
}

measure() {
  local target="$1" url="$2"
  run "$target: client ids" 8 "$url/Vantrel/ui/clientid.jsp?exeversion=1.0.0.0&clientid=0&email=bench@example.org"
  run "$target: help list" 1 -s bench/store-help.lua "$url"
  run "$target: help list" 8 -s bench/store-help.lua "$url"
}

# Reports from $addresses addresses, spread over the last year; each address has a full list.
sqlite_reports="WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < $reports)
INSERT INTO reports(kind, email, platform, summary, details, received)
SELECT CASE i % 3 WHEN 0 THEN 'feature' ELSE 'bug' END, 'user' || (i % $addresses) || '@example.org', 'linux',
       'Report ' || i, substr(hex(randomblob(300)), 1, 600),
       strftime('%Y-%m-%dT%H:%M:%SZ', 'now', '-' || (i % 8760) || ' hours')
FROM n;
ANALYZE;"
postgres_reports="INSERT INTO reports(kind, email, platform, summary, details, received)
SELECT CASE i % 3 WHEN 0 THEN 'feature' ELSE 'bug' END, 'user' || (i % $addresses) || '@example.org', 'linux',
       'Report ' || i, repeat(md5(i::text), 19),
       to_char(now() AT TIME ZONE 'UTC' - (i % 8760) * interval '1 hour', 'YYYY-MM-DD\"T\"HH24:MI:SS\"Z\"')
FROM generate_series(1, $reports) AS i;
ANALYZE;"

# One server on SQLite, its database in its state directory.
serve sqlite --report-quota 0
sqlite3 -cmd ".timeout 10000" "$work/sqlite/vantrel.db" "$sqlite_reports"
echo "== SQLite: $(sqlite3 "$work/sqlite/vantrel.db" 'SELECT count(*) FROM reports') reports stored"
help_query="SELECT number, kind, email, platform, summary, details, received FROM reports
  WHERE email = 'user7@example.org' ORDER BY received DESC, number DESC LIMIT 50"
echo "== SQLite: help-list query: $(sqlite3 "$work/sqlite/vantrel.db" "EXPLAIN QUERY PLAN $help_query" | tail -1)"
measure "one server on SQLite" "$base"
echo "== SQLite: $(sqlite3 "$work/sqlite/vantrel.db" 'SELECT count(*), count(DISTINCT id) FROM clients') clients (rows, distinct ids)"

# A PostgreSQL cluster of the benchmark's own.
start_postgres "$work"
psql -q -h 127.0.0.1 -p "$pg_port" -U postgres -c "CREATE DATABASE vantrel"
database="postgresql://postgres@127.0.0.1:$pg_port/vantrel"

# Two servers on it, behind the shipped configuration with this run's ports.
serve pg1 --database "$database" --report-quota 0 --http "127.0.0.1:$(free_port)" --lookup "127.0.0.1:$(free_port)"
web1="${base##*:}"
lookup1="$(grep -o 'lookup server on 127.0.0.1:[0-9]*' "$work/pg1.out" | grep -o '[0-9]*$')"
serve pg2 --database "$database" --report-quota 0 --http "127.0.0.1:$(free_port)" --lookup "127.0.0.1:$(free_port)"
web2="${base##*:}"
lookup2="$(grep -o 'lookup server on 127.0.0.1:[0-9]*' "$work/pg2.out" | grep -o '[0-9]*$')"
psql -q -h 127.0.0.1 -p "$pg_port" -U postgres -d vantrel -c "$postgres_reports"
echo "== PostgreSQL: $(psql -tA -h 127.0.0.1 -p "$pg_port" -U postgres -d vantrel -c 'SELECT count(*) FROM reports') reports stored"
psql -tA -h 127.0.0.1 -p "$pg_port" -U postgres -d vantrel -c "EXPLAIN ANALYZE $help_query" |
  grep -E "Scan|Execution" | sed 's/^/== PostgreSQL: help-list query: /'
front="$(free_port)"
sed -e "s/bind :8380/bind 127.0.0.1:$front/" -e "s/bind :8321/bind 127.0.0.1:$(free_port)/" \
  -e "s/127.0.0.1:8381/127.0.0.1:$web1/" -e "s/127.0.0.1:8382/127.0.0.1:$web2/" \
  -e "s/127.0.0.1:8322/127.0.0.1:$lookup1/" -e "s/127.0.0.1:8323/127.0.0.1:$lookup2/" \
  server/deploy/haproxy.cfg >"$work/haproxy.cfg"
haproxy -f "$work/haproxy.cfg" -db >"$work/haproxy.out" 2>&1 &
pids+=($!)
for _ in $(seq 50); do curl -sf -o /dev/null "http://127.0.0.1:$front/vantrel/ui/support.jsp" && break; sleep 0.1; done
measure "two servers on PostgreSQL behind HAProxy" "http://127.0.0.1:$front"
echo "== PostgreSQL: $(psql -tA -F ', ' -h 127.0.0.1 -p "$pg_port" -U postgres -d vantrel \
  -c 'SELECT count(*), count(DISTINCT id) FROM clients') clients (rows, distinct ids)"
