#!/usr/bin/env bash
# The packaged service without systemd: its units pass systemd-analyze verify, its generator
# sets the sockets' addresses from the settings file, and its own steps, run as an
# unprivileged user with a state directory of its own, build the site and answer on sockets
# held for them as systemd holds them; a rebuild after a library came and the restart that
# takes it keep every request answered, and the restarted server serves the new library.
#
#   tests/package/check-service.sh BUILD_DIR
#
# BUILD_DIR holds the package that DebianPackage made.
set -euo pipefail

build="$1"
fail() { echo "check-service: $*" >&2; exit 1; }
for tool in systemd-analyze setpriv dpkg-deb python3; do
  command -v "$tool" >/dev/null || fail "$tool is missing: run scripts/install-deps.sh"
done
deb="$(ls -t "$build"/corvane_*.deb 2>/dev/null | head -1)"
[ -f "$deb" ] || fail "no package in $build (DebianPackage makes it)"

work="$(mktemp -d)"
holder_pid=""
load_pid=""
cleanup() {
  for pid in $load_pid $holder_pid; do kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
chmod 755 "$work"
root="$work/root"
dpkg -x "$deb" "$root"

# The units as systemd reads them: the unpacked files over this machine's units and
# systemctl, which ExecReload runs, with the generator's drop-ins; and no exposure above 2.0
# ("OK").
units=(vantrel-server.service vantrel-server-rebuild.service vantrel-server-http.socket vantrel-server-lookup.socket)
verify_root="$work/verify-root"
cp -a "$root" "$verify_root"
cp -an /lib/systemd/system/. "$verify_root/lib/systemd/system/"
mkdir -p "$verify_root/bin"
cp "$(command -v systemctl)" "$verify_root/bin/systemctl"

# The generator: the settings file's addresses, as drop-ins that replace the units' own (and
# that systemd-analyze verifies with them below); an address that is none leaves its unit as it is.
generator="$root/lib/systemd/system-generators/vantrel-server-generator"
printf 'VANTREL_HTTP="0.0.0.0:9380"\nVANTREL_LOOKUP=:9321\nVANTREL_DATABASE=\n' >"$work/sample.conf"
generated="$verify_root/etc/systemd/system"
VANTREL_SERVER_CONF="$work/sample.conf" "$generator" "$generated" "$work/early" "$work/late" ||
  fail "the generator failed"
for pair in http=0.0.0.0:9380 lookup=127.0.0.1:9321; do
  dropin="$generated/vantrel-server-${pair%%=*}.socket.d/listen.conf"
  [ "$(grep -v '^#' "$dropin" 2>/dev/null)" = "$(printf '[Socket]\nListenStream=\nListenStream=%s' "${pair#*=}")" ] ||
    { cat "$dropin" >&2; fail "the generator's drop-in for ${pair%%=*} is wrong"; }
done
printf 'VANTREL_HTTP=127.0.0.1:80;touch %s/ran\n' "$work" >"$work/hostile.conf"
VANTREL_SERVER_CONF="$work/hostile.conf" "$generator" "$work/hostile" 2>"$work/generator.log" || fail "the generator failed"
[ ! -e "$work/hostile/vantrel-server-http.socket.d/listen.conf" ] && [ ! -e "$work/ran" ] ||
  fail "the generator took an address that is none"
grep -q 'keeps its default' "$work/generator.log" || fail "the generator did not say why it left a setting"
# The package's own settings give the units' defaults.
VANTREL_SERVER_CONF="$root/etc/corvane/vantrel-server.conf" "$generator" "$work/defaults" || fail "the generator failed"
for unit in http lookup; do
  [ "$(grep '^ListenStream=.' "$root/lib/systemd/system/vantrel-server-$unit.socket")" = \
    "$(grep '^ListenStream=.' "$work/defaults/vantrel-server-$unit.socket.d/listen.conf")" ] ||
    fail "vantrel-server-$unit.socket and the settings file disagree"
done

(cd "$verify_root/lib/systemd/system" && systemd-analyze verify --man=no --root="$verify_root" "${units[@]}") \
  >"$work/verify.log" 2>&1 || { cat "$work/verify.log" >&2; fail "systemd-analyze verify failed"; }
[ ! -s "$work/verify.log" ] || { cat "$work/verify.log" >&2; fail "systemd-analyze verify warns"; }
for unit in "${units[@]}"; do
  [[ "$unit" == *.service ]] || continue
  systemd-analyze security --offline=true --root="$verify_root" --threshold=20 "$verify_root/lib/systemd/system/$unit" \
    >"$work/security.log" 2>&1 || { grep '✗' "$work/security.log" >&2; fail "$unit is exposed beyond 2.0"; }
  echo "check-service: $(tail -1 "$work/security.log" | sed 's/^→ //')"
done

# As the unit runs them: the package's settings file, a dynamic user's rights, a state
# directory of its own; ports the system chooses instead of the defaults, a small library
# folder and an empty Maven repository.
ports=()
state="$work/state"
jars="$work/jars"
repo="$work/maven-repo"
mkdir -p "$state" "$jars" "$repo"
cp -L /usr/share/java/commons-io.jar "$jars/"
chown -R nobody:nogroup "$state"
service_env=()
# The command line of a step as the unit runs it, in step_command.
service_command() {
  step_command=(env -i PATH=/usr/bin:/bin STATE_DIRECTORY="$state" VANTREL_SITE_JARS="$jars" VANTREL_SITE_MAVEN_REPO="$repo" \
    "${service_env[@]}" \
    bash -c 'set -a; . "$0"; set +a; VANTREL_HTTP=127.0.0.1:0 VANTREL_LOOKUP=127.0.0.1:0
      VANTREL_ADVISORIES="${CHECK_ADVISORIES-$VANTREL_ADVISORIES}"
      # As systemd sets it: the process that execs into the server.
      if [ -n "${LISTEN_FDS:-}" ]; then export LISTEN_PID=$$; fi
      exec "$@"' \
    "$root/etc/corvane/vantrel-server.conf" \
    setpriv --reuid=nobody --regid=nogroup --clear-groups --no-new-privs \
    "$root/usr/share/corvane/server/vantrel-site" "$@")
}
as_service() { service_command "$@"; "${step_command[@]}"; }
# What systemd does with the socket units: the two listening sockets, held by a process of
# their own, passed to each server it starts as descriptors 3 and 4 named http and lookup;
# SIGUSR1 restarts the server (SIGTERM, then a new one on the same sockets), as
# "systemctl try-restart" does.
cat >"$work/hold-sockets.py" <<'PY'
import os, signal, socket, subprocess, sys
ports_file, command = sys.argv[1], sys.argv[2:]
held = [socket.create_server(("127.0.0.1", 0), backlog=128) for _ in range(2)]
ports = [s.getsockname()[1] for s in held]
high = [os.dup(s.fileno()) for s in held]
for s in held:
    s.close()
for fd, target in zip(high, (3, 4)):
    os.dup2(fd, target)
    os.close(fd)
signals = {signal.SIGUSR1, signal.SIGTERM}
signal.pthread_sigmask(signal.SIG_BLOCK, signals)
def start():
    return subprocess.Popen(command, pass_fds=(3, 4), preexec_fn=lambda: signal.pthread_sigmask(signal.SIG_UNBLOCK, signals))
server = start()
with open(ports_file + ".new", "w") as f:
    f.write("%d %d\n" % tuple(ports))
os.rename(ports_file + ".new", ports_file)
while True:
    received = signal.sigwait(signals)
    server.terminate()
    server.wait()
    if received == signal.SIGTERM:
        break
    server = start()
PY
serve() {
  : >"$work/server.log"
  service_env=(LISTEN_FDS=2 LISTEN_FDNAMES=http:lookup)
  service_command serve
  service_env=()
  python3 "$work/hold-sockets.py" "$work/ports" "${step_command[@]}" >>"$work/server.log" 2>&1 &
  holder_pid=$!
  wait_for_server 1
}
# The server's first line (the count-th in the log) names the held sockets' ports.
wait_for_server() {
  for _ in $(seq 300); do
    if [ "$(grep -c 'web servers on' "$work/server.log")" -ge "$1" ] && [ -f "$work/ports" ]; then
      ports=($(cat "$work/ports"))
      grep 'web servers on' "$work/server.log" | sed -n "$1p" |
        grep -q "web servers on http://127.0.0.1:${ports[0]}, lookup server on 127.0.0.1:${ports[1]},.*(sockets passed" ||
        { cat "$work/server.log" >&2; fail "the server did not take the held sockets"; }
      return 0
    fi
    kill -0 "$holder_pid" 2>/dev/null || break
    sleep 0.1
  done
  cat "$work/server.log" >&2
  fail "the server did not start"
}
http_status() {
  exec 3<>"/dev/tcp/127.0.0.1/${ports[0]}" || return 1
  printf 'GET /%s HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n' "$1" >&3
  local line; IFS= read -r line <&3 || line=""
  exec 3>&-
  line="${line%$'\r'}"
  echo "${line#HTTP/1.? }"
}
lookup_count() {
  exec 4<>"/dev/tcp/127.0.0.1/${ports[1]}" || return 1
  printf 'GETCOUNT %s\r\nQUIT\r\n' "$1" >&4
  # The greeting, then the answer.
  local line; IFS= read -r line <&4 && IFS= read -r line <&4 || line=""
  exec 4>&-
  echo "${line%$'\r'}"
}

started=$SECONDS
as_service prepare >"$work/prepare.log" 2>&1 || { cat "$work/prepare.log" >&2; fail "prepare failed"; }
echo "check-service: the first site took $((SECONDS - started)) s"
[ "$(stat -c %U "$state/site/site.xml")" = nobody ] || fail "the site does not belong to the service's user"
serve
[ "$(http_status public/data/java/index.xml)" = "200 OK" ] || fail "the Java index is not served"
[ "$(lookup_count org.apache.commons.io.)" != "200 0" ] || fail "the lookup server does not know commons-io"
answer="$(lookup_count org.apache.commons.lang3.)"
[ "$answer" = "200 0" ] || fail "commons-lang3 is known before it came: $answer"
[ -f "$state/state/vantrel.db" ] || fail "the server keeps its state elsewhere than in its state directory"

# A library comes into the Maven repository, as a Debian library package puts it; the rebuild
# runs while requests keep coming, and every one is answered.
lang3="$repo/org/apache/commons/commons-lang3/3.12.0"
mkdir -p "$lang3"
cp -L /usr/share/java/commons-lang3.jar "$lang3/commons-lang3-3.12.0.jar"
cat >"$lang3/commons-lang3-3.12.0.pom" <<'POM'
<project><modelVersion>4.0.0</modelVersion><groupId>org.apache.commons</groupId>
<artifactId>commons-lang3</artifactId><version>3.12.0</version></project>
POM
(
  answered=0
  while :; do
    [ "$(http_status public/data/java/index.xml)" = "200 OK" ] || { echo "lost an HTTP request after $answered" >&2; exit 1; }
    [ "$(lookup_count org.apache.commons.io.)" != "200 0" ] || { echo "lost a lookup after $answered" >&2; exit 1; }
    answered=$((answered + 1))
    [ ! -f "$work/stop" ] || { echo "$answered"; exit 0; }
  done
) >"$work/load.log" 2>&1 &
load_pid=$!
as_service rebuild >"$work/rebuild.log" 2>&1 || { cat "$work/rebuild.log" >&2; fail "the rebuild failed"; }
! cmp -s "$state/served-data-key" "$state/site/.data-key" || fail "the rebuild did not mark the site as new"

# What take-new-data has systemd do, while the requests go on: the server stops on SIGTERM
# once its answers are written, and a new one takes the clients waiting on the held sockets.
# Two clients the server has taken, which ask only once it has been told to stop.
exec 5<>"/dev/tcp/127.0.0.1/${ports[0]}" 6<>"/dev/tcp/127.0.0.1/${ports[1]}"
IFS= read -r greeting <&6
sleep 0.5
kill -USR1 "$holder_pid"
for _ in $(seq 100); do grep -q 'SIGTERM received' "$work/server.log" && break; sleep 0.05; done
# A connection closed unanswered is a failure below, not a SIGPIPE here.
trap '' PIPE
printf 'GET /public/data/java/index.xml HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n' >&5 2>/dev/null || true
printf 'GETCOUNT org.apache.commons.io.\r\n' >&6 2>/dev/null || true
trap - PIPE
IFS= read -r http_answer <&5 || http_answer=""
IFS= read -r lookup_answer <&6 || lookup_answer=""
exec 5>&- 6>&-
[ "${http_answer%$'\r'}" = "HTTP/1.1 200 OK" ] || fail "a request sent while the server stopped got \"$http_answer\""
[[ "$lookup_answer" == "200 "[1-9]* ]] || fail "a lookup sent while the server stopped got \"$lookup_answer\""
wait_for_server 2
sleep 1
touch "$work/stop"
wait "$load_pid" || { cat "$work/load.log" >&2; fail "a request went unanswered during the rebuild or the restart"; }
load_pid=""
echo "check-service: $(cat "$work/load.log") request pairs answered during the rebuild and the restart"
grep -q 'SIGTERM received, stopping' "$work/server.log" || fail "the first server did not stop on SIGTERM"
! grep -q 'closing the connections still open\|still open after' "$work/server.log" || fail "the stop cut requests off"
[ "$(lookup_count org.apache.commons.lang3.)" != "200 0" ] || fail "the restarted server does not know commons-lang3"
[ "$(ls "$state/sites")" = "$(basename "$(readlink "$state/site")")" ] || fail "old sites stay: $(ls "$state/sites")"

# A rebuild that fails (the JDK went) leaves the site and the server as they were.
cp "$state/site/.data-key" "$work/key-before"
rm -r "$repo/org"
service_env=(JAVA_HOME=/nonexistent)
if as_service rebuild >"$work/failed.log" 2>&1; then fail "a rebuild without a JDK claimed success"; fi
grep -q 'keeps the catalogue it has' "$work/failed.log" || { cat "$work/failed.log" >&2; fail "the failed rebuild said nothing"; }
cmp -s "$work/key-before" "$state/site/.data-key" || fail "the failed rebuild changed the site"
[ "$(lookup_count org.apache.commons.lang3.)" != "200 0" ] || fail "the server lost its data after a failed rebuild"

# Records the administrator puts in the advisories folder reach the store at the next rebuild,
# and the running server answers with them without a restart.
mkdir -p "$work/advisories"
cat >"$work/advisories/GHSA-chck-serv-0001.json" <<'JSON'
{"schema_version": "1.6.0", "id": "GHSA-chck-serv-0001", "modified": "2026-12-01T00:00:00Z",
 "summary": "A record the service loads", "affected": [{"package": {"ecosystem": "Maven", "name": "commons-io:commons-io"},
 "ranges": [{"type": "ECOSYSTEM", "events": [{"introduced": "0"}, {"fixed": "99.0"}]}]}]}
JSON
chmod -R a+rX "$work/advisories"
advisory_answer() {
  exec 3<>"/dev/tcp/127.0.0.1/${ports[0]}" || return 1
  local body=$'commons-io:commons-io\t2.11.0\n'
  printf 'POST /vantrel/advisories HTTP/1.0\r\nHost: 127.0.0.1\r\nContent-Type: text/plain\r\nContent-Length: %d\r\n\r\n%s' \
    "${#body}" "$body" >&3
  cat <&3
  exec 3>&-
}
if advisory_answer | grep -q GHSA-chck-serv-0001; then fail "the record is known before it was loaded"; fi
service_env=(CHECK_ADVISORIES="$work/advisories")
as_service rebuild >"$work/advisories.log" 2>&1 || { cat "$work/advisories.log" >&2; fail "the rebuild with advisories failed"; }
grep -q '1 new' "$work/advisories.log" || { cat "$work/advisories.log" >&2; fail "the rebuild did not load the record"; }
advisory_answer | grep -q '"fixed": *"99.0"' || { advisory_answer >&2; fail "the running server does not answer with the loaded record"; }
echo "check-service: the service builds its site, answers, takes new libraries and loads advisories"
