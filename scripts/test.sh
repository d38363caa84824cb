#!/usr/bin/env bash
# Builds everything (packing tool, host tests, 32-bit and x64 launchers, Windows test programs)
# and runs every test tier: host unit tests, Windows unit tests and end-to-end tests under Wine,
# static checks of the 32-bit deliverables, and a short fuzzing run.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset default
cmake --build --preset default
ctest --preset default "$@"
