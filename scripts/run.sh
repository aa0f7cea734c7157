#!/usr/bin/env bash
# Installs what is missing, builds the program and reports what there is to run.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset dev
cmake --build --preset dev -j "$(nproc)"

# The installer's part: the two settings keys and the data directory, values already set kept.
build/dev/common/corvane-registry init >/dev/null

cat <<TXT

Built in build/dev. Settings: $(build/dev/common/corvane-registry init)
(change them with build/dev/common/corvane-registry set 'Software\Corvane\Vantrel' NAME VALUE).
 The program itself (host, control and reference server) is not
written yet; what exists is the core: the settings store over the registry file, the
XML layer and the collection model, all exercised by scripts/test.sh.
TXT
