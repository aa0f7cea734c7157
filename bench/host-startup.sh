#!/usr/bin/env bash
# tarnel's start-up time and memory against a minimal Qt WebEngine window and against Zeal,
# a Qt documentation browser, in one run.
#
#   bench/host-startup.sh [BUILD_DIR] [RUNS]
#
# BUILD_DIR (default build/dev) must hold tarnel, libtarnelctrl.so, regsvr, corvane-registry,
# minimal-webengine and window-probe. Zeal (the Debian package zeal) is installed by the
# benchmark itself. The programs run on an X server and a session bus of the benchmark's
# own; tarnel in offline mode with the control registered. For each, the time from launch
# to its window being mapped and, 5 s later, the resident (RSS) and proportional (PSS)
# memory of its whole process tree; the medians of RUNS (default 5) runs after one warm-up
# run each, the programs taking turns, and tarnel's ratios to the others.
set -euo pipefail
cd "$(dirname "$0")/.."

# The peer, as Debian ships it.
bash scripts/install-deps.sh zeal

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

names=(minimal tarnel zeal)
run() {
  local name="$1"
  case "$name" in
    minimal) probe "$build/bench/minimal-webengine/minimal-webengine" ;;
    tarnel) probe "$build/host/tarnel" ;;
    # Zeal's settings and docsets go to the benchmark's XDG folders; none is installed.
    zeal) probe zeal ;;
  esac
}

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
# A warm-up run of each first (file cache, fontconfig cache); what the programs write goes to a log.
for name in "${names[@]}"; do
  run "$name" >/dev/null 2>>"$work/$name.log" || { cat "$work/$name.log" >&2; exit 1; }
  : >"$work/$name.txt"
done
# The programs take turns, so that a change of the machine's load falls on all of them.
for _ in $(seq "$runs"); do
  for name in "${names[@]}"; do
    run "$name" >>"$work/$name.txt" 2>>"$work/$name.log" || { cat "$work/$name.log" >&2; exit 1; }
  done
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"

declare -A results
for name in "${names[@]}"; do
  for key in mapped_ms rss_kib pss_kib processes; do
    results[$name.$key]="$(field "$key" <"$work/$name.txt" | median)"
  done
done

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
printf '%-20s %12s %12s %12s %10s\n' "" "mapped (ms)" "RSS (MiB)" "PSS (MiB)" "processes"
for name in "${names[@]}"; do
  printf '%-20s %12s %12.1f %12.1f %10s\n' "$name" "${results[$name.mapped_ms]}" \
    "$(awk -v k="${results[$name.rss_kib]}" 'BEGIN { print k / 1024 }')" \
    "$(awk -v k="${results[$name.pss_kib]}" 'BEGIN { print k / 1024 }')" "${results[$name.processes]}"
done
echo
for peer in minimal zeal; do
  echo "tarnel / $peer: window mapped $(ratio "${results[tarnel.mapped_ms]}" "${results[$peer.mapped_ms]}") (target 0.6)," \
    "PSS $(ratio "${results[tarnel.pss_kib]}" "${results[$peer.pss_kib]}")," \
    "RSS $(ratio "${results[tarnel.rss_kib]}" "${results[$peer.rss_kib]}")"
done
echo "PSS target: tarnel's no more than the minimal window's; medians of $runs runs"
