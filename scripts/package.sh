#!/usr/bin/env bash
# Builds the Debian packages build-package/twk_<version>_amd64.deb (the command-line tool)
# and build-package/tallowick_<version>_amd64.deb (the desktop program, which needs twk)
# from one optimised, hardened build installed below /usr, each with its dependencies
# found by dpkg-shlibdeps. Install both with:
#   sudo apt install ./build-package/twk_<version>_amd64.deb ./build-package/tallowick_<version>_amd64.deb
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DTWK_TESTS=OFF -DTWK_BENCH=OFF -DTWK_WERROR=ON >/dev/null
cmake --build build-package -j "$jobs"
(cd build-package && cpack -G DEB)
ls build-package/twk_*_amd64.deb build-package/tallowick_*_amd64.deb
