#!/usr/bin/env bash
# Checks that the source folders depend on each other one way only: a folder may include headers
# of its own layer and of those below it, never of a layer above. Layers, lowest first:
#   core  <-  decoders  <-  engine  <-  prefs, playlist, library  <-  party  <-  shell
# (tools/ may use everything but shell/). Exits non-zero and names each offending include.
set -euo pipefail
cd "$(dirname "$0")/.."

declare -A layer=([core]=0 [decoders]=1 [engine]=2 [prefs]=3 [playlist]=3 [library]=3 [party]=4
                 [shell]=5 [tools]=5)
declare -A home # header file name -> folder that holds it
while IFS= read -r header; do
    home[$(basename "$header")]=${header%%/*}
done < <(git ls-files -co --exclude-standard -- 'core/*.h' 'decoders/*.h' 'engine/*.h' \
             'prefs/*.h' 'playlist/*.h' 'library/*.h' 'party/*.h' 'shell/*.h' 'tools/*.h')

bad=0
for folder in "${!layer[@]}"; do
    while IFS=: read -r file line include; do
        name=$(sed -E 's/.*#include "([^"]+)".*/\1/' <<<"$include")
        target=${home[$(basename "$name")]:-}
        [ -n "$target" ] || continue
        if [ "${layer[$target]}" -gt "${layer[$folder]}" ] || { [ "$folder" = tools ] && [ "$target" = shell ]; }; then
            echo "$file:$line: $folder/ includes $name from $target/, a layer above it"
            bad=1
        fi
    done < <(git ls-files -co --exclude-standard -- "$folder" | grep -E '\.(h|cpp)$' \
                 | xargs -r grep -nH '^[[:space:]]*#include "' || true)
done
[ "$bad" -eq 0 ] && echo "layers hold: core <- decoders <- engine <- prefs, playlist, library <- party <- shell"
exit "$bad"
