#!/usr/bin/env bash
# The camera wall choosing each camera's stream: 16 simulated ONVIF cameras,
# each with a 1920x1080 and a 640x360 profile of one scene at 25 pictures/s
# (key pictures every 4 s), in 4x4 on a 1920x1080 virtual screen, the X server
# counted with the viewer. In one run, as ratios:
#   - the wall as it chooses (the small profiles): its CPU against one ffmpeg
#     only decoding the 16 small streams (target: at most 1.6 times), and
#     every cell's picture rate (target: 24.5 or more). That ffmpeg runs
#     throughout and is measured over the same windows as each wall: this
#     machine's speed drifts by up to a third within minutes, and so did
#     ratios of windows taken one after the other;
#   - the same wall with the channel fixed to the large profile, as a viewer
#     without stream choice shows it: its CPU and its cells' rates;
#   - a cell opened in the single view, ROUNDS_SINGLE times: the time from the
#     click to the large stream's first picture (target: median at most
#     0.8 s), the polls on which the view had no picture to show (target:
#     none), the size of its pictures (1920x1080), and the time from leaving
#     it to the large stream being closed (target: at most 1 s).
# Each round also gives the choosing wall's CPU by thread name (the stream
# client's receive, render and event threads, the GUI thread as "main", the
# X server).
#   bench/wall_stream_choice.sh [BUILD_DIR] [SECONDS] [ROUNDS] [ROUNDS_SINGLE]
# LARGE=0 leaves the wall on the large profile out; ROUNDS_SINGLE 0 the
# single view.
# Needs tavolin-demo and tavolin-camsim built in BUILD_DIR (default
# build/default), Xvfb and ffmpeg. Only 127.0.0.1 is used. The simulated
# cameras run in their own process and are not counted.
set -euo pipefail

build=$(realpath "${1:-build/default}")
seconds=${2:-20}
rounds=${3:-3}
single_rounds=${4:-10}
warmup=5
cameras=16
export TAVOLIN_LOOPBACK_ONLY=1
unset WAYLAND_DISPLAY

source "$(dirname "$0")/bench_session.sh"
pace_low=24
pace_high=26
bench_needs_programs tavolin-demo tavolin-camsim
bench_needs_commands Xvfb ffmpeg
start_x
xvfb=$xserver

mkdir -p "$work/wall" "$work/shots"
"$build/bin/tavolin-camsim" --onvif --cameras "$cameras" --http-port 0 --discovery-port 0 --size 1920x1080 \
  --sub-size 640x360 --frame-rate 25 --key-interval 100 --pre-encoded 4 --no-audio \
  --write-settings "$work/wall/Tavolin.txt" >"$work/camsim.log" 2>&1 </dev/null &
camsim=$!
pids+=("$camsim")
for _ in $(seq 600); do grep -q "^settings for" "$work/camsim.log" 2>/dev/null && break; sleep 0.1; done
grep -q "^settings for" "$work/camsim.log" || { echo "the simulated cameras did not start" >&2; exit 1; }
# The loops are encoded when their first client comes: once, before measuring.
mapfile -t small < <(grep -o 'profile_sub: .*rtsp://[^ ]*' "$work/camsim.log" | grep -o 'rtsp://.*' |
  sed 's|rtsp://|rtsp://admin:admin@|')
mapfile -t large < <(grep -o 'profile_main: .*rtsp://[^ ]*' "$work/camsim.log" | grep -o 'rtsp://.*' |
  sed 's|rtsp://|rtsp://admin:admin@|')
for url in "${small[0]}" "${large[0]}"; do
  ffmpeg -v error -rtsp_transport tcp -i "$url" -frames:v 1 -f null - </dev/null || true
done

# The wall for `seconds` after the warm-up, with `extra` demo options. Leaves
# its CPU rate in $wall_cpu, the floor's over the same window in $floor_cpu
# (and its pictures/s in $floor_pictures), the slowest cell's rate in $slowest (and of
# pictures painted in $slowest_painted) and the number of cells reporting in
# $cells; the demo's log in $work/$1.log.
measure_wall() {
  local name=$1
  shift
  local run_s=$((2 * (warmup + seconds)))
  (cd "$work/wall" && exec "$build/bin/tavolin-demo" --screenshots "$work/shots" --seconds "$run_s" --wall "$@") \
    >/dev/null 2>"$work/$name.log" &
  local viewer=$!
  pids+=("$viewer")
  beside=$floor measure_pids "$viewer"
  wall_cpu=$rate floor_cpu=$beside_rate floor_pictures=$beside_pictures
  wall_threads=$(thread_rates | awk '{ printf "%s%s %s %s", sep, $1, $2, $3; sep = ", " }')
  wait "$viewer" || true
  local rates
  rates=$(grep -o 'wall cell [0-9]*: [0-9.]* pictures/s' "$work/$name.log" | awk '{ print $4 }')
  slowest=$(echo "$rates" | sort -n | head -1)
  cells=$(echo "$rates" | grep -c . || true)
  slowest_painted=$(grep -o '([0-9.]* painted)' "$work/$name.log" | tr -d '(' | awk '{ print $1 }' | sort -n | head -1)
}

