#!/usr/bin/env bash
# Installs what is missing, builds and installs the program, starts the reference vendor
# server on this machine and opens the program on the Java tab.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset dev
# The program and what it needs, not the tests (scripts/test.sh builds those).
cmake --build --preset dev -j "$(nproc)" --target tarnel tarnelctrl regsvr corvane-registry vantrel-server KeshBridg corvane-scan

# The installer's part: the two settings keys and the data directory, values already set kept.
build/dev/common/corvane-registry init >/dev/null

# The program goes into the installation folder (the setting "Path", where its self-update
# replaces files), with the control registered there, the automation class and its D-Bus
# activation file written by the program itself, and a menu entry.
path="$(build/dev/common/corvane-registry get 'Software\Corvane\Vantrel' Path)"
if [ -z "$path" ] || [ "$path" = "." ]; then
  path="$HOME/.local/lib/corvane"
  build/dev/common/corvane-registry set 'Software\Corvane\Vantrel' Path "$path"
fi
mkdir -p "$path"
install -m 755 build/dev/host/tarnel "$path/tarnel"
install -m 755 build/dev/control/shell/libtarnelctrl.so "$path/libtarnelctrl.so"
# The command-line scan beside it, on the user's PATH (~/.local/bin) with its manual page.
install -m 755 build/dev/cli/corvane-scan "$path/corvane-scan"
mkdir -p "$HOME/.local/bin" "${XDG_DATA_HOME:-$HOME/.local/share}/man/man1"
ln -sf "$path/corvane-scan" "$HOME/.local/bin/corvane-scan"
install -m 644 cli/corvane-scan.1 "${XDG_DATA_HOME:-$HOME/.local/share}/man/man1/corvane-scan.1"
build/dev/control/shell/regsvr /s "$path/libtarnelctrl.so"
QT_QPA_PLATFORM=offscreen "$path/tarnel" /register
share="${XDG_DATA_HOME:-$HOME/.local/share}"
mkdir -p "$share/applications" "$share/icons/hicolor/scalable/apps"
sed -e "s|^Exec=tarnel\$|Exec=\"$path/tarnel\"|" -e "s|^TryExec=tarnel\$|TryExec=$path/tarnel|" \
  host/tarnel.desktop >"$share/applications/tarnel.desktop"
install -m 644 host/tarnel.svg "$share/icons/hicolor/scalable/apps/tarnel.svg"

# The reference vendor server: its site data (the JDK's, and the catalogue of /usr/share/java
# and /usr/share/maven-repo) is built once per JDK and set of archives, then reused; the
# server is (re)started in the background on the default endpoints.
state="${XDG_CACHE_HOME:-$HOME/.cache}/corvane"
site="$state/site"
mkdir -p "$state"
catalogue=(--jars /usr/share/java)
if [ -d /usr/share/maven-repo ]; then catalogue+=(--maven-repo /usr/share/maven-repo); fi
server/build-site "$site" "${catalogue[@]}"
pidfile="$state/vantrel-server.pid"
if [ -f "$pidfile" ] && kill -0 "$(cat "$pidfile")" 2>/dev/null; then
  kill "$(cat "$pidfile")"
  for _ in $(seq 50); do kill -0 "$(cat "$pidfile")" 2>/dev/null || break; sleep 0.1; done
fi
# Client ids and reports that an earlier server kept in files move into its database once.
build/dev/server/vantrel-server --site "$site" --migrate
# Known vulnerabilities: the OSV records put in this folder (see the README) go into the
# server's store; records already held are kept, newer copies replace them.
advisories="${XDG_DATA_HOME:-$HOME/.local/share}/corvane/advisories"
mkdir -p "$advisories"
if [ -n "$(ls -A "$advisories")" ]; then
  build/dev/server/vantrel-server --site "$site" --load-advisories "$advisories" ||
    echo "run: the advisories in $advisories could not be loaded (see above); the server starts without them" >&2
fi
nohup build/dev/server/vantrel-server --site "$site" >"$state/vantrel-server.out" 2>&1 &
echo $! >"$pidfile"
for _ in $(seq 50); do grep -q "web servers on" "$state/vantrel-server.out" && break; sleep 0.1; done
if ! kill -0 "$(cat "$pidfile")" 2>/dev/null; then
  echo "vantrel-server did not start:" >&2
  cat "$state/vantrel-server.out" >&2
  exit 1
fi

# The program itself, on the Java tab; a second start only brings the first to the front.
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  [ "$(id -u)" -ne 0 ] || export QTWEBENGINE_DISABLE_SANDBOX=1
  nohup "$path/tarnel" >"$state/tarnel.out" 2>&1 &
  program="Started $path/tarnel (output in $state/tarnel.out)."
else
  program="No display here: run $path/tarnel on one, or use the menu entry Corvane Component Manager."
fi

cat <<TXT

$(head -1 "$state/vantrel-server.out")
(access log $site/var/access.log; stop it with: kill \$(cat $pidfile))

Built in build/dev. Settings: $(build/dev/common/corvane-registry init)
(change them with build/dev/common/corvane-registry set 'Software\Corvane\Vantrel' NAME VALUE).
$program
The command-line scan: $path/corvane-scan (linked from ~/.local/bin; man corvane-scan).
Known vulnerabilities come from the OSV records in $advisories (see the README).
TXT
