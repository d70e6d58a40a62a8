#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds the program with its help file and starts it
# from the build folder, where it keeps its settings and, by default, the MP3 files.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh --desktop
cmake --preset default >/dev/null
cmake --build --preset default --target purlwave purlwave_help
exec build/default/bin/purlwave "$@"
