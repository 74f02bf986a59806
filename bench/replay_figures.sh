#!/usr/bin/env bash
# Playing a camera's own recordings, against a simulated ONVIF camera whose
# SD card holds a day (640 x 480 H.264 at 25 pictures/s, a key picture a
# second), in the same run:
#   1. SEEKS timeline clicks at random times: the time to the first picture
#      shown and its own time against the one asked for (target: median at
#      most 1.0 s, within one picture interval), in an open player and in a
#      player opened per click, beside GStreamer's own ONVIF client pipeline
#      (rtspsrc onvif-mode) made per click for the same seek;
#   2. processor seconds per second of recording at 1x, 4x and 8x against
#      the live view of the same stream, each for SECONDS;
#   3. MINUTES of a recording exported as a clip (bytes copied) against
#      decoding that clip (target: at most a tenth).
#   bench/replay_figures.sh [BUILD_DIR] [SEEKS] [SECONDS] [MINUTES]
# Needs tavolin-camsim and replay_bench built in BUILD_DIR (default
# build/default). Only 127.0.0.1 is used.
set -euo pipefail

build=${1:-build/default}
seeks=${2:-20}
seconds=${3:-15}
minutes=${4:-10}
export TAVOLIN_LOOPBACK_ONLY=1
user=admin
password=replay-bench

source "$(dirname "$0")/bench_session.sh"
bench_needs_programs tavolin-camsim replay_bench

port=18780
"$build/bin/tavolin-camsim" --onvif --http-port "$port" --discovery-port 0 --user "$user" --password "$password" \
  --size 640x480 --sub-size 640x480 --frame-rate 25 --no-audio >"$work/camsim.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do
  (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
  sleep 0.1
done

echo "== timeline seeks ($seeks)"
"$build/bin/replay_bench" seeks "127.0.0.1:$port" "$user" "$password" "$seeks"
echo "== CPU per second of recording"
"$build/bin/replay_bench" speeds "127.0.0.1:$port" "$user" "$password" "$seconds"
echo "== export of $minutes minutes"
"$build/bin/replay_bench" export "127.0.0.1:$port" "$user" "$password" "$minutes" "$work"
