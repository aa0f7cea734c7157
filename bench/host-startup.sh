#!/usr/bin/env bash
# tarnel's start-up time and memory against a minimal Qt WebEngine window, in one run.
#
#   bench/host-startup.sh [BUILD_DIR] [RUNS]
#
# BUILD_DIR (default build/dev) must hold tarnel, libtarnelctrl.so, regsvr, corvane-registry,
# minimal-webengine and window-probe. Both programs run on an X server and a session bus of
# the benchmark's own; tarnel in offline mode with the control registered. For each, the
# time from launch to its window being mapped and, 5 s later, the resident (RSS) and
# proportional (PSS) memory of its whole process tree; the medians of RUNS (default 5)
# runs after one warm-up run, and tarnel's ratios to the minimal window.
set -euo pipefail
cd "$(dirname "$0")/.."

build="${1:-build/dev}"
runs="${2:-5}"
for program in host/tarnel control/shell/libtarnelctrl.so control/shell/regsvr common/corvane-registry \
  bench/minimal-webengine/minimal-webengine bench/window-probe/window-probe; do
  [ -e "$build/$program" ] || { echo "host-startup: $build/$program is missing; build it first" >&2; exit 1; }
done
build="$(cd "$build" && pwd)"

work="$(mktemp -d)"
xvfb=""
bus=""
cleanup() {
  [ -z "$bus" ] || kill "$bus" 2>/dev/null || true
  [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# An X server of our own, on the first free display.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "host-startup: Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 1; }
export DISPLAY=":$(head -1 "$work/display")"

# A session bus of our own, so that no running tarnel is found.
dbus-daemon --session --nofork --address="unix:path=$work/bus" --print-pid=3 3>"$work/bus.pid" 2>/dev/null &
bus=$!
for _ in $(seq 100); do [ -S "$work/bus" ] && break; sleep 0.1; done
export DBUS_SESSION_BUS_ADDRESS="unix:path=$work/bus"

# Settings of our own: offline, the control registered.
export CORVANE_REGISTRY="$work/registry.reg"
export XDG_DATA_HOME="$work/share"
export XDG_CONFIG_HOME="$work/config"
"$build/common/corvane-registry" init "$work/data" >/dev/null
"$build/common/corvane-registry" set 'Software\Corvane\Vantrel' OfflineMode 1
"$build/common/corvane-registry" set 'Software\Corvane\Vantrel' Path "$work/install"
mkdir -p "$work/install"
"$build/control/shell/regsvr" /s "$build/control/shell/libtarnelctrl.so"
[ "$(id -u)" -ne 0 ] || export QTWEBENGINE_DISABLE_SANDBOX=1

probe() { "$build/bench/window-probe/window-probe" --settle 5 "$@"; }
field() { sed -n "s/.*$1=\([0-9]*\).*/\1/p"; }
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : int((v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }

declare -A results
for name in minimal tarnel; do
  if [ "$name" = tarnel ]; then command=("$build/host/tarnel"); else command=("$build/bench/minimal-webengine/minimal-webengine"); fi
  # A warm-up run first (file cache, fontconfig cache); what the programs write goes to a log.
  probe "${command[@]}" >/dev/null 2>>"$work/$name.log" || { cat "$work/$name.log" >&2; exit 1; }
  : >"$work/$name.txt"
  for _ in $(seq "$runs"); do
    probe "${command[@]}" >>"$work/$name.txt" 2>>"$work/$name.log" || { cat "$work/$name.log" >&2; exit 1; }
  done
  for key in mapped_ms rss_kib pss_kib processes; do
    results[$name.$key]="$(field "$key" <"$work/$name.txt" | median)"
  done
done

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
printf '%-20s %12s %12s %12s %10s\n' "" "mapped (ms)" "RSS (MiB)" "PSS (MiB)" "processes"
for name in minimal tarnel; do
  printf '%-20s %12s %12.1f %12.1f %10s\n' "$name" "${results[$name.mapped_ms]}" \
    "$(awk -v k="${results[$name.rss_kib]}" 'BEGIN { print k / 1024 }')" \
    "$(awk -v k="${results[$name.pss_kib]}" 'BEGIN { print k / 1024 }')" "${results[$name.processes]}"
done
echo
echo "tarnel / minimal: start-up $(ratio "${results[tarnel.mapped_ms]}" "${results[minimal.mapped_ms]}") (target 1.5)," \
  "PSS $(ratio "${results[tarnel.pss_kib]}" "${results[minimal.pss_kib]}")," \
  "RSS $(ratio "${results[tarnel.rss_kib]}" "${results[minimal.rss_kib]}") (target 1.3); medians of $runs runs"
