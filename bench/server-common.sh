# Sourced by the server benchmarks: BUILD_DIR and SECONDS from their arguments, and the
# server program of that build.
build="${1:-build/dev}"
seconds="${2:-10}"
server="$build/server/vantrel-server"
[ -x "$server" ] || { echo "no $server: build the vantrel-server target first" >&2; exit 1; }
