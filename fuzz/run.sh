#!/usr/bin/env bash
# Builds the fuzz targets with clang into build-fuzz/ and runs each for SECONDS (default 30), starting
# from the inputs kept in fuzz/corpus/<target>/. The fuzzers work on a scratch copy of those inputs, so
# the repository stays as it is. An input that breaks a rule is kept in the scratch directory and named
# below: copy it into fuzz/corpus/<target>/ under a name that says what it broke, and test_hostile_values
# replays it in every build from then on.
#
#   fuzz/run.sh [SECONDS]     e.g. fuzz/run.sh 3600 for a long run
set -euo pipefail

seconds=${1:-30}
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build-fuzz"

if ! command -v clang++ >/dev/null; then
    echo "Fuzzing skipped: clang++ is missing (Debian packages clang and libclang-rt-14-dev)."
    exit 0
fi
cmake -S "$root" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo -DXINFANG_FUZZ=ON \
    -DXINFANG_WERROR=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" --parallel "$(nproc)" --target fuzz_settings fuzz_statements

scratch=$(mktemp -d /tmp/xinfang-fuzz.XXXXXX)
failed=0
for target in settings statements; do
    mkdir -p "$scratch/$target/corpus" "$scratch/$target/found"
    cp "$root/fuzz/corpus/$target/"* "$scratch/$target/corpus/"
    log="$scratch/$target/log"
    if "$build/fuzz/fuzz_$target" "$scratch/$target/corpus" -dict="$root/fuzz/$target.dict" \
        -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$scratch/$target/found/" \
        >"$log" 2>&1; then
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
        echo "fuzz_$target: $runs inputs in $seconds s, no rule broken"
    else
        failed=1
        echo "fuzz_$target: an input broke a rule; the end of its log ($log):"
        tail -n 40 "$log"
        echo "The input: $(ls "$scratch/$target/found/"*)"
    fi
done
if ((failed)); then
    exit 1
fi
rm -rf "$scratch"
