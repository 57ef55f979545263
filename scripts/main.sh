#!/usr/bin/env bash
# The main job: installs what is missing, then runs the real Windows program under wine64 against
# the default simulated machine — a manufacturing flash from end to end (scripts/demo.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
exec scripts/demo.sh "$@"
