#!/usr/bin/env bash
# Installs the Debian packages that building and testing Tallowick need. Packages that are
# already installed are left alone, so a second run costs nothing.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config clang-format
    libsqlite3-dev sqlite3 libboost-dev libboost-regex-dev libhtmlcxx-dev
    libcurl4-openssl-dev ca-certificates libssl-dev nlohmann-json3-dev qt6-base-dev libgl-dev
    qt6-qpa-plugins fonts-dejavu-core xdg-utils
    googletest libgtest-dev libgmock-dev libcpp-httplib-dev libbenchmark-dev
    xvfb xauth x11-utils
    dpkg-dev file gzip man-db desktop-file-utils appstream
    clang libclang-rt-dev
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
if [ "$(id -u)" -ne 0 ]; then
    sudo=(sudo)
fi
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}"
