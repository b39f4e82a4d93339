#!/bin/sh
# Builds the project and runs every test.
# Usage: tests/run.sh [BUILD_DIR]   (default: build)
# Extra CMake options may be given in CMAKE_ARGS.
set -eu
cd "$(dirname "$0")/.."
build=${1:-build}
jobs=$(nproc 2>/dev/null || echo 2)
# shellcheck disable=SC2086
cmake -S . -B "$build" ${CMAKE_ARGS:-}
cmake --build "$build" -j"$jobs"
ctest --test-dir "$build" --output-on-failure -j"$jobs"
