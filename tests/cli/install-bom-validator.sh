#!/usr/bin/env bash
# Installs the published CycloneDX 1.5 JSON schema and a JSON-schema validator (ajv-cli)
# from npm into DIR, for the tests of corvane-scan's BOMs. Quick when DIR has them already.
#
# usage: tests/cli/install-bom-validator.sh DIR
#   then: DIR/validate-bom FILE   (exit 0 when FILE is a valid CycloneDX 1.5 JSON BOM)
set -euo pipefail
[ $# -eq 1 ] || { sed -n '5,6p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2; }
here="$(cd "$(dirname "$0")" && pwd)"
dir="$1"
packages=(@cyclonedx/cyclonedx-library@10.3.0 ajv-cli@5.0.0 ajv-formats@3.0.1)
stamp="${packages[*]} $(sha256sum "$here/bom-formats.js" | cut -d' ' -f1)"
if [ -f "$dir/.installed" ] && [ "$(cat "$dir/.installed")" = "$stamp" ]; then exit 0; fi
command -v npm >/dev/null || { echo "npm is missing: run scripts/install-deps.sh" >&2; exit 1; }

mkdir -p "$dir/schema"
rm -f "$dir/.installed"
npm install --prefix "$dir" --no-audit --no-fund --omit=optional --loglevel=error "${packages[@]}"
# The library keeps the schemas under names of its own; the published ones name each other
# bom-1.5.schema.json, spdx.schema.json and jsf-0.82.schema.json.
for name in bom-1.5 spdx jsf-0.82; do
  sed 's/\.SNAPSHOT\.schema\.json/.schema.json/g' \
    "$dir/node_modules/@cyclonedx/cyclonedx-library/res/schema/$name.SNAPSHOT.schema.json" >"$dir/schema/$name.schema.json"
done
cp "$here/bom-formats.js" "$dir/bom-formats.js"
cat >"$dir/validate-bom" <<SH
#!/bin/sh
# Validates a CycloneDX 1.5 JSON BOM against the published schema, every error listed.
exec node "$dir/node_modules/ajv-cli/dist/index.js" validate --spec=draft7 --strict=false --all-errors \\
  -c "$dir/bom-formats.js" -s "$dir/schema/bom-1.5.schema.json" \\
  -r "$dir/schema/spdx.schema.json" -r "$dir/schema/jsf-0.82.schema.json" -d "\$1"
SH
chmod 755 "$dir/validate-bom"
echo "$stamp" >"$dir/.installed"
