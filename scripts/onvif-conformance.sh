#!/usr/bin/env bash
# Checks the simulated ONVIF camera with an ONVIF client that nobody here
# wrote: the npm package "onvif", pinned in scripts/onvif-conformance/. It
# starts `tavolin-camsim --onvif` on 127.0.0.1, reads device information,
# profiles and stream addresses, moves and stops the head, sets, lists,
# recalls and removes a preset, pulls events and switches the relay, with
# token authentication, then once more with HTTP digest only and once
# against a camera whose clock runs ten minutes ahead; then the SD card's
# search (paged, five results an answer) and replay services. Fails on any
# error.
# Usage: scripts/onvif-conformance.sh [BUILD_DIR]   (default build/default)
#        scripts/onvif-conformance.sh --prepare     only install the client
#                                                   (CI does it while it builds)
set -euo pipefail
cd "$(dirname "$0")/.."
prepare_only=0
[ "${1:-}" = --prepare ] && prepare_only=1
build=${1:-build/default}
camsim="$build/bin/tavolin-camsim"
dir=scripts/onvif-conformance
if ((!prepare_only)) && [ ! -x "$camsim" ]; then
  echo "onvif-conformance: $camsim is not built" >&2
  exit 1
fi
if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "onvif-conformance: needs node and npm (run as root to install them)" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends nodejs npm
fi
if [ ! -f "$dir/node_modules/onvif/package.json" ]; then
  (cd "$dir" && npm ci --no-audit --no-fund --loglevel=error)
fi
((prepare_only)) && exit 0

export TAVOLIN_LOOPBACK_ONLY=1
user=conformance
password='pass word!'
pids=()
logs=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -f "${logs[@]}"
}
trap cleanup EXIT

# Starts a camera with the given extra options; sets $port to its port.
start_camera() {
  local log
  log=$(mktemp)
  logs+=("$log")
  "$camsim" --onvif --http-port 0 --user "$user" --password "$password" "$@" </dev/null >"$log" 2>&1 &
  pids+=($!)
  port=
  for _ in $(seq 200); do
    port=$(sed -n 's|.*ONVIF at http://127\.0\.0\.1:\([0-9]*\)/.*|\1|p' "$log")
    [ -n "$port" ] && return 0
    sleep 0.05
  done
  cat "$log" >&2
  echo "onvif-conformance: the camera did not start" >&2
  exit 1
}

start_camera --inputs-every 1
node "$dir/check.js" --port "$port" --user "$user" --password "$password"
node "$dir/check.js" --port "$port" --user "$user" --password "$password" --digest --connect-only
start_camera --onvif-fault skewed-clock
node "$dir/check.js" --port "$port" --user "$user" --password "$password" --connect-only
start_camera --onvif-fault paged-search
node "$dir/check.js" --port "$port" --user "$user" --password "$password" --recordings
echo "onvif-conformance: passed"
