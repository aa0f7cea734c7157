#!/usr/bin/env bash
# Installs what is missing, builds the program and reports what there is to run.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset dev
cmake --build --preset dev -j "$(nproc)"

cat <<TXT

Built in build/dev. The program itself (host, control and reference server) is not
written yet; what exists is the core: the settings store over the registry file, the
XML layer and the collection model, all exercised by scripts/test.sh.
TXT
