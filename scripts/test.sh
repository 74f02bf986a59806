#!/usr/bin/env bash
# Installs what is missing, builds one preset (default unless named) and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-default}
scripts/install-deps.sh
scripts/build.sh "$preset"
ctest --preset "$preset"
