#!/usr/bin/env bash
# Installs what is missing, builds Tabelko and starts it.
# Any arguments are passed to the program (a database path).
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTABELKO_BUILD_TESTS=OFF >/dev/null
cmake --build build -j"$(nproc)"
exec build/stage/tabelko "$@"
