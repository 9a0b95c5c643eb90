#!/usr/bin/env bash
# Checks that no folder includes a header of a folder above it. The floor
# order is the order of the add_subdirectory() lines in the top-level
# CMakeLists.txt; a folder may include its own headers and those of folders
# listed before it. Prints one line per include that points up and fails.
set -euo pipefail
cd "$(dirname "$0")/../.."

mapfile -t floors < <(sed -n 's/^ *add_subdirectory(\([a-z]*\).*/\1/p' CMakeLists.txt | awk '!seen[$0]++')
declare -A floor
for i in "${!floors[@]}"; do
    floor[${floors[$i]}]=$i
done

status=0
for folder in "${floors[@]}"; do
    while IFS=: read -r file line include; do
        target=${include%%/*}
        [ -n "${floor[$target]+set}" ] || continue
        if [ "${floor[$target]}" -gt "${floor[$folder]}" ]; then
            echo "$file:$line: $folder/ includes \"$include\" from a higher floor ($target/)" >&2
            status=1
        fi
    done < <(grep -rnoP '^\s*#\s*include\s+"\K[^"]+' --include='*.h' --include='*.cpp' "$folder" || true)
done
exit $status
