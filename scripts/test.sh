#!/bin/sh
# Installs what is missing, builds lorvane and runs every test: once in a normal build and once
# under AddressSanitizer and UndefinedBehaviorSanitizer.
set -e
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh --test
export SDL_VIDEODRIVER=offscreen SDL_RENDER_DRIVER=software SDL_FRAMEBUFFER_ACCELERATION=0 SDL_AUDIODRIVER=dummy
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build
# CI machines are shared: a test that fails once and then passes is printed with its output in
# full, for us to mend, but does not sink the run. A test that fails twice does.
retry="--repeat until-pass:2"
ctest --test-dir build --output-on-failure -j2 $retry
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DLORVANE_SANITIZE=ON -DLORVANE_BENCH=OFF
cmake --build build-asan
ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 ctest --test-dir build-asan --output-on-failure -j2 $retry
