#!/usr/bin/env bash
# Sets up the machine, builds Quorvane.vst3, installs it where Linux VST 3 hosts
# look for it, then loads the installed bundle in the project's own host and
# renders a short demo through it.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

build_dir=${QUORVANE_BUILD_DIR:-build}
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build "$build_dir" --parallel "$(nproc)" --target Quorvane_VST3 quorvane-host

installed="$HOME/.vst3/Quorvane.vst3"
mkdir -p "$HOME/.vst3"
rm -rf "$installed"
cp -r "$build_dir/Quorvane_artefacts/Release/VST3/Quorvane.vst3" "$installed"
echo "Installed $installed"

host="$build_dir/tools/host/quorvane-host"
"$host" info "$installed"

# Two plucked notes, one per side, then room for the echoes.
demo_dir=out
mkdir -p "$demo_dir"
sox -q -n -r 48000 -b 16 -c 2 "$demo_dir/demo-in.wav" synth 0.5 pluck C4 pluck G4 fade 0 0.5 0.3 gain -6 pad 0 3.5
"$host" render "$installed" "$demo_dir/demo-in.wav" "$demo_dir/demo-out.wav" \
    --set mix_mode=5 --set delay1_time=375 --set delay2_time=500 \
    --set delay1_feed=55 --set delay2_feed=45 \
    --set delay1_time_mod_src=5 --set delay1_time_mod_depth=1 \
    --set distortion_type=2 --set distortion_drive=25 --set master_dry_wet=45
echo "Rendered $demo_dir/demo-out.wav from $demo_dir/demo-in.wav through the installed plug-in"
