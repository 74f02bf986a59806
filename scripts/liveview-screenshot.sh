#!/usr/bin/env bash
# Opens the live view on a simulated camera (protocol 2, on 127.0.0.1) under a
# virtual display and writes a screenshot once pictures are showing.
#   scripts/liveview-screenshot.sh [OUT.png] [WIDTHxHEIGHT]
# Builds tavolin-liveview (default preset) first when it is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs/liveview.png}
size=${2:-640x480}
export TAVOLIN_LOOPBACK_ONLY=1
program=build/default/bin/tavolin-liveview
if [[ ! -x $program ]]; then
  cmake --preset default >/dev/null
  cmake --build build/default -j "$(nproc)" --target tavolin-liveview
fi
mkdir -p "$(dirname "$out")"
xvfb-run -a -s "-screen 0 ${size}x24 -nolisten tcp" "$program" --simulate 2 --screenshot "$out"
