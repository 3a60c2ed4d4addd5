#!/usr/bin/env bash
# Sets up the machine, builds Quorvane.vst3, installs it where Linux VST 3 hosts
# look for it and shows it loading in the project's own host.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

build_dir=${QUORVANE_BUILD_DIR:-build}
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build "$build_dir" --parallel "$(nproc)" --target Quorvane_VST3

bundle="$build_dir/Quorvane_artefacts/Release/VST3/Quorvane.vst3"
mkdir -p "$HOME/.vst3"
rm -rf "$HOME/.vst3/Quorvane.vst3"
cp -r "$bundle" "$HOME/.vst3/"
echo "Installed $HOME/.vst3/Quorvane.vst3"
