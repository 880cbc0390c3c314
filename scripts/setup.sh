#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need. Idempotent: when everything is
# there it only checks and prints nothing.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine64 wine fonts-wine xvfb xauth x11-utils fonts-ipafont-gothic
  googletest libgtest-dev libbenchmark-dev clang libclang-rt-dev
  zlib1g-dev libz-mingw-w64-dev pmccabe ccache
  ffmpeg imagemagick gifsicle apngasm nsis zip
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
  [[ $status == installed ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "setup: installing ${missing[*]}" >&2
sudo=""
[[ $(id -u) -eq 0 ]] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
