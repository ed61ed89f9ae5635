#!/usr/bin/env bash
# Builds everything and runs every test: the README's test command and what CI runs.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
build=${RUV_BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRUV_WARNINGS_AS_ERRORS=ON
cmake --build "$build"
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
