#!/usr/bin/env bash
# Installs every Debian package the build, the program and the tests need, and the extra
# packages named as arguments (a benchmark's peers).
# Idempotent: packages already present are left alone, so a second run is quick.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config ccache
  libcurl4-openssl-dev libxml2-dev libxslt1-dev libzip-dev
  libsqlite3-dev libpq-dev
  libssl-dev  # SHA-256 of archives (libcrypto)
  postgresql  # initdb and postgres for the server's storage tests, which start their own cluster
  qt6-base-dev qt6-webengine-dev qt6-svg-dev libgl-dev
  libdbus-1-dev dbus
  libcpp-httplib-dev libboost-dev zlib1g-dev libgtest-dev libgmock-dev libbenchmark-dev
  nlohmann-json3-dev  # corvane-scan's JSON and CycloneDX output
  xvfb xauth libxcb-xtest0-dev  # an X server for the GUI tests, and the mouse they move on it
  x11-apps imagemagick xdotool  # screenshots of the running program under Xvfb, and driving it
  microsocks dante-server tinyproxy
  openjdk-17-jdk-headless
  libjarjar-java libasm-java  # class relocation for the fingerprint tests; jarjar runs on ASM, which it does not declare
  openjdk-17-doc  # the JDK's reference pages, which the Java tab shows
  wrk
  lintian  # the package test checks the Debian package with it
  systemd debootstrap  # systemd-analyze checks the service's units; a clean Debian 12 for the install cycle
  libcommons-lang3-java libcommons-io-java libcommons-io-java-doc libguava-java libjsoup-java libjackson2-core-java
  "$@"
)
# npm installs the CycloneDX schema and validator for corvane-scan's tests
# (tests/cli/install-bom-validator.sh); a Node.js of another origin that brings npm will do.
command -v npm >/dev/null || packages+=(nodejs npm)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

# The proxies, PostgreSQL and a benchmark's balancer are only started by the tests and
# benchmarks; keep the package scripts from starting them as services.
policy=/usr/sbin/policy-rc.d
added_policy=0
if [ ! -e "$policy" ]; then
  printf '#!/bin/sh\nexit 101\n' | $sudo tee "$policy" >/dev/null
  $sudo chmod 755 "$policy"
  added_policy=1
fi
cleanup() { if [ "$added_policy" -eq 1 ]; then $sudo rm -f "$policy"; fi; }
trap cleanup EXIT

export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
