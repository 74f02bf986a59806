#!/usr/bin/env bash
# CPU of the camera wall showing 16 simulated cameras of 720 x 480 at 30
# pictures/s in 4x4 on a 1920 x 1080 virtual screen (the X server counted
# with it), against stock players showing the same 16 streams at 480 x 270:
# 16 mpv windows (--vo=x11, X server counted) and one ffmpeg decoding all 16
# to 480 x 270 BGRA. All in one run, so the figures are compared as ratios.
# The machines are shared: the wall and the players take turns for ROUNDS
# rounds, each round gives its own ratio, and the median ratio is the figure.
#   bench/wall_vs_mpv.sh [BUILD_DIR] [SECONDS] [mpeg4|h264] [ROUNDS]
# mpeg4 (the default): protocol 2 cameras encoding live, the players reading
# the same stream from a file. h264: RTSP cameras serving a pre-encoded loop,
# which costs the simulator little, and the players reading the same RTSP
# streams, so every side gets its 30 pictures/s.
# Needs tavolin-demo, tavolin-camsim and camsim_stream_dump built in BUILD_DIR
# (default build/default), Xvfb, ffmpeg and (optionally) mpv. Only 127.0.0.1
# is used. The simulated cameras run in their own process and are not counted.
set -euo pipefail

build=$(realpath "${1:-build/default}")
seconds=${2:-20}
kind=${3:-mpeg4}
rounds=${4:-3}
warmup=5
cameras=16
export TAVOLIN_LOOPBACK_ONLY=1
unset WAYLAND_DISPLAY

source "$(dirname "$0")/bench_session.sh"
# ffmpeg keeps pace with 30 pictures/s cameras in a window of 29 to 31.
pace_low=29
pace_high=31
bench_needs_programs tavolin-demo tavolin-camsim camsim_stream_dump
bench_needs_commands Xvfb ffmpeg
start_x
xvfb=$xserver

# The cameras: protocol 2 cameras encoding live (mpeg4), or RTSP cameras
# serving a pre-encoded loop (h264). Left in $camsim.
mkdir -p "$work/wall" "$work/shots"
start_cameras() {
  case $kind in
    mpeg4)
      "$build/bin/tavolin-camsim" --cameras "$cameras" --protocol 2 --resolution 0 --frame-rate 30 --test-pattern \
        --control-port 0 --video-port 0 --http-port 0 --write-settings "$work/wall/Tavolin.txt" \
        >"$work/camsim.log" 2>&1 </dev/null &
      ;;
    h264)
      "$build/bin/tavolin-camsim" --rtsp --cameras "$cameras" --port 0 --size 720x480 --frame-rate 30 \
        --pre-encoded 4 --no-audio --write-settings "$work/wall/Tavolin.txt" >"$work/camsim.log" 2>&1 </dev/null &
      ;;
    *) echo "kind is mpeg4 or h264" >&2; exit 2 ;;
  esac
  camsim=$!
  pids+=("$camsim")
  for _ in $(seq 100); do grep -q "^settings for" "$work/camsim.log" 2>/dev/null && break; sleep 0.1; done
  grep -q "^settings for" "$work/camsim.log" || { echo "the simulated cameras did not start" >&2; exit 1; }
}

# The wall: the demo presses Wall, chooses 4x4 and reports each cell's
# picture rate over the second half of its run. Leaves the CPU rate in
# $wall_cpu, the cells' rates in $rates and resident sizes in kB.
measure_wall() {
  local run_s=$((2 * (warmup + seconds)))
  (cd "$work/wall" && exec "$build/bin/tavolin-demo" --screenshots "$work/shots" --seconds "$run_s" --wall) \
    >/dev/null 2>"$work/wall.log" &
  local viewer=$!
  pids+=("$viewer")
  local camsim_start
  camsim_start=$(cpu_seconds "$camsim")
  rss() { awk '/VmRSS/ { print $2 }' "/proc/$1/status"; }
  sleep "$warmup"
  rss_start=$(rss "$viewer")
  warmup=0 measure_pids "$viewer"
  wall_cpu=$rate
  rss_kb=$(rss "$viewer")
  camsim_rate=$(echo "$camsim_start $(cpu_seconds "$camsim") $((warmup + seconds))" | awk '{ printf "%.2f", ($2 - $1) / $3 }')
  wait "$viewer" || true
  rates=$(grep -o 'wall cell [0-9]*: [0-9.]* pictures/s' "$work/wall.log" | awk '{ print $4 }')
}

