#!/usr/bin/env bash
# Installs what is missing, builds the desktop program and starts it. Its database is
# build/bin/twk.db, beside the program; an empty one is created the first time.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh
# An existing build keeps its settings; a new one is an optimised build with debug info.
if [ -f build/CMakeCache.txt ]; then
    cmake -S . -B build >/dev/null
else
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build build --target tallowick twk -j "$(nproc 2>/dev/null || echo 2)"
[ -f build/bin/twk.db ] || build/bin/twk init-db build/bin/twk.db
exec build/bin/tallowick
