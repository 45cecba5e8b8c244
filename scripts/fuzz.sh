#!/usr/bin/env bash
# Runs a libFuzzer target for a given time: scripts/fuzz.sh TARGET [SECONDS] [extra libFuzzer args]
# Builds the targets with clang, ASan and UBSan in build-fuzz/. Findings land in fuzz/findings/.
set -euo pipefail
cd "$(dirname "$0")/.."
target=${1:?usage: scripts/fuzz.sh TARGET [SECONDS]}
seconds=${2:-60}
shift $(( $# >= 2 ? 2 : 1 ))

scripts/setup-deps.sh
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DQUARVEL_FUZZ=ON -DQUARVEL_TESTS=OFF \
  -DQUARVEL_SANITIZE=address,undefined -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz --target "$target"
mkdir -p "build-fuzz/corpus/$target" fuzz/findings
seeds=()
[ -d "fuzz/seeds/$target" ] && seeds=("fuzz/seeds/$target")
build-fuzz/fuzz/"$target" -max_total_time="$seconds" -artifact_prefix=fuzz/findings/ \
  "$@" "build-fuzz/corpus/$target" "${seeds[@]}"