# One ffmpeg only decoding the 16 small streams, single-threaded each, to no
# picture at all: the floor every viewer of these streams pays.
inputs=() maps=()
for i in $(seq 0 $((cameras - 1))); do
  inputs+=(-threads 1 -rtsp_transport tcp -analyzeduration 1000000 -i "${small[$i]}")
  maps+=(-map "$i:v" -f null -)
done
start_ffmpeg decode "${inputs[@]}" "${maps[@]}"
floor=$ffmpeg_pid

echo "16 ONVIF cameras of 1920x1080 and 640x360 at 25 pictures/s, 4x4 on 1920x1080 under Xvfb;" \
  "$seconds s measured after $warmup s, $rounds rounds"
ratios=() large_ratios=()
for round in $(seq "$rounds"); do
  measure_wall chosen
  chosen_cpu=$wall_cpu chosen_slowest=$slowest chosen_cells=$cells chosen_painted=$slowest_painted
  chosen_threads=$wall_threads chosen_floor=$floor_cpu chosen_floor_pictures=$floor_pictures
  keeps_pace "$chosen_floor_pictures" ||
    echo "  ffmpeg did not keep $pace_low to $pace_high pictures/s beside the wall" >&2
  # The large wall takes a core of two, and ffmpeg beside it falls behind:
  # it is held against the floor measured beside the choosing wall.
  large_cpu=0 large_slowest=- large_cells=0 large_painted=-
  if [[ ${LARGE:-1} != 0 ]]; then
    measure_wall large --channel 1
    large_cpu=$wall_cpu large_slowest=$slowest large_cells=$cells large_painted=$slowest_painted
  fi
  ratio=$(echo "$chosen_cpu $chosen_floor" | awk '{ printf "%.2f", $1 / $2 }')
  large_ratio=$(echo "$large_cpu $chosen_floor" | awk '{ printf "%.2f", $1 / $2 }')
  ratios+=("$ratio")
  large_ratios+=("$large_ratio")
  echo "round $round: wall choosing $chosen_cpu CPU s/s ($chosen_cells cells, slowest $chosen_slowest pictures/s," \
    "$chosen_painted painted); wall on the large profile $large_cpu ($large_cells cells, slowest $large_slowest" \
    "pictures/s, $large_painted painted);" \
    "ffmpeg decoding the 16 small streams beside the choosing wall $chosen_floor ($chosen_floor_pictures" \
    "pictures/s);" \
    "wall / decoding $ratio, large wall / decoding $large_ratio"
  echo "  choosing wall by thread (CPU s/s): $chosen_threads; load average $(cut -d' ' -f1-3 /proc/loadavg)"
done
echo "(CPU seconds per second, X server included for the walls; each wall against ffmpeg over the same window," \
  "ffmpeg's pictures/s are its first output's)"
echo "median ratio wall choosing / decoding its streams: $(printf '%s\n' "${ratios[@]}" | median) (target at most 1.6)"
[[ ${LARGE:-1} == 0 ]] ||
  echo "median ratio wall on the large profile / decoding the small streams: $(printf '%s\n' "${large_ratios[@]}" | median)"

# The single view opened from a cell and left again.
stop_ffmpeg
((single_rounds > 0)) || exit 0
(cd "$work/wall" && exec "$build/bin/tavolin-demo" --screenshots "$work/shots" --seconds $((2 * warmup)) --wall \
  --single-rounds "$single_rounds") >/dev/null 2>"$work/single.log" || true
grep '^demo: single view' "$work/single.log" || { echo "no single view rounds (see the demo's log)"; cat "$work/single.log" >&2; }
firsts=$(awk '/^demo: single view/ { for (i = 1; i <= NF; ++i) if ($i == "first") print $(i + 4) }' "$work/single.log")
closes=$(awk '/^demo: single view/ { for (i = 1; i <= NF; ++i) if ($i == "closed") print $(i + 2) }' "$work/single.log")
empty=$(awk '/^demo: single view/ { for (i = 1; i <= NF; ++i) if ($i == "without") n += $(i - 2) } END { print n + 0 }' "$work/single.log")
echo "single view: median first large picture $(echo "$firsts" | median | awk "{ printf \"%.0f\", \$1 }") ms after the click (target at most 800)," \
  "slowest close $(echo "$closes" | sort -n | tail -1) ms (target at most 1000), polls without a picture $empty (target 0)"
