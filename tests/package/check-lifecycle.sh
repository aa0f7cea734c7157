#!/usr/bin/env bash
# The package's whole life on a clean Debian 12: installed, a Java library package coming
# after it (the trigger), upgraded to a later build with the user's settings kept, removed
# (settings and state stay) and purged (nothing stays), each step without an error or a warning.
# No systemd runs in the chroot, as in a container: the maintainer scripts must do without.
#
#   tests/package/check-lifecycle.sh BUILD_DIR
#
# BUILD_DIR holds the package that DebianPackage made; BUILD_DIR/chroot-cache keeps the
# packages debootstrap and apt fetch, so that later runs fetch nothing.
set -euo pipefail

build="$(cd "$1" && pwd)"
fail() { echo "check-lifecycle: $*" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || { echo "check-lifecycle: skipped, a chroot needs root"; exit 0; }
for tool in debootstrap dpkg-deb chroot; do
  command -v "$tool" >/dev/null || fail "$tool is missing: run scripts/install-deps.sh"
done
deb="$(ls -t "$build"/corvane_*.deb 2>/dev/null | head -1)"
[ -f "$deb" ] || fail "no package in $build (DebianPackage makes it)"

suite=bookworm
mirror=http://deb.debian.org/debian
cache="$build/chroot-cache"
mkdir -p "$cache/archives"
work="$(mktemp -d)"
chroot="$work/chroot"
cleanup() {
  umount "$chroot/proc" 2>/dev/null || true
  # Never a recursive removal through a file system still mounted below the chroot.
  if grep -q " $chroot/" /proc/mounts; then echo "check-lifecycle: left $work, still mounted" >&2; else rm -rf "$work"; fi
}
trap cleanup EXIT
step_started=$SECONDS
timed() { echo "check-lifecycle: $1 took $((SECONDS - step_started)) s"; step_started=$SECONDS; }

# A clean Debian 12, from the archive's packages kept between runs.
tarball="$cache/$suite-minbase.tgz"
if [ ! -f "$tarball" ]; then
  debootstrap --variant=minbase --make-tarball="$tarball.part" "$suite" "$work/tarball" "$mirror" >"$work/tarball.log" 2>&1 ||
    { tail -20 "$work/tarball.log" >&2; fail "debootstrap could not fetch $suite from $mirror"; }
  mv "$tarball.part" "$tarball"
  rm -rf "$work/tarball"
fi
debootstrap --variant=minbase --unpack-tarball="$tarball" "$suite" "$chroot" "$mirror" >"$work/debootstrap.log" 2>&1 ||
  { tail -20 "$work/debootstrap.log" >&2; fail "debootstrap failed"; }
cp /etc/resolv.conf "$chroot/etc/resolv.conf"
printf '#!/bin/sh\nexit 101\n' >"$chroot/usr/sbin/policy-rc.d"
chmod 755 "$chroot/usr/sbin/policy-rc.d"
mount -t proc proc "$chroot/proc"
in_chroot() { chroot "$chroot" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 DEBIAN_FRONTEND=noninteractive "$@"; }
timed "the chroot"

# What the package needs, from the archive (the kept packages first), before the baseline.
cp "$cache/archives/"*.deb "$chroot/var/cache/apt/archives/" 2>/dev/null || true
in_chroot apt-get update -q >"$work/apt.log" 2>&1 || { tail -20 "$work/apt.log" >&2; fail "apt-get update failed"; }
in_chroot apt-get satisfy -y -q --no-install-recommends "$(dpkg-deb -f "$deb" Depends)" >>"$work/apt.log" 2>&1 ||
  { tail -30 "$work/apt.log" >&2; fail "the package's dependencies do not install on $suite"; }
cp -n "$chroot/var/cache/apt/archives/"*.deb "$cache/archives/" 2>/dev/null || true
rm -f "$chroot/var/cache/apt/archives/"*.deb
timed "its dependencies"

# Everything outside dpkg's and apt's own records and the logs, with owner and mode.
snapshot() {
  (cd "$chroot" && find . -xdev \( -path ./proc -o -path ./var/lib/dpkg -o -path ./var/lib/apt -o -path ./var/cache \
    -o -path ./var/log -o -path ./tmp -o -path ./root \) -prune -o -printf '%p %U:%G %m %y %l\n' | sort)
}
snapshot >"$work/baseline"

# A later build of the same package: its version bumped, its files the same.
mkdir -p "$chroot/tmp/debs"
cp "$deb" "$chroot/tmp/debs/corvane-1.deb"
dpkg-deb -R "$deb" "$work/later"
sed -i 's/^Version: \(.*\)-1$/Version: \1-2/' "$work/later/DEBIAN/control"
dpkg-deb --root-owner-group -b "$work/later" "$chroot/tmp/debs/corvane-2.deb" >/dev/null
# A Java library package, as any of Debian's: one archive in /usr/share/java.
library="$work/library"
mkdir -p "$library/DEBIAN" "$library/usr/share/java"
cp -L /usr/share/java/commons-io.jar "$library/usr/share/java/corvane-test-library.jar"
printf 'Package: corvane-test-library-java\nVersion: 1.0\nSection: java\nPriority: optional\nArchitecture: all\nMaintainer: Corvane <packages@corvane.example>\nDescription: a Java library for the package test\n' \
  >"$library/DEBIAN/control"
dpkg-deb --root-owner-group -b "$library" "$chroot/tmp/debs/library.deb" >/dev/null

# Each step: dpkg's word must hold no error or warning.
dpkg_step() {
  local name="$1"; shift
  in_chroot dpkg "$@" >"$work/$name.log" 2>&1 || { cat "$work/$name.log" >&2; fail "$name failed"; }
  ! grep -i -E 'warning|error' "$work/$name.log" || fail "$name warned"
  timed "$name"
}
conf=/etc/corvane/vantrel-server.conf
wants=/etc/systemd/system/multi-user.target.wants/vantrel-server.service
socket_wants=/etc/systemd/system/sockets.target.wants

dpkg_step install -i /tmp/debs/corvane-1.deb
[ -f "$chroot$conf" ] || fail "no $conf"
[ -L "$chroot$wants" ] || fail "the service was not enabled"
for socket in http lookup; do
  [ -L "$chroot$socket_wants/vantrel-server-$socket.socket" ] || fail "the $socket socket was not enabled"
done
dpkg_step library -i /tmp/debs/library.deb
grep -q 'Processing triggers for corvane' "$work/library.log" || fail "a Java library did not trigger the package"
dpkg_step library-purge --purge corvane-test-library-java

# The user's settings survive an upgrade, without a question.
sed -i 's/^VANTREL_HTTP=.*/VANTREL_HTTP=0.0.0.0:8380/' "$chroot$conf"
dpkg_step upgrade -i /tmp/debs/corvane-2.deb
[ "$(in_chroot dpkg-query -W -f='${Version}' corvane)" = "$(dpkg-deb -f "$chroot/tmp/debs/corvane-2.deb" Version)" ] ||
  fail "the upgrade did not take"
grep -qx 'VANTREL_HTTP=0.0.0.0:8380' "$chroot$conf" || fail "the upgrade lost the user's settings"
[ -L "$chroot$wants" ] || fail "the upgrade disabled the service"

# The state a started service would have made (DynamicUser keeps it under /var/lib/private).
mkdir -p "$chroot/var/lib/private/vantrel-server/site"
ln -s private/vantrel-server "$chroot/var/lib/vantrel-server"
dpkg_step remove -r corvane
[ -f "$chroot$conf" ] || fail "remove took the settings"
[ -d "$chroot/var/lib/private/vantrel-server/site" ] || fail "remove took the server's state"
[ ! -e "$chroot/usr/bin/vantrel-server" ] && [ ! -e "$chroot/lib/systemd/system/vantrel-server.service" ] ||
  fail "remove left the program"
dpkg_step purge --purge corvane
[ -z "$(in_chroot dpkg-query -W -f='${Status}' corvane 2>/dev/null)" ] || fail "dpkg still knows corvane"

rm -rf "$chroot/tmp/debs"
snapshot >"$work/after"
diff -u "$work/baseline" "$work/after" || fail "the purge left the differences above"
echo "check-lifecycle: installed, triggered, upgraded, removed and purged on $suite; nothing left behind"
