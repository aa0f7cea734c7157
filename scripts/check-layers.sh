#!/usr/bin/env bash
# The folders' layering, from the ground up: a file includes headers only from its own
# folder and the folders listed before it. Prints every include that runs the other way.
set -euo pipefail
cd "$(dirname "$0")/.."

layers=("common classfile" "control/xml control/worker" control/data control/scan control/local "control/shell cli" host)

declare -A level owner
for i in "${!layers[@]}"; do
  for folder in ${layers[$i]}; do
    level[$folder]=$i
    for header in "$folder"/*.h; do
      [ -e "$header" ] && owner[$(basename "$header")]=$folder
    done
  done
done

bad=0
for folder in "${!level[@]}"; do
  for file in "$folder"/*.h "$folder"/*.cpp; do
    [ -e "$file" ] || continue
    while IFS= read -r header; do
      [ -e "$folder/$header" ] && continue  # its own folder's header
      from=${owner[$header]:-}
      [ -n "$from" ] || continue  # a library's or the system's own header
      if [ "$from" != "$folder" ] && [ "${level[$from]}" -ge "${level[$folder]}" ]; then
        echo "$file includes $from/$header"
        bad=1
      fi
    done < <(sed -n 's/^#include "\([^"/]*\)".*/\1/p' "$file")
  done
done
exit $bad
