#!/usr/bin/env bash
# Makes docs/editor.png, the README's picture of the editor: the plug-in's own
# editor opened by the command-line host in a window on a virtual X display.
#   $1   output file (default docs/editor.png)
#   QUORVANE_BUILD_DIR   build folder (default build)
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=${QUORVANE_BUILD_DIR:-build}
out=${1:-docs/editor.png}
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build_dir" --parallel 3 --target quorvane-host Quorvane_VST3

# A home of its own: the editor opens at the design size and the real preferences
# file stays untouched.
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
mkdir -p "$(dirname "$out")"

HOME="$home" xvfb-run --auto-servernum --server-args="-screen 0 1280x1024x24 -nolisten tcp" \
    "$build_dir/tools/host/quorvane-host" editor "$build_dir/Quorvane_artefacts/Release/VST3/Quorvane.vst3" --out "$out"
