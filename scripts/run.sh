#!/usr/bin/env bash
# Installs what is missing, builds the program and reports what there is to run.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset dev
cmake --build --preset dev -j "$(nproc)"

# The installer's part: the two settings keys and the data directory, values already set kept.
build/dev/common/corvane-registry init >/dev/null
# The browser control's class entries, pointing at the library just built.
build/dev/control/shell/regsvr /s "$PWD/build/dev/control/shell/libtarnelctrl.so"

# The reference vendor server: its site data is built once per JDK and set of archives, then
# reused; the server is (re)started in the background on the default endpoints.
state="${XDG_CACHE_HOME:-$HOME/.cache}/corvane"
site="$state/site"
mkdir -p "$state"
server/build-site "$site"
pidfile="$state/vantrel-server.pid"
if [ -f "$pidfile" ] && kill -0 "$(cat "$pidfile")" 2>/dev/null; then
  kill "$(cat "$pidfile")"
  for _ in $(seq 50); do kill -0 "$(cat "$pidfile")" 2>/dev/null || break; sleep 0.1; done
fi
nohup build/dev/server/vantrel-server --site "$site" >"$state/vantrel-server.out" 2>&1 &
echo $! >"$pidfile"
for _ in $(seq 50); do grep -q "web servers on" "$state/vantrel-server.out" && break; sleep 0.1; done
if ! kill -0 "$(cat "$pidfile")" 2>/dev/null; then
  echo "vantrel-server did not start:" >&2
  cat "$state/vantrel-server.out" >&2
  exit 1
fi

cat <<TXT

$(head -1 "$state/vantrel-server.out")
(access log $site/var/access.log; stop it with: kill \$(cat $pidfile))

Built in build/dev. Settings: $(build/dev/common/corvane-registry init)
(change them with build/dev/common/corvane-registry set 'Software\Corvane\Vantrel' NAME VALUE).
 The program itself (host and control) is not
written yet; what exists is the core: the settings store over the registry file, the
XML layer and the collection model, all exercised by scripts/test.sh.
TXT
