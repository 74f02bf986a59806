#!/usr/bin/env bash
# Resident size of the viewer showing 16 simulated RTSP cameras (720 x 480,
# 30 pictures/s, pre-encoded loops) on the 4x4 wall under Xvfb, sampled every
# 30 s, and its growth from the second minute to the end.
#   bench/wall_memory.sh [BUILD_DIR] [SECONDS]
# Needs tavolin-demo and tavolin-camsim built in BUILD_DIR (default build/default)
# and Xvfb. SECONDS (default 600, at most 590 of wall time are sampled)
# counts from the wall's start. Only 127.0.0.1 is used.
set -euo pipefail

build=${1:-build/default}
seconds=${2:-600}
export TAVOLIN_LOOPBACK_ONLY=1
unset WAYLAND_DISPLAY

source "$(dirname "$0")/bench_session.sh"
bench_needs_programs tavolin-demo tavolin-camsim
bench_needs_commands Xvfb
start_x

mkdir -p "$work/wall" "$work/shots"
"$build/bin/tavolin-camsim" --rtsp --cameras 16 --port 0 --size 720x480 --frame-rate 30 --pre-encoded 4 \
  --no-audio --write-settings "$work/wall/Tavolin.txt" >"$work/camsim.log" 2>&1 </dev/null &
pids+=($!)
for _ in $(seq 100); do grep -q "^settings for" "$work/camsim.log" 2>/dev/null && break; sleep 0.1; done
grep -q "^settings for" "$work/camsim.log" || { echo "the simulated cameras did not start" >&2; exit 1; }

viewer_build=$(realpath "$build")
(cd "$work/wall" && exec "$viewer_build/bin/tavolin-demo" --screenshots "$work/shots" --seconds $((seconds + 10)) --wall) \
  >/dev/null 2>"$work/wall.log" &
viewer=$!
pids+=("$viewer")

echo "16 RTSP cameras of 720x480 at 30 pictures/s on the 4x4 wall; resident size of the viewer:"
at_two_minutes=""
last=""
for t in $(seq 30 30 $((seconds - 10))); do
  sleep 30
  last=$(awk '/VmRSS/ { print $2 }' "/proc/$viewer/status")
  echo "  $t s: $last kB"
  [[ $t -eq 120 ]] && at_two_minutes=$last
done
[[ -n $at_two_minutes ]] && echo "growth from 120 s to the end: $((last - at_two_minutes)) kB"
