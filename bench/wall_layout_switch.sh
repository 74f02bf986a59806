#!/usr/bin/env bash
# Switching the wall between two 4x4 layouts that share twelve cameras, and
# the processor time of a tour: 16 simulated ONVIF cameras (a 1280x720 and a
# 640x360 profile, 25 pictures/s, key pictures every 4 s) in their own
# process, and build/default/bin/wall_layout_switch_bench on them (offscreen,
# or on the X display given as DISPLAY with QT_QPA_PLATFORM=xcb).
#   bench/wall_layout_switch.sh [BUILD_DIR] [ROUNDS] [TOUR_SECONDS] [PERIOD_SECONDS] [SHOTS_DIR]
# Only 127.0.0.1 is used.
set -euo pipefail

build=$(realpath "${1:-build/default}")
rounds=${2:-5}
tour_seconds=${3:-30}
period_seconds=${4:-3}
shots=${5:-}
export TAVOLIN_LOOPBACK_ONLY=1

source "$(dirname "$0")/bench_session.sh"
bench_needs_programs tavolin-camsim wall_layout_switch_bench

"$build/bin/tavolin-camsim" --onvif --cameras 16 --http-port 0 --discovery-port 0 --size 1280x720 \
  --sub-size 640x360 --frame-rate 25 --key-interval 100 --pre-encoded 4 --no-audio \
  --write-settings "$work/Tavolin.txt" >"$work/camsim.log" 2>&1 </dev/null &
pids+=("$!")
for _ in $(seq 900); do grep -q "^settings for" "$work/camsim.log" 2>/dev/null && break; sleep 0.1; done
grep -q "^settings for" "$work/camsim.log" || { echo "the simulated cameras did not start" >&2; exit 1; }

args=("$work/Tavolin.txt" "$rounds" "$tour_seconds" "$period_seconds")
[[ -n $shots ]] && args+=("$(realpath "$shots")")
"$build/bin/wall_layout_switch_bench" "${args[@]}"
