#!/usr/bin/env bash
# Renews the README's pictures in docs/ from the main job under Xvfb: the
# settings form and the live view after Play, against the simulated cameras.
# QT_SCALE_FACTOR=2 scripts/screenshots.sh checks the layouts at 200%.
set -euo pipefail
cd "$(dirname "$0")/.."
shots=$(mktemp -d)
trap 'rm -rf "$shots"' EXIT
scripts/run.sh --headless --screenshots "$shots" "$@"
mkdir -p docs
cp "$shots/form.png" docs/settings-form.png
cp "$shots/live-view.png" docs/live-view.png
echo "screenshots: docs/settings-form.png docs/live-view.png"
