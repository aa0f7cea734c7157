#!/usr/bin/env bash
# Measures vantrel-server on the real site data: requests per second and latency of a class
# search over java.base, of a method search, of a package page, at 8 and 64 connections,
# and the time of one whole Java search over every technology (the client's requests, one
# after another), the first right after the server started and then warm. Requests carry
# the Accept-Encoding that the program's libcurl sends.
#
# usage: bench/server-bench.sh [BUILD_DIR] [SECONDS]
#   BUILD_DIR  a build with vantrel-server (default build/dev; use an optimised build)
#   SECONDS    length of each wrk run (default 10)
set -euo pipefail
cd "$(dirname "$0")/.."

source bench/server-common.sh
command -v wrk >/dev/null || { echo "wrk is missing: run scripts/install-deps.sh" >&2; exit 1; }

technologies="$(grep -o 'technology name="[^"]*"' "$site/public/data/java/index.xml" | cut -d'"' -f2 | paste -sd, -)"
IFS=, read -ra names <<<"$technologies"
class_search="/xql.dll/vantrel/java/data/java.base/index.bnd?xslsheet=vantrel:/java/xsl/search-class.xsl&qtarget=Vector&packagename=&classname=Vector&methodname="
method_search="/xql.dll/vantrel/java/data/java.base/index.bnd?xslsheet=vantrel:/java/xsl/search-method.xsl&qtarget=substring&packagename=&classname=&methodname=substring"
package_page="/xql.dll/vantrel/java/data/java.base/java.util.xml?xslsheet=vantrel:java/xsl/1.1/win/java-package-references.xsl&packagename=java.util&packagelink=java/util/package-summary.html"

trap stop_all EXIT
# Free ports, read back from the server's first line.
start() { start_server "$build/bench-server.out" --http 127.0.0.1:0 --lookup 127.0.0.1:0; }

# One whole Java search as the client makes it: each technology in turn, on one connection,
# with curl's own encodings (the program's XML loads use the same libcurl); milliseconds.
whole_search() {
  local urls=()
  for name in "${names[@]}"; do
    urls+=("$base/xql.dll/vantrel/java/data/$name/index.bnd?xslsheet=vantrel:/java/xsl/search-class.xsl&qtarget=Vector&packagename=&classname=Vector&methodname=")
  done
  curl -s --compressed -o /dev/null -w '%{time_total}\n' "${urls[@]}" | awk '{ total += $1 } END { printf "%.1f\n", total * 1000 }'
}

# The first search after a start against the same search warm, over five starts.
firsts=()
warms=()
for start in 1 2 3 4 5; do
  start
  firsts+=("$(whole_search)")
  for _ in 1 2 3; do warms+=("$(whole_search)"); done
  stop_server
done
median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
first="$(median "${firsts[@]}")"
warm="$(median "${warms[@]}")"
echo "== whole Java search over ${#names[@]} technologies: first after a start ${firsts[*]} ms (median $first)," \
  "warm median $warm ms, ratio $(awk -v f="$first" -v w="$warm" 'BEGIN { printf "%.2f", f / w }')"

start
encoding="$(curl -s --compressed -v -o /dev/null "$base/" 2>&1 | sed -n 's/^> Accept-Encoding: //p' | tr -d '\r')"
echo "== Accept-Encoding sent: $encoding"

# Warm the caches: every document is parsed once and kept.
for path in "$class_search" "$method_search" "$package_page"; do curl -sf -o /dev/null "$base$path"; done
for name in "${names[@]}"; do
  curl -sf -o /dev/null "$base/xql.dll/vantrel/java/data/$name/index.bnd?xslsheet=vantrel:/java/xsl/search-class.xsl&qtarget=x"
done

run() {
  local title="$1" connections="$2"
  shift 2
  echo "== $title, $connections connections"
  wrk -t2 -c"$connections" -d"${seconds}s" --latency -H "Accept-Encoding: $encoding" "$@" |
    grep -E "Requests/sec|Latency  |  50%|  99%|requests in|Non-2xx"
}
for connections in 8 64; do
  run "class search, java.base (Vector)" "$connections" "$base$class_search"
  run "method search, java.base (substring)" "$connections" "$base$method_search"
  run "package page, java.util" "$connections" "$base$package_page"
  TECHNOLOGIES="$technologies" run "class search cycling over every technology" "$connections" \
    -s bench/server-technologies.lua "$base"
done

stop_server
[ -x "$build/bench/LookupBench" ] && { echo "== GETCOUNT over a generated catalogue of a million classes"; "$build/bench/LookupBench"; }
exit 0
