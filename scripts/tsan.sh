#!/bin/sh
# Builds the tests of the subsystems that run threads (the logger, the control socket, the
# player's presenter, thumbnails and picture preloading) with ThreadSanitizer in build-tsan/ and
# runs them. Races inside uninstrumented libraries are suppressed by tests/tsan.supp.
set -e
cd "$(dirname "$0")/.."
export SDL_VIDEODRIVER=offscreen SDL_RENDER_DRIVER=software SDL_FRAMEBUFFER_ACCELERATION=0 SDL_AUDIODRIVER=dummy
launcher=""
command -v ccache >/dev/null 2>&1 && launcher="-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLORVANE_TSAN=ON -DLORVANE_BENCH=OFF \
  $launcher >/dev/null
cmake --build build-tsan --target test_base test_platform test_media
# Some kernels randomise mappings more than this ThreadSanitizer expects; without address
# randomisation it runs there too. A machine where it cannot run at all skips the step, saying so.
probe=build-tsan/tsan-probe
printf '#include <thread>\nint main() { std::thread t([] {}); t.join(); }\n' > "$probe.cpp"
c++ -fsanitize=thread -pthread "$probe.cpp" -o "$probe"
runner=""
if ! "$probe" >/dev/null 2>&1; then
  if setarch "$(uname -m)" -R "$probe" >/dev/null 2>&1; then
    runner="setarch $(uname -m) -R"
  else
    echo "ThreadSanitizer cannot run on this machine; its tests are skipped"
    exit 0
  fi
fi
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$(pwd)/tests/tsan.supp" \
  $runner ctest --test-dir build-tsan --output-on-failure -j2 --repeat until-pass:2 -E "NOT_BUILT|host_check|install_check|media_controls_bus|layout_check|fullscreen_check"
