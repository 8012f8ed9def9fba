#!/usr/bin/env bash
# Builds the Debian package build-package/tallowick_<version>_amd64.deb: an optimised
# build installed below /usr, with its dependencies found by dpkg-shlibdeps. Install it
# with: sudo apt install ./build-package/tallowick_<version>_amd64.deb
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DTWK_TESTS=OFF -DTWK_BENCH=OFF -DTWK_WERROR=ON >/dev/null
cmake --build build-package -j "$jobs"
(cd build-package && cpack -G DEB)
ls build-package/tallowick_*_amd64.deb
