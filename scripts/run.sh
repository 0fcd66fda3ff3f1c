#!/usr/bin/env bash
# Installs what is missing, builds the program and starts its main window.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j "$(nproc)" --target melvaro
exec build/app/melvaro
