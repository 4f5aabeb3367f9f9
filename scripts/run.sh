#!/usr/bin/env bash
# Installs what the program needs, builds it (incrementally) and starts the desktop program.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"${JOBS:-2}" --target objednavky objednavky-cli
exec build/src/objednavky "$@"
