# What the benchmark scripts share: checks for the programs they run, a work
# folder and the processes they start (both gone when the script ends), the
# processor time of processes, and a virtual X server. Source it after
# setting `build`.

bench_needs_programs() {
  local program
  for program in "$@"; do
    [[ -x $build/bin/$program ]] || { echo "missing $build/bin/$program" >&2; exit 1; }
  done
}

bench_needs_commands() {
  local command
  for command in "$@"; do
    command -v "$command" >/dev/null || { echo "needs $*" >&2; exit 1; }
  done
}

work=$(mktemp -d)
pids=()
bench_cleanup() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap bench_cleanup EXIT

# Processor seconds (user + system) the given processes have used so far; a
# process that has ended adds nothing.
cpu_seconds() {
  local hz total=0 pid
  hz=$(getconf CLK_TCK)
  for pid in "$@"; do
    total=$(awk -v hz="$hz" -v t="$total" '{ sub(/^.*\) /, ""); print t + ($12 + $13) / hz }' "/proc/$pid/stat" \
      2>/dev/null || echo "$total")
  done
  echo "$total"
}

# A free display below 10: mpv uses shared memory only on those, as Qt does
# on any local display, so every player is measured on equal terms.
free_display() {
  local d
  for d in $(seq 1 9); do
    [[ -e /tmp/.X$d-lock || -e /tmp/.X11-unix/X$d ]] || { echo "$d"; return; }
  done
  echo "no free X display below 10" >&2
  return 1
}

# Starts an X server with a 1920 x 1080 screen; leaves its process id in
# $xserver and exports DISPLAY.
start_x() {
  local display
  display=$(free_display)
  Xvfb ":$display" -screen 0 1920x1080x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
  xserver=$!
  pids+=("$xserver")
  export DISPLAY=":$display"
  for _ in $(seq 50); do [[ -e /tmp/.X11-unix/X$display ]] && return; sleep 0.1; done
  echo "Xvfb did not start" >&2
  exit 1
}

# Processor seconds per second of the processes in $@ and the X server
# ($xvfb) over `seconds`, after `warmup` seconds; left in $rate. The first
# process's threads and the X server's are noted at both ends of the window
# for thread_rates. With $beside set to an ffmpeg started by start_ffmpeg,
# that one is measured over the same window, without the X server: its rate
# in $beside_rate, its first output's pictures/s in $beside_pictures.
measure_pids() {
  sleep "$warmup"
  local start end beside_start=0 beside_end=0 frames_start=0 frames_end=0
  thread_ticks "$1" >"$work/threads.start"
  if [[ -n ${beside:-} ]]; then beside_start=$(cpu_seconds "$beside"); frames_start=$(ffmpeg_frames); fi
  start=$(cpu_seconds "$xvfb" "$@")
  sleep "$seconds"
  end=$(cpu_seconds "$xvfb" "$@")
  if [[ -n ${beside:-} ]]; then beside_end=$(cpu_seconds "$beside"); frames_end=$(ffmpeg_frames); fi
  thread_ticks "$1" >"$work/threads.end"
  rate=$(echo "$start $end $seconds" | awk '{ printf "%.4f", ($2 - $1) / $3 }')
  beside_rate=$(echo "$beside_start $beside_end $seconds" | awk '{ printf "%.4f", ($2 - $1) / $3 }')
  beside_pictures=$(echo "$frames_start $frames_end $seconds" | awk '{ printf "%.1f", ($2 - $1) / $3 }')
}

# One line per thread of process $1 and of the X server: id, name, clock
# ticks of user and system time. The main thread is called "main", every
# thread of the X server "X-server".
thread_ticks() {
  local task tid
  for task in /proc/"$1"/task/* /proc/"$xvfb"/task/*; do
    tid=${task##*/}
    awk -v tid="$tid" -v main="$1" -v x="$xvfb" -v task="$task" '{
        name = $0; sub(/^[^(]*\(/, "", name); sub(/\) .*$/, "", name); gsub(/ /, "_", name)
        sub(/^.*\) /, "")
        if (tid == main) name = "main"
        else if (task ~ "^/proc/" x "/") name = "X-server"
        print tid, name, $12 + $13 }' "$task/stat" 2>/dev/null || true
  done
}

# The CPU seconds per second of the last measure_pids window by thread name,
# busiest first: "name xcount rate" (threads that came or went in the window
# count for the part they ran).
thread_rates() {
  awk -v hz="$(getconf CLK_TCK)" -v s="$seconds" '
    FNR == NR { start[$1] = $3; next }
    { used = $3 - ($1 in start ? start[$1] : 0); rate[$2] += used / hz / s; count[$2]++ }
    END { for (n in rate) printf "%s x%d %.4f\n", n, count[n], rate[n] }' \
    "$work/threads.start" "$work/threads.end" | sort -k3 -rn
}

# Starts ffmpeg with the arguments given (NAME first, for its files) and
# returns once it keeps pace with the cameras; its process id is left in
# $ffmpeg_pid. It opens its inputs one after the other, probing each, and the
# streams opened first queue pictures meanwhile, which it then decodes faster
# than they come, in bursts: measured then, it would be charged for more than
# the cameras' rate. So windows are watched one after the other until one
# shows $pace_low to $pace_high pictures/s on its first output (the one
# opened first), up to six; that window's CPU rate is left in $rate and its
# pictures/s in $picture_rate.
start_ffmpeg() {
  ffmpeg_name=$1
  shift
  rm -f "$work/$ffmpeg_name.progress"
  ffmpeg -hide_banner -nostats -loglevel error -progress "$work/$ffmpeg_name.progress" "$@" >/dev/null \
    2>"$work/$ffmpeg_name.log" &
  ffmpeg_pid=$!
  pids+=("$ffmpeg_pid")
  for _ in $(seq 600); do grep -q '^frame=[1-9][0-9]' "$work/$ffmpeg_name.progress" 2>/dev/null && break; sleep 0.1; done
  sleep "$warmup"
  local first kept_pace=0
  for _ in $(seq 6); do
    first=$(ffmpeg_frames)
    beside="" warmup=0 measure_pids "$ffmpeg_pid"
    picture_rate=$(echo "$first $(ffmpeg_frames) $seconds" | awk '{ printf "%.1f", ($2 - $1) / $3 }')
    keeps_pace "$picture_rate" && { kept_pace=1; break; }
  done
  ((kept_pace)) || echo "  $ffmpeg_name did not keep $pace_low to $pace_high pictures/s in six windows" >&2
}

# Pictures the last ffmpeg started has put out on its first output so far.
ffmpeg_frames() {
  [[ -s $work/$ffmpeg_name.progress ]] || { echo 0; return; }
  awk -F= '$1 == "frame" { n = $2 } END { print n + 0 }' "$work/$ffmpeg_name.progress"
}

keeps_pace() { awk -v r="$1" -v lo="$pace_low" -v hi="$pace_high" 'BEGIN { exit !(r >= lo && r <= hi) }'; }

stop_ffmpeg() {
  kill "$ffmpeg_pid" 2>/dev/null || true
  wait "$ffmpeg_pid" 2>/dev/null || true
}

# Runs ffmpeg as start_ffmpeg does and ends it: $rate and $picture_rate are
# those of the window in which it kept pace.
measure_ffmpeg() {
  start_ffmpeg "$@"
  stop_ffmpeg
}

median() { sort -n | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else printf "%.4f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
