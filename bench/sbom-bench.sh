#!/usr/bin/env bash
# Identifies the same real JARs with corvane-scan and with the peer SBOM generator
# @cyclonedx/cdxgen (JAR mode, offline: no license fetches, no Maven Central searches), and
# prints per case what each found against the truth and the time each took. The JARs come
# from /usr/share/java, each case a folder of its own: plain, renamed, stripped of
# META-INF, merged into one JAR, unpacked into a class tree; the whole folder at once; and
# three versions of a library compiled here, stripped, where each copy's version counts.
# vantrel-server runs over a site built from /usr/share/java, as the run command builds it.
#
# usage: bench/sbom-bench.sh [BUILD_DIR] [RUNS]
#   BUILD_DIR  a build with corvane-scan and vantrel-server (default build/dev; optimised)
#   RUNS       runs per case and program; the median time is shown (default 3)
set -euo pipefail
cd "$(dirname "$0")/.."

build="${1:-build/dev}"
runs="${2:-3}"
scan="$build/cli/corvane-scan"
server="$build/server/vantrel-server"
for program in "$scan" "$server"; do
  [ -x "$program" ] || { echo "no $program: build the corvane-scan and vantrel-server targets first" >&2; exit 1; }
done

# The libraries of the corpus, by their archive in /usr/share/java, and their packages.
libraries=(commons-lang3 commons-io guava jsoup jackson-core commons-cli jansi slf4j-api)
bash scripts/install-deps.sh zip unzip libcommons-lang3-java libcommons-io-java libguava-java libjsoup-java \
  libjackson2-core-java libcommons-cli-java libjansi-java libslf4j-java

work="$(cd "$build" && pwd)/sbom-bench"
mkdir -p "$work"

# The peer, in a folder of its own (its binary plugins are not needed for JARs).
cdxgen_version=12.8.4
peer="$work/cdxgen"
if [ ! -x "$peer/node_modules/.bin/cdxgen" ] || [ "$(cat "$peer/.version" 2>/dev/null)" != "$cdxgen_version" ]; then
  echo "== installing @cyclonedx/cdxgen $cdxgen_version into $peer"
  npm install --prefix "$peer" --no-audit --no-fund --omit=optional --loglevel=error "@cyclonedx/cdxgen@$cdxgen_version"
  echo "$cdxgen_version" >"$peer/.version"
fi

# The corpus and its truth: each library's Maven coordinates from its own pom.properties.
corpus="$work/corpus"
rm -rf "$corpus" "$work/unpacked"
mkdir -p "$corpus"/{plain,renamed,stripped,merged,classes} "$work/unpacked"
truth=()
n=0
for name in "${libraries[@]}"; do
  jar="$(readlink -f "/usr/share/java/$name.jar")"
  n=$((n + 1))
  properties="$(unzip -Z1 "$jar" | grep '^META-INF/maven/.*/pom.properties$' | head -1 || true)"
  coordinates="$(unzip -p "$jar" "$properties" | tr -d '\r' |
    awk -F= '$1 == "groupId" { g = $2 } $1 == "artifactId" { a = $2 } END { print g ":" a }')"
  truth+=("$coordinates")
  cp "$jar" "$corpus/plain/"
  cp "$jar" "$corpus/renamed/lib-$n.jar"
  cp "$jar" "$corpus/stripped/"
  zip -q -d "$corpus/stripped/$(basename "$jar")" 'META-INF/*'
  unzip -q -o "$jar" -d "$work/unpacked" -x 'META-INF/*'
done
(cd "$work/unpacked" && zip -q -r "$corpus/merged/application-all.jar" .)
cp -R "$work/unpacked/." "$corpus/classes/"
printf '%s\n' "${truth[@]}" | sort >"$work/truth.txt"
echo "== corpus: ${#libraries[@]} libraries (${truth[*]}) in 5 forms under $corpus"

