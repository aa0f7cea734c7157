# Sourced by the server benchmarks: BUILD_DIR and SECONDS from their arguments, the server
# program of that build, a site built for it, and starting and stopping servers on it.
build="${1:-build/dev}"
seconds="${2:-10}"
server="$build/server/vantrel-server"
[ -x "$server" ] || { echo "no $server: build the vantrel-server target first" >&2; exit 1; }

site="$build/bench-site"
server/build-site "$site" >/dev/null

pid=""
pids=()
# start_server OUT ARGS...: a vantrel-server on the site in the background, its output in
# OUT; sets pid and base (its web server's URL, read back from its first line).
start_server() {
  local out="$1"
  shift
  rm -f "$out"
  "$server" --site "$site" --access-log /dev/null "$@" >"$out" 2>&1 &
  pid=$!
  pids+=("$pid")
  for _ in $(seq 200); do grep -qs "web servers on" "$out" && break; sleep 0.05; done
  base="$(grep -o 'http://127.0.0.1:[0-9]*' "$out" | head -1)"
  [ -n "$base" ] || { echo "vantrel-server did not start:" >&2; cat "$out" >&2; exit 1; }
}
stop_server() { kill "$pid"; wait "$pid" 2>/dev/null || true; pid=""; }
# Everything the benchmark started in the background (servers, a balancer).
stop_all() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
}
