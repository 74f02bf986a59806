#!/usr/bin/env bash
# The main job: installs what is missing, builds, and starts the viewer. With no
# camera given it watches a simulated camera on 127.0.0.1.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh default
for prog in build/default/bin/Tavolin build/default/bin/tavolin-watch; do
  if [ -x "$prog" ]; then
    exec "$prog" "$@"
  fi
done
echo "run: neither the viewer nor the headless watcher is built yet" >&2
exit 1