# Several versions of one library, compiled here into a Maven repository of their own and
# catalogued from it: 1.1.0 changes one class of 1.0.0, 1.2.0 one more. Their copies in the
# corpus are stripped of META-INF and renamed, so only the class files can tell them apart.
versions=(1.0.0 1.1.0 1.2.0)
repo="$work/repo"
rm -rf "$repo" "$work/versioned" "$work/versions-copies"
mkdir -p "$work/versions-copies"
for i in "${!versions[@]}"; do
  version="${versions[$i]}"
  src="$work/versioned/$version/src/org/example/versioned"
  classes="$work/versioned/$version/classes"
  mkdir -p "$src" "$classes/META-INF/maven/org.example/versioned"
  for class in Alpha Beta Gamma Delta; do
    body='return 1;'
    if { [ "$class" = Beta ] && [ "$i" -ge 1 ]; } || { [ "$class" = Gamma ] && [ "$i" -ge 2 ]; }; then
      body="return $((i + 1)) * 10;"
    fi
    printf 'package org.example.versioned;\npublic class %s {\n  public int value() { %s }\n}\n' "$class" "$body" \
      >"$src/$class.java"
  done
  javac -d "$classes" "$src"/*.java
  printf 'groupId=org.example\nartifactId=versioned\nversion=%s\n' "$version" \
    >"$classes/META-INF/maven/org.example/versioned/pom.properties"
  folder="$repo/org/example/versioned/$version"
  mkdir -p "$folder"
  (cd "$classes" && zip -q -r "$folder/versioned-$version.jar" .)
  printf '<project><modelVersion>4.0.0</modelVersion><groupId>org.example</groupId><artifactId>versioned</artifactId><version>%s</version><name>Versioned</name></project>\n' \
    "$version" >"$folder/versioned-$version.pom"
  cp "$folder/versioned-$version.jar" "$work/versions-copies/copy-$((i + 1)).jar"
  zip -q -d "$work/versions-copies/copy-$((i + 1)).jar" 'META-INF/*'
done
printf 'org.example:versioned@%s\n' "${versions[@]}" | sort >"$work/truth-versions.txt"

# The reference server over /usr/share/java (and the generated repository), on free ports read
# back from its first line.
site="$work/site"
catalogue=(--jars /usr/share/java --maven-repo "$repo")
if [ -d /usr/share/maven-repo ]; then catalogue+=(--maven-repo /usr/share/maven-repo); fi
server/build-site "$site" "${catalogue[@]}" --server "$server" >/dev/null
pid=""
trap '[ -n "$pid" ] && { kill $pid 2>/dev/null; wait $pid 2>/dev/null || true; }' EXIT
"$server" --site "$site" --http 127.0.0.1:0 --lookup 127.0.0.1:0 --state "$work/state" \
  --access-log /dev/null >"$work/server.out" 2>&1 &
pid=$!
for _ in $(seq 200); do grep -qs "web servers on" "$work/server.out" && break; sleep 0.05; done
web="$(grep -o 'http://127.0.0.1:[0-9]*' "$work/server.out" | head -1)"
lookup="$(grep -o 'lookup server on 127.0.0.1:[0-9]*' "$work/server.out" | grep -o '127.0.0.1:[0-9]*')"
[ -n "$web" ] && [ -n "$lookup" ] || { echo "vantrel-server did not start:" >&2; cat "$work/server.out" >&2; exit 1; }

# Each program's finds as Maven coordinates, one a line, sorted.
corvane_found() {
  node -e 'for (const c of JSON.parse(require("fs").readFileSync(0, "utf8"))) console.log(c.artifact || c.name)' <"$1" |
    sort -u
}
cdxgen_found() {
  node -e '
    const bom = JSON.parse(require("fs").readFileSync(0, "utf8"));
    for (const c of bom.components || []) {
      const m = /^pkg:maven\/([^/]+)\/([^@?]+)/.exec(c.purl || "");
      if (m) console.log(decodeURIComponent(m[1]) + ":" + decodeURIComponent(m[2]));
    }' <"$1" | sort -u
}

# The settings as a new installation has them; the second file lifts the cap on lookups a
# second (LookupRate) that spares a vendor's server.
printf 'Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\Software\\Corvane\\Vantrel]\n' >"$work/registry.reg"
{ cat "$work/registry.reg"; echo '"LookupRate"="1000000"'; } >"$work/uncapped.reg"
registry="$work/registry.reg"
run_corvane() {
  CORVANE_REGISTRY="$registry" "$scan" --quiet --format json --lookup "$lookup" --server "$web" \
    --output "$2" "$1"
}
run_cdxgen() {
  (cd "$work" && FETCH_LICENSE=false SEARCH_MAVEN_ORG=false "$peer/node_modules/.bin/cdxgen" -t jar --no-install-deps \
    --spec-version 1.5 -o "$2" "$1" >"$work/cdxgen.log" 2>&1)
}

# The median of RUNS runs, in seconds; the last run's output stays in OUT.
timed() {
  local tool="$1" dir="$2" out="$3" times=()
  for _ in $(seq "$runs"); do
    local start end
    start=$(date +%s%N)
    "run_$tool" "$dir" "$out"
    end=$(date +%s%N)
    times+=("$(((end - start) / 1000000))")
  done
  printf '%s\n' "${times[@]}" | sort -n | awk '{ v[NR] = $1 } END { printf "%.2f", v[int((NR + 1) / 2)] / 1000 }'
}

printf '\n%-14s %-5s | %-24s %-8s | %-24s %-8s | %s\n' case truth "corvane-scan found" time "cdxgen found" time \
  "time ratio"
for case in plain renamed stripped merged classes whole; do
  dir="$corpus/$case"
  [ "$case" = whole ] && dir="$corpus"
  line="$(printf '%-14s %-5s' "$case" "${#truth[@]}")"
  declare -A seconds=()
  for tool in corvane cdxgen; do
    seconds[$tool]="$(timed "$tool" "$dir" "$work/$tool-$case.json")"
    "${tool}_found" "$work/$tool-$case.json" >"$work/$tool-$case.txt"
    hits="$(comm -12 "$work/truth.txt" "$work/$tool-$case.txt" | wc -l)"
    false_hits="$(comm -13 "$work/truth.txt" "$work/$tool-$case.txt" | wc -l)"
    line+="$(printf ' | %-24s %-8s' "$hits/${#truth[@]}, $false_hits false" "${seconds[$tool]} s")"
    if [ "$false_hits" -gt 0 ]; then
      echo "   $tool, $case, false hits: $(comm -13 "$work/truth.txt" "$work/$tool-$case.txt" | paste -sd' ')" >>"$work/notes.txt"
    fi
  done
  ratio="$(awk -v a="${seconds[corvane]}" -v b="${seconds[cdxgen]}" 'BEGIN { printf "%.2f", a / b }')"
  echo "$line | $ratio"
done
if [ -f "$work/notes.txt" ]; then cat "$work/notes.txt"; rm -f "$work/notes.txt"; fi

# The versions case: each copy's exact version, as "group:artifact@version".
corvane_versions() {
  node -e '
    for (const c of JSON.parse(require("fs").readFileSync(0, "utf8")))
      for (const f of c.finds) console.log((c.artifact || c.name) + "@" + (f.version || c.version || f.candidates.join("|")))' \
    <"$1" | grep '^org.example:versioned@' | sort -u || true
}
cdxgen_versions() {
  node -e '
    const bom = JSON.parse(require("fs").readFileSync(0, "utf8"));
    for (const c of bom.components || []) {
      const m = /^pkg:maven\/([^/]+)\/([^@?]+)@([^?#]+)/.exec(c.purl || "");
      if (m) console.log(decodeURIComponent(m[1]) + ":" + decodeURIComponent(m[2]) + "@" + decodeURIComponent(m[3]));
    }' <"$1" | grep '^org.example:versioned@' | sort -u || true
}
line="$(printf '%-14s %-5s' "versions" "${#versions[@]}")"
for tool in corvane cdxgen; do
  seconds[$tool]="$(timed "$tool" "$work/versions-copies" "$work/$tool-versions.json")"
  "${tool}_versions" "$work/$tool-versions.json" >"$work/$tool-versions.txt"
  hits="$(comm -12 "$work/truth-versions.txt" "$work/$tool-versions.txt" | wc -l)"
  false_hits="$(comm -13 "$work/truth-versions.txt" "$work/$tool-versions.txt" | wc -l)"
  line+="$(printf ' | %-24s %-8s' "$hits/${#versions[@]}, $false_hits false" "${seconds[$tool]} s")"
done
echo "$line | (exact versions of org.example:versioned, stripped copies)"
registry="$work/uncapped.reg"
echo "corvane-scan, whole folder, without the cap of 2000 lookups a second: $(timed corvane "$corpus" "$work/uncapped.json") s"
echo "(found: components of the truth found, and components found that are not in it; time: median of $runs runs;"
echo " time ratio: corvane-scan's time over cdxgen's; outputs in $work)"