# What the stock players read: the same stream as a file, or the same RTSP
# streams (with the simulator's login).
sources=()
set_sources() {
  sources=()
  if [[ $kind == mpeg4 ]]; then
    [[ -s $work/stream.m4v ]] ||
      "$build/bin/camsim_stream_dump" "$work/stream.m4v" $((warmup + seconds + 10)) 0 30 2>/dev/null
    for i in $(seq 0 $((cameras - 1))); do sources+=("$work/stream.m4v"); done
    ffmpeg_input=(-re -f m4v -framerate 30)
    mpv_input=(--demuxer-lavf-format=m4v --fps=30 --loop=inf)
  else
    mapfile -t sources < <(grep -o 'RTSP rtsp://[^,]*/h264' "$work/camsim.log" | sed 's|RTSP rtsp://|rtsp://admin:admin@|')
    # Each input is probed for 1 s, not 5: the streams opened first queue
    # pictures until the last is open.
    ffmpeg_input=(-rtsp_transport tcp -analyzeduration 1000000)
    mpv_input=(--rtsp-transport=tcp)
  fi
}

# One ffmpeg decoding all 16 at their own pace, each scaled to 480 x 270 BGRA.
measure_ffmpeg_player() {
  local inputs=() graph="" maps=()
  for i in $(seq 0 $((cameras - 1))); do
    inputs+=("${ffmpeg_input[@]}" -i "${sources[$i]}")
    graph+="[$i:v]scale=480:270,format=bgra[o$i];"
    maps+=(-map "[o$i]" -f null -)
  done
  measure_ffmpeg ffmpeg "${inputs[@]}" -filter_complex "${graph%;}" "${maps[@]}"
  ffmpeg_cpu=$rate
  ffmpeg_pictures=$picture_rate
}

# The floor: ffmpeg only decoding the 16 streams, single-threaded each, to no
# picture at all. Every picture of every camera has to be decoded to show
# any, so no viewer can cost less than this.
measure_floor() {
  local inputs=() maps=()
  for i in $(seq 0 $((cameras - 1))); do
    inputs+=(-threads 1 "${ffmpeg_input[@]}" -i "${sources[$i]}")
    maps+=(-map "$i:v" -f null -)
  done
  measure_ffmpeg decode "${inputs[@]}" "${maps[@]}"
  decode_cpu=$rate
  decode_pictures=$picture_rate
}

measure_mpv() {
  mpv_cpu=""
  command -v mpv >/dev/null || return 0
  local players=()
  for i in $(seq 0 $((cameras - 1))); do
    local x=$(((i % 4) * 480)) y=$(((i / 4) * 270))
    mpv --no-config --really-quiet --vo=x11 --hwdec=no --no-audio --no-border --geometry=480x270+$x+$y \
      "${mpv_input[@]}" "${sources[$i]}" \
      >/dev/null 2>&1 &
    players+=($!)
    pids+=($!)
  done
  measure_pids "${players[@]}"
  mpv_cpu=$rate
  kill "${players[@]}" 2>/dev/null || true
  wait "${players[@]}" 2>/dev/null || true
}


echo "16 cameras of 720x480 at 30 pictures/s, 4x4 on 1920x1080 under Xvfb; $seconds s measured after $warmup s, $rounds rounds"
ratios=() floors=()
for round in $(seq "$rounds"); do
  [[ $kind == mpeg4 || $round == 1 ]] && start_cameras
  measure_wall
  slowest=$(echo "$rates" | sort -n | head -1)
  cells=$(echo "$rates" | grep -c . || true)
  # The live encoders stop; the players read the same stream from a file.
  [[ $kind == mpeg4 ]] && { kill "$camsim" 2>/dev/null || true; wait "$camsim" 2>/dev/null || true; }
  set_sources
  measure_ffmpeg_player
  measure_floor
  measure_mpv
  cheaper=$ffmpeg_cpu
  [[ -n $mpv_cpu ]] && cheaper=$(echo "$ffmpeg_cpu $mpv_cpu" | awk '{ print ($1 < $2) ? $1 : $2 }')
  ratio=$(echo "$wall_cpu $cheaper" | awk '{ printf "%.2f", $1 / $2 }')
  floor=$(echo "$decode_cpu $cheaper" | awk '{ printf "%.2f", $1 / $2 }')
  ratios+=("$ratio")
  floors+=("$floor")
  echo "round $round: wall $wall_cpu (16 cells: $cells, slowest $slowest pictures/s), ffmpeg $ffmpeg_cpu" \
    "($ffmpeg_pictures pictures/s), mpv ${mpv_cpu:-none}, decoding only $decode_cpu ($decode_pictures pictures/s)" \
    "CPU s/s; wall / cheaper $ratio, floor / cheaper $floor"
  echo "  wall resident size ${rss_start} kB after $warmup s, ${rss_kb} kB after $((warmup + seconds)) s;" \
    "simulated cameras (not counted) $camsim_rate CPU s/s"
done
echo "(CPU seconds per second, X server included; ffmpeg's pictures/s are its first output's in the measured window: 30 when it keeps pace)"
echo "median ratio wall / cheaper stock player: $(printf '%s\n' "${ratios[@]}" | median) (target at most 0.5)"
echo "median ratio decoding alone / cheaper stock player: $(printf '%s\n' "${floors[@]}" | median)"
