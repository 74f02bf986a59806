#!/usr/bin/env bash
# scripts/run.sh --onvif: one simulated ONVIF camera on 127.0.0.1 and the
# viewer with a settings file whose every record is at 127.0.0.1, camera 1
# not yet set up: "Find..." finds the camera with a probe to 127.0.0.1.
#
#   scripts/run-onvif.sh BIN HEADLESS SHOTS SECONDS   (run.sh passes them)
#
# The probe goes to the port in TAVOLIN_DISCOVERY_PORT (3702 unless set),
# where the simulator answers. Headless, the viewer's demo finds, plays and
# pans the camera; when it asks for it ("demo: restart the camera now") the
# camera is stopped and started again on the same port, and the demo waits
# for its video to come back.
set -euo pipefail
bin=$1 headless=$2 shots=$3 seconds=$4
root=$(cd "$(dirname "$0")/.." && pwd)
folder="$root/build/demo-onvif"
mkdir -p "$folder"
log="$folder/camsim.log"
: >"$log"
export TAVOLIN_LOOPBACK_ONLY=1
export TAVOLIN_DISCOVERY_PORT=${TAVOLIN_DISCOVERY_PORT:-3702}

camsim_pid=""
viewer_pid=""
cleanup() {
  for pid in $viewer_pid $camsim_pid; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
}
trap cleanup EXIT

# Starts the camera on HTTP port $1 (0: a free one) and waits until it
# answers; sets http_port.
start_camera() {
  local started
  started=$(grep -c "ONVIF at" "$log" || true)
  "$bin/tavolin-camsim" --onvif --cameras 1 --name "Garden Dome" --http-port "$1" \
    --discovery-port "$TAVOLIN_DISCOVERY_PORT" >>"$log" 2>&1 &
  camsim_pid=$!
  for _ in $(seq 1 100); do
    [ "$(grep -c "ONVIF at" "$log" || true)" -gt "$started" ] && break
    kill -0 "$camsim_pid" 2>/dev/null || break
    sleep 0.1
  done
  http_port=$(grep -o "ONVIF at http://127.0.0.1:[0-9]*" "$log" | tail -1 | sed 's/.*://')
  if [ -z "$http_port" ] || ! kill -0 "$camsim_pid" 2>/dev/null; then
    echo "run: the ONVIF camera did not start:" >&2
    cat "$log" >&2
    exit 1
  fi
  if grep -q "UDP port $TAVOLIN_DISCOVERY_PORT is taken" "$log"; then
    echo "run: UDP port $TAVOLIN_DISCOVERY_PORT is taken; set TAVOLIN_DISCOVERY_PORT to a free one" >&2
    exit 1
  fi
}

start_camera 0
echo "run: ONVIF camera at http://127.0.0.1:$http_port (user admin, password admin), discovery on 127.0.0.1:$TAVOLIN_DISCOVERY_PORT"

# Every record at 127.0.0.1; camera 1 is a 2.0 camera until "Find..." fills it.
settings="$folder/Tavolin.txt"
: >"$settings"
for i in $(seq 0 15); do
  printf '[%d]\nCameraName=Camera - %d\nCameraIP=127.0.0.1\n' "$i" "$((i + 1))" >>"$settings"
done
cd "$folder"

if [ "$headless" = 0 ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }; then
  "$bin/Tavolin"
  exit 0
fi

mkdir -p "$shots"
echo "run: running under Xvfb, pictures go to $shots"
vlog="$folder/viewer.log"
: >"$vlog"
xvfb-run -a -s "-screen 0 800x600x24" "$bin/tavolin-demo" --screenshots "$shots" --seconds "$seconds" \
  --find admin:admin 2>"$vlog" &
viewer_pid=$!
restarted=0
shown=0
while kill -0 "$viewer_pid" 2>/dev/null; do
  lines=$(wc -l <"$vlog")
  if [ "$lines" -gt "$shown" ]; then
    sed -n "$((shown + 1)),${lines}p" "$vlog" >&2
    shown=$lines
  fi
  if [ "$restarted" = 0 ] && grep -q "demo: restart the camera now" "$vlog"; then
    echo "run: restarting the camera"
    kill "$camsim_pid"
    wait "$camsim_pid" 2>/dev/null || true
    sleep 1
    start_camera "$http_port"
    restarted=1
  fi
  sleep 0.2
done
status=0
wait "$viewer_pid" || status=$?
viewer_pid=""
sed -n "$((shown + 1)),\$p" "$vlog" >&2
if grep -q "demo: the camera came back" "$vlog"; then
  echo "run: the live view survived the camera's restart"
else
  echo "run: the live view did not show the camera again after its restart" >&2
  status=1
fi
exit "$status"
