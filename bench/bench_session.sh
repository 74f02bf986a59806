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
