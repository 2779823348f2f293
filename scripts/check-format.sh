#!/usr/bin/env bash
# Fails, naming the files, when clang-format would change any C++ source of the repository.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
bad=()
while IFS= read -r -d '' file; do
    clang-format --dry-run --Werror "$file" >/dev/null 2>&1 || bad+=("$file")
done < <(git ls-files -z -- '*.cpp' '*.h')
if ((${#bad[@]})); then
    echo "clang-format would change: ${bad[*]}" >&2
    echo "Run clang-format -i on them (the repository's .clang-format)." >&2
    exit 1
fi
echo "Format check: clean."
