#!/usr/bin/env bash
# The Debian package as a user gets it: made from a release build of this checkout, its
# files as an installation needs them, lintian without an error, and the program, unpacked
# into a root of its own, setting itself up for a new user at its first start.
#
#   tests/package/check-package.sh SOURCE_DIR BUILD_DIR
#
# BUILD_DIR is configured with the package preset's settings and kept between runs.
set -euo pipefail

source_dir="$(cd "$1" && pwd)"
build="$2"
fail() { echo "check-package: $*" >&2; exit 1; }
for tool in lintian dpkg-architecture dpkg-deb; do
  command -v "$tool" >/dev/null || fail "$tool is missing: run scripts/install-deps.sh"
done

cmake --preset package -S "$source_dir" -B "$build" >/dev/null
cmake --build "$build" --target package -j "$(nproc)" >"$build/package-build.log" 2>&1 ||
  { tail -50 "$build/package-build.log" >&2; fail "the package was not built"; }
deb="$(ls -t "$build"/corvane_*.deb | head -1)"
[ -f "$deb" ] || fail "no package in $build"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
root="$work/root"
dpkg -x "$deb" "$root"

# Every file and link, and nothing else, outside the server's data (compared with its source).
libdir="usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)"
expected=(
  usr/bin/tarnel usr/bin/vantrel-server usr/bin/build-site
  "$libdir/corvane/libtarnelctrl.so" "$libdir/jni/libKeshBridg.so"
  usr/share/applications/tarnel.desktop usr/share/icons/hicolor/scalable/apps/tarnel.svg
  usr/share/metainfo/com.corvane.Tarnel.metainfo.xml usr/share/dbus-1/services/Vantrel.Application.service
  usr/share/man/man1/tarnel.1.gz usr/share/man/man1/vantrel-server.1.gz usr/share/man/man1/build-site.1.gz
  usr/share/doc/corvane/copyright usr/share/doc/corvane/changelog.Debian.gz usr/share/doc/corvane/examples/haproxy.cfg
  lib/systemd/system/vantrel-server.service lib/systemd/system/vantrel-server-rebuild.service
  lib/systemd/system/vantrel-server-http.socket lib/systemd/system/vantrel-server-lookup.socket
  lib/systemd/system-generators/vantrel-server-generator
  etc/corvane/vantrel-server.conf
)
if [ -f "$source_dir/cli/CMakeLists.txt" ]; then
  expected+=(usr/bin/corvane-scan usr/share/man/man1/corvane-scan.1.gz)
fi
diff -u <(printf '%s\n' "${expected[@]}" | sort) \
  <(cd "$root" && find . \( -type f -o -type l \) -not -path './usr/share/corvane/server/*' | sed 's|^\./||' | sort) ||
  fail "the package's files differ from the expected list"
diff -u <(cd "$source_dir/server" && { echo build-site; echo vantrel-site; find site sitebuilder -type f; } | sort) \
  <(cd "$root/usr/share/corvane/server" && find . -type f | sed 's|^\./||' | sort) ||
  fail "the server's data differ from its source"
[ "$(readlink "$root/usr/bin/build-site")" = ../share/corvane/server/build-site ] || fail "build-site is no link to its script"
grep -qx 'Exec=/usr/bin/tarnel -Embedding' "$root/usr/share/dbus-1/services/Vantrel.Application.service" ||
  fail "the bus would not start the installed program"
for binary in usr/bin/tarnel "$libdir/corvane/libtarnelctrl.so"; do
  [[ "$(readelf -S "$root/$binary")" == *corvane_version* ]] || fail "$binary lost its version block"
done
# The service's settings survive upgrades; a new Java library rebuilds its site, without waiting.
control="$work/control"
dpkg-deb -e "$deb" "$control"
[ "$(cat "$control/conffiles")" = /etc/corvane/vantrel-server.conf ] || fail "conffiles: $(cat "$control/conffiles")"
diff -u <(printf 'interest-noawait %s\n' /usr/share/java /usr/share/maven-repo) "$control/triggers" ||
  fail "the package does not watch the Java library folders"
depends="$(dpkg-deb -f "$deb" Depends)"
for needed in libqt6webenginecore6-bin libqt6webenginewidgets6 libxml2 libcurl4; do
  [[ "$depends" == *"$needed"* ]] || fail "Depends lacks $needed: $depends"
done

lintian --fail-on error --tag-display-limit 0 "$deb" || fail "lintian reports an error"

# A new user's first start, of the program as unpacked: the keys, "Data" and "Path", the
# control registered where the program lies, the automation class and its bus file.
home="$work/home"
mkdir -p "$home"
start() {
  env -i PATH=/usr/bin:/bin HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/share" \
    QT_QPA_PLATFORM=offscreen QTWEBENGINE_DISABLE_SANDBOX=1 "$root/usr/bin/tarnel" /register ||
    fail "the unpacked program failed"
}
registry="$home/config/corvane/registry.reg"
value() { grep -m1 -F "\"$1\"=" "$registry" | sed 's/^[^=]*="\(.*\)"$/\1/'; }
control() { sed -n '/InprocServer32\]/,/^$/s/^@="\(.*\)"$/\1/p' "$registry"; }
start
[ "$(value Data)" = "$home/share/corvane" ] || fail "Data is \"$(value Data)\""
for folder in Java Market Local; do [ -d "$home/share/corvane/$folder" ] || fail "no data folder $folder"; done
[ "$(value Path)" = "$home/.local/lib/corvane" ] || fail "Path is \"$(value Path)\""
[ "$(control)" = "$root/$libdir/corvane/libtarnelctrl.so" ] || fail "the control is registered as \"$(control)\""
grep -q '\[HKEY_LOCAL_MACHINE\\Software\\Corvane\\Vantrel\\User\]' "$registry" || fail "no user key"
grep -qx "Exec=$root/usr/bin/tarnel -Embedding" "$home/share/dbus-1/services/Vantrel.Application.service" ||
  fail "no bus activation file for the user"

# A later start keeps the user's choices and replaces only a registration whose library is gone.
sed -i -e "s|^\"Data\"=.*|\"Data\"=\"$home/data\"|" -e "s|^@=\"$root/$libdir/corvane/libtarnelctrl.so\"|@=\"$home/gone.so\"|" \
  "$registry"
start
[ "$(value Data)" = "$home/data" ] || fail "the user's Data was changed to \"$(value Data)\""
[ "$(control)" = "$root/$libdir/corvane/libtarnelctrl.so" ] || fail "a dead registration was kept: \"$(control)\""
echo "check-package: $(basename "$deb") is complete, lintian clean, and sets itself up"
