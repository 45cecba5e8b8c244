#!/usr/bin/env bash
# Builds the project and runs every test. With --sanitize the build uses AddressSanitizer and
# UndefinedBehaviorSanitizer in a folder of its own; with --thread the workflow's tests (the
# code that runs on worker threads) are built with ThreadSanitizer and run.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build
extra=(-DQUARVEL_TESTS=ON)
if [ "${1:-}" = "--sanitize" ]; then
  build=build-sanitize
  extra=(-DQUARVEL_TESTS=ON -DQUARVEL_SANITIZE=address,undefined -DCMAKE_BUILD_TYPE=Debug)
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
elif [ "${1:-}" = "--thread" ]; then
  scripts/setup-deps.sh
  cmake -S . -B build-tsan -G Ninja -DQUARVEL_TESTS=ON -DQUARVEL_SANITIZE=thread \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo
  cmake --build build-tsan --target workflow_tests
  export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
  exec build-tsan/tests/workflow/workflow_tests
fi

scripts/setup-deps.sh
cmake -S . -B "$build" -G Ninja "${extra[@]}"
cmake --build "$build"
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
