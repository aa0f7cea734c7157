# Sourced by the benchmarks that use PostgreSQL: a free loopback port, a cluster of the
# benchmark's own, and the scratch folder that goes with both at exit.
free_port() {
  local port
  while :; do
    port=$((20000 + RANDOM % 40000))
    if ! (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then echo "$port"; return; fi
  done
}

# start_postgres DIR: a cluster in DIR/pg, as nobody when run as root, with the distribution's
# default settings (durable commits, as SQLite's FULL sync); sets pg_port, and pg_stop to the
# command that stops it.
start_postgres() {
  local dir="$1" pg_bin
  pg_bin="$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -1)"
  local as_owner=()
  mkdir "$dir/pg"
  if [ "$(id -u)" -eq 0 ]; then
    chmod 711 "$dir"
    chown nobody "$dir/pg"
    as_owner=(runuser -u nobody --)
  fi
  "${as_owner[@]}" "$pg_bin/initdb" -D "$dir/pg/data" -U postgres -A trust -E UTF8 --locale=C >/dev/null
  pg_port="$(free_port)"
  "${as_owner[@]}" "$pg_bin/pg_ctl" -D "$dir/pg/data" -l "$dir/pg/log" -w \
    -o "-c listen_addresses=127.0.0.1 -c port=$pg_port -c unix_socket_directories=''" start >/dev/null
  pg_stop=("${as_owner[@]}" "$pg_bin/pg_ctl" -D "$dir/pg/data" -m fast stop)
}

# bench_setup SERVER TOOL: both must be built; a scratch folder (work) that goes at exit with
# the processes in pids and the cluster started.
bench_setup() {
  local program
  for program in "$@"; do
    [ -x "$program" ] || { echo "no $program: build $(basename "$1") and $(basename "${2:-$1}") first" >&2; exit 1; }
  done
  work="$(mktemp -d)"
  pids=()
  pg_stop=()
  trap bench_cleanup EXIT
}
bench_cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  if [ ${#pg_stop[@]} -gt 0 ]; then "${pg_stop[@]}" >/dev/null 2>&1 || true; fi
  rm -rf "$work"
}
