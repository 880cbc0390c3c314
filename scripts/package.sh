#!/usr/bin/env bash
# Builds the release program and writes its Windows packages to dist/:
#   dist/Kinetrix-<version>-win64-setup.exe   the installer (NSIS): Program Files\Kinetrix or a
#                                             chosen folder, a Start menu shortcut, an uninstaller
#   dist/Kinetrix-<version>-win64.zip         the same files in a folder Kinetrix, for use
#                                             without installing
# The version is the one of project() in CMakeLists.txt. The Windows build makes the packages
# (packaging/) and its tests install them under Wine (tests/packaging/); this script only builds
# what they need and copies them out.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
scripts/setup.sh

cmake --preset windows >/dev/null
cmake --build --preset windows -j "$(nproc)" --target kx_packages
mkdir -p dist
while read -r package; do
  cp "$package" dist/
  echo "dist/$(basename "$package")"
done <build/windows/packaging/packages.txt
