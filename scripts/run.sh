#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh --desktop
cmake --preset default >/dev/null
cmake --build --preset default --target purlwave
exec build/default/bin/purlwave "$@"
