#!/usr/bin/env bash
# The folders' layering. Each stack lists folders from the ground up, "|" between levels: a
# file includes headers only from its own folder and from folders below it in a stack that
# holds both. Folders of one level stay apart, and stacks meet only where they share a
# folder (common), so the server never includes the client and the reverse. Prints every
# include that runs another way.
set -euo pipefail
cd "$(dirname "$0")/.."

stacks=(
  "common classfile | control/xml control/worker | control/data | control/scan | control/local | control/shell cli | host"
  "common | bridge"
  "common classfile | server/base | server/store | server/catalogue server/advisories server/http server/lookup | server/render | server/search | server/pages | server/app"
)

declare -A level owner folders
for s in "${!stacks[@]}"; do
  i=0
  for word in ${stacks[$s]}; do
    if [ "$word" = "|" ]; then
      i=$((i + 1))
      continue
    fi
    level[$s:$word]=$i
    folders[$word]=1
    for header in "$word"/*.h; do
      [ -e "$header" ] && owner[$(basename "$header")]=$word
    done
  done
done

# True when a file of folder may include a header of from.
allowed() {
  local folder="$1" from="$2" s
  for s in "${!stacks[@]}"; do
    if [ -n "${level[$s:$folder]:-}" ] && [ -n "${level[$s:$from]:-}" ] &&
      [ "${level[$s:$from]}" -lt "${level[$s:$folder]}" ]; then
      return 0
    fi
  done
  return 1
}

bad=0
for folder in "${!folders[@]}"; do
  for file in "$folder"/*.h "$folder"/*.cpp; do
    [ -e "$file" ] || continue
    while IFS= read -r header; do
      [ -e "$folder/$header" ] && continue  # its own folder's header
      from=${owner[$header]:-}
      [ -n "$from" ] || continue  # a library's or the system's own header
      if ! allowed "$folder" "$from"; then
        echo "$file includes $from/$header"
        bad=1
      fi
    done < <(sed -n 's/^#include "\([^"/]*\)".*/\1/p' "$file")
  done
done
exit $bad
