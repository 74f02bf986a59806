#!/usr/bin/env bash
# The main job: installs what is missing, builds, and starts the viewer.
#
#   scripts/run.sh                      simulated cameras on 127.0.0.1 and the viewer on them
#   scripts/run.sh --settings PATH      the viewer on your own Tavolin.txt (a file or its folder)
#   scripts/run.sh --headless           run under Xvfb even when a display is there
#   scripts/run.sh --screenshots DIR    where pictures go without a display (build/demo/screenshots)
#   scripts/run.sh --seconds N          how long the live view runs before its picture (6)
#   scripts/run.sh --onvif              a simulated ONVIF camera instead, found with "Find..."
#                                       (user admin, password admin); with --headless the
#                                       demo finds, plays and pans it, restarts the camera
#                                       and waits for its video to come back
#   scripts/run.sh --wall               16 simulated ONVIF cameras (1920x1080 and 640x360 profiles)
#                                       on the camera wall; headless, presses Wall and pictures it
#                                       4x4, a cell zoomed, the first camera in the single view
#                                       (and zoomed), then with its first camera alone
#   scripts/run.sh watch [options]      the headless check: tavolin-watch (see README)
#
# Without a display the viewer runs under Xvfb, pictures the settings form,
# presses Play on camera 1 (only when every camera of the list is at
# 127.0.0.1), pictures the live view and ends. The simulator and Xvfb are
# stopped at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

if [ "${1:-}" = watch ]; then
  shift
  scripts/install-deps.sh
  scripts/build.sh default
  exec build/default/bin/tavolin-watch "$@"
fi

settings=""
headless=0
shots="$root/build/demo/screenshots"
seconds=6
onvif=0
wall=0
while [ $# -gt 0 ]; do
  case "$1" in
    --settings) settings=${2:?--settings needs a file or folder}; shift 2 ;;
    --headless) headless=1; shift ;;
    --screenshots) shots=$(realpath -m "${2:?--screenshots needs a folder}"); shift 2 ;;
    --seconds) seconds=${2:?--seconds needs a number}; shift 2 ;;
    --onvif) onvif=1; shift ;;
    --wall) wall=1; shift ;;
    -h|--help) sed -n '2,20p' "$0"; exit 0 ;;
    *) echo "run: unknown option $1 (see scripts/run.sh --help)" >&2; exit 2 ;;
  esac
done

scripts/install-deps.sh
scripts/build.sh default
bin="$root/build/default/bin"

# The viewer reads and writes Tavolin.txt in the folder it starts in.
camsim_pid=""
cleanup() {
  if [ -n "$camsim_pid" ]; then
    kill "$camsim_pid" 2>/dev/null || true
    wait "$camsim_pid" 2>/dev/null || true
  fi
}
trap cleanup EXIT

if [ "$onvif" = 1 ]; then
  [ -z "$settings" ] || { echo "run: --onvif writes its own settings; leave out --settings" >&2; exit 2; }
  exec scripts/run-onvif.sh "$bin" "$headless" "$shots" "$seconds"
fi

if [ -n "$settings" ]; then
  if [ -d "$settings" ]; then
    folder=$(realpath "$settings")
  elif [ "$(basename "$settings")" = Tavolin.txt ]; then
    folder=$(realpath "$(dirname "$settings")")
  else
    echo "run: the viewer reads a file named Tavolin.txt; give that file or its folder" >&2
    exit 2
  fi
else
  folder="$root/build/demo"
  mkdir -p "$folder"
  rm -f "$folder/Tavolin.txt"
  log="$folder/camsim.log"
  # Three simulated cameras on free ports (sixteen for the wall, both
  # protocols taking turns); the simulator writes the viewer's settings file
  # with every record at 127.0.0.1.
  cameras=(--cameras 3)
  if [ "$wall" = 1 ]; then
    # ONVIF cameras with a 1920x1080 and a 640x360 profile of one scene, each
    # served from loops encoded once: the wall shows the small ones, a camera
    # opened alone its large one.
    cameras=(--cameras 16 --onvif --size 1920x1080 --sub-size 640x360 --frame-rate 25 --key-interval 100
      --pre-encoded 4 --no-audio --discovery-port 0)
  fi
  "$bin/tavolin-camsim" "${cameras[@]}" --login-port 0 --control-port 0 --media-port 0 \
    --video-port 0 --http-port 0 --write-settings "$folder/Tavolin.txt" >"$log" 2>&1 &
  camsim_pid=$!
  for _ in $(seq 1 100); do
    grep -q "^settings for" "$log" 2>/dev/null && break
    if ! kill -0 "$camsim_pid" 2>/dev/null; then break; fi
    sleep 0.1
  done
  if ! grep -q "^settings for" "$log" 2>/dev/null; then
    echo "run: the camera simulator did not start:" >&2
    cat "$log" >&2
    exit 1
  fi
  echo "run: ${cameras[1]} simulated cameras on 127.0.0.1 (log $log), settings $folder/Tavolin.txt"
fi

cd "$folder"
if [ -z "$settings" ]; then
  # The simulated list stays on this machine, whatever is typed into the form.
  export TAVOLIN_LOOPBACK_ONLY=1
fi
if [ "$headless" = 0 ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }; then
  "$bin/Tavolin"
else
  mkdir -p "$shots"
  echo "run: no display; running under Xvfb, pictures go to $shots"
  screen=800x600x24
  demo=(--screenshots "$shots" --seconds "$seconds")
  if [ "$wall" = 1 ]; then
    screen=1920x1080x24
    demo+=(--wall --single-rounds 1)
  fi
  TAVOLIN_LOOPBACK_ONLY=1 xvfb-run -a -s "-screen 0 $screen" "$bin/tavolin-demo" "${demo[@]}"
fi
