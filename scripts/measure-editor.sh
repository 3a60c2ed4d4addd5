#!/usr/bin/env bash
# Measures the editor in a real window on a virtual X display: open time, CPU of
# an idle editor at 800 and 1600 wide, CPU while a knob is dragged. Builds first.
#   QUORVANE_BUILD_DIR   build folder (default build)
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=${QUORVANE_BUILD_DIR:-build}
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build_dir" --parallel 3 --target quorvane-editor-measure Quorvane_VST3

# A home of its own, so that the real preferences file stays untouched.
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT

HOME="$home" xvfb-run --auto-servernum --server-args="-screen 0 1920x1080x24 -nolisten tcp" \
    "$build_dir/tools/bench/quorvane-editor-measure" "$build_dir/Quorvane_artefacts/Release/VST3/Quorvane.vst3" "$@"
