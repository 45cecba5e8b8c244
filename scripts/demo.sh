#!/usr/bin/env bash
# Builds the tool, writes the bundled sample databases and runs the main job on one of them.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup-deps.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build --target quarvel mksample >/dev/null
build/tools/mksample/mksample build/samples
db=build/samples/content-webs.mdf
mkdir -p out
# The whole scan twice, as a complete database recovery and as a document recovery.
build/src/cli/quarvel scan "$db" --log-dir out
echo
build/src/cli/quarvel scan "$db" --option documents --log-dir out
echo
build/src/cli/quarvel info "$db"
echo
build/src/cli/quarvel rows "$db" Webs
echo
build/src/cli/quarvel rows "$db" AllDocs
echo
build/src/cli/quarvel module "$db" DocumentsView
echo
build/src/cli/quarvel report "$db"
