#!/usr/bin/env bash
# Fails when a source file includes a header of a layer above its own. The layers, from the bottom:
# core, store, ui/widgets, ui/entry, ui/main, app. Each folder may include its own headers and those of
# the folders listed for it below; nothing points upward, so the include graph has no circle.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/../src"

declare -A allowed=(
    [core]="core"
    [store]="store core"
    [ui/widgets]="ui/widgets core"
    [ui/entry]="ui/entry ui/widgets store core"
    [ui/main]="ui/main ui/entry ui/widgets store core"
    [app]="app ui/main ui/entry ui/widgets store core"
)

status=0
for layer in "${!allowed[@]}"; do
    # Project headers are included with quotes, as "folder/File.h" or, within a folder, "File.h".
    while IFS=: read -r file _ target; do
        target=${target#*\"}
        target=${target%%\"*}
        [[ $target == */* ]] || continue
        ok=0
        for lower in ${allowed[$layer]}; do
            [[ $target == "$lower"/* && $target != "$lower"/*/* ]] && ok=1
        done
        if ((!ok)); then
            echo "src/$file includes \"$target\": the layer $layer may include only ${allowed[$layer]}" >&2
            status=1
        fi
    done < <(grep -rn --include='*.cpp' --include='*.h' '^#include "' "$layer" | sed "s#^$layer/#$layer/#")
done
((status == 0)) && echo "Layer check: every include points to its own layer or one below."
exit $status
