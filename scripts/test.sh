#!/usr/bin/env bash
# Installs what is missing, builds the test configuration (AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs every test. Exits non-zero when a test fails.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

export TZ="${TZ:-UTC}"
export QTWEBENGINE_DISABLE_SANDBOX=1
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

cmake --preset asan
cmake --build --preset asan -j "$(nproc)"
ctest --preset asan -j "$(nproc)" "$@"
