#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages Brisko needs (only those missing), then configures and
# builds. Used by ./run and ./test. BRISKO_BUILD_DIR chooses the build folder.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  build-essential cmake ninja-build pkg-config
  googletest libgtest-dev libgmock-dev
  qt6-base-dev qt6-base-dev-tools qt6-webengine-dev qt6-webengine-dev-tools
  libqt6webenginecore6-bin libqt6opengl6-dev libgl-dev
  qt6-qpa-plugins libqt6printsupport6 libqt6dbus6
  dbus xvfb xauth fonts-dejavu-core curl iproute2
  at-spi2-core python3-pyatspi
  desktop-file-utils appstream librsvg2-bin lintian
  clang libclang-rt-14-dev
  g++-mingw-w64-x86-64-posix wine wine64 nsis
  nlohmann-json3-dev libcli11-dev qt6-charts-dev
  locales
)

scripts/install_packages.sh "${packages[@]}"
# A German locale, for the test that machine-readable output ignores the user's.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$' && [ "$(id -u)" -eq 0 ]; then
  localedef -i de_DE -f UTF-8 de_DE.UTF-8 || echo "could not make the de_DE.UTF-8 locale; its test is skipped"
fi

build_dir="${BRISKO_BUILD_DIR:-build}"
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$build_dir"
