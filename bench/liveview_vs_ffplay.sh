#!/usr/bin/env bash
# CPU of the live view showing a 720 x 480, 30 pictures/s simulated camera in a
# 1920 x 1080 view, against ffplay showing the same elementary stream at the
# same size, one after the other in the same virtual X server.
#   bench/liveview_vs_ffplay.sh [BUILD_DIR] [SECONDS]
# Needs tavolin-liveview, tavolin-camsim and camsim_stream_dump built in
# BUILD_DIR (default build/default), Xvfb and ffplay. Only 127.0.0.1 is used.
set -euo pipefail

build=${1:-build/default}
seconds=${2:-20}
warmup=4
export TAVOLIN_LOOPBACK_ONLY=1
unset WAYLAND_DISPLAY

source "$(dirname "$0")/bench_session.sh"
bench_needs_programs tavolin-liveview tavolin-camsim camsim_stream_dump
bench_needs_commands Xvfb ffplay
start_x

# Starts a command, lets it run for warmup + seconds, and leaves its processor
# seconds per second of video over the last `seconds` in $rate and its
# process id in $started.
measure() {
  local log=$1
  shift
  "$@" >/dev/null 2>"$log" &
  started=$!
  pids+=("$started")
  sleep "$warmup"
  local start end
  start=$(cpu_seconds "$started")
  sleep "$seconds"
  end=$(cpu_seconds "$started")
  rate=$(echo "$start $end $seconds" | awk '{ printf "%.4f", ($2 - $1) / $3 }')
}

# The simulated camera in its own process, so its encoder is not counted.
"$build/bin/tavolin-camsim" --protocol 2 --resolution 0 --frame-rate 30 --test-pattern \
  --control-port 0 --video-port 0 --http-port 0 --write-settings "$work/Tavolin.txt" \
  >"$work/camsim.log" 2>&1 </dev/null &
pids+=($!)
for _ in $(seq 100); do [[ -s $work/Tavolin.txt ]] && break; sleep 0.1; done
[[ -s $work/Tavolin.txt ]] || { echo "the simulated camera did not start" >&2; exit 1; }

total_ms=$(((warmup + seconds + 1) * 1000))
measure "$work/liveview.log" "$build/bin/tavolin-liveview" --settings "$work/Tavolin.txt" --camera 1 --run "$total_ms"
liveview=$rate
wait "$started" || true
pictures=$(grep -o '[0-9]* pictures handed over.*' "$work/liveview.log" || echo "no picture count")

"$build/bin/camsim_stream_dump" "$work/stream.m4v" $((warmup + seconds + 10)) 0 30 2>/dev/null
measure "$work/ffplay.log" ffplay -hide_banner -stats -an -sn -noborder -left 0 -top 0 \
  -x 1920 -y 1080 -f m4v -framerate 30 "$work/stream.m4v"
ffplay_cpu=$rate
kill "$started" 2>/dev/null || true
wait "$started" 2>/dev/null || true
ffplay_drops=$(tr '\r' '\n' <"$work/ffplay.log" | grep -o 'fd= *[0-9]*' | tail -1 || true)

echo "720x480 at 30 pictures/s in a 1920x1080 view, $seconds s measured after $warmup s"
echo "tavolin-liveview: $liveview CPU seconds per second of video ($pictures)"
echo "ffplay:           $ffplay_cpu CPU seconds per second of video (${ffplay_drops:-fd unknown})"
echo "$liveview $ffplay_cpu" | awk '{ printf "ratio live view / ffplay: %.2f\n", $1 / $2 }'
