#!/usr/bin/env bash
# Builds the tool, writes the bundled sample database and runs the main job on it.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup-deps.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build --target quarvel mksample >/dev/null
mkdir -p out
build/tools/mksample/mksample out/sample.mdf
build/src/cli/quarvel scan out/sample.mdf --log-dir out
echo
build/src/cli/quarvel info out/sample.mdf
echo
build/src/cli/quarvel rows out/sample.mdf Customers
echo
build/src/cli/quarvel rows out/sample.mdf Orders
echo
build/src/cli/quarvel report out/sample.mdf
