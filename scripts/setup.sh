#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the benchmarks need.
set -euo pipefail

packages=(
  build-essential g++ cmake ninja-build pkg-config patch
  juce-modules-source juce-tools
  libgtest-dev googletest libbenchmark-dev
  libhwy-dev
  fonts-roboto-unhinted
  clang libclang-rt-14-dev
  xvfb xauth libx11-dev libxtst-dev
  sox
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo_cmd apt-get update -qq
  $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
