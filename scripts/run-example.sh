#!/usr/bin/env bash
# Sets everything up, builds, packs the example application and prints its configuration back.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset default
cmake --build --preset default
mkdir -p build/example
build/bin/marlo-pack pack examples/hello/hello.toml -o build/example/hello.exe
echo "Packed build/example/hello.exe; its configuration block:"
build/bin/marlo-pack dump build/example/hello.exe
