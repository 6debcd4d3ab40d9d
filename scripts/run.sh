#!/bin/sh
# Installs what is missing, builds lorvane and runs it on its default theme.
set -e
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build
exec build/stage/bin/lorvane "$@"
