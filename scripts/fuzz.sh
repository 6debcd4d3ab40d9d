#!/bin/sh
# Builds the fuzz targets of fuzz/ with clang in build-fuzz/ and runs each on its corpus.
#   sh scripts/fuzz.sh [SECONDS] [TARGET...]
# SECONDS (default 20) is each target's run time; without targets every one runs. With RUNS set
# (RUNS=1000000) a target also stops once it has executed that many inputs. The corpus of a
# target grows in build-fuzz/corpus/TARGET and starts from fuzz/seeds/TARGET, the default theme,
# the conf files and the tests' inputs. A crash, leak or sanitizer report fails the run and
# leaves the input in build-fuzz/findings/. Runs at the lowest priority: the machine is shared.
set -e
cd "$(dirname "$0")/.."
seconds=${1:-20}
[ $# -gt 0 ] && shift
root=$(pwd)
build=$root/build-fuzz
launcher=""
command -v ccache >/dev/null 2>&1 && launcher="-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLORVANE_FUZZ=ON \
  -DLORVANE_TESTS=OFF -DLORVANE_BENCH=OFF $launcher >/dev/null
nice cmake --build "$build" --target fuzzers

targets="$*"
[ -n "$targets" ] || targets=$(cd fuzz && ls fuzz_*.cpp | sed 's/\.cpp$//')

# A unit costs in proportion to its input, and libFuzzer mutates the larger seeds as often as the
# small ones: the default theme's long descriptors seed in shortened forms that still hold every
# kind of element (the interface descriptor would not even fit -max_len whole). Written to $1.
short_seeds() {
  theme=themes/tv
  # The sections before the controls; the controls, containers and screens come from
  # fuzz/seeds/fuzz_interface_descriptor.
  awk '/^  <Controls/ { exit } { print } END { print "</InterfaceDescriptor>" }' \
    $theme/base-InterfaceDescriptor.xml >"$1/interface-head.xml"
  # Twenty texts of each language.
  awk '/<Language / { n = 0 } /<Text / && ++n > 20 { next } { print }' \
    $theme/base-LanguageDescriptor.xml >"$1/language-short.xml"
}

# Seeds each target starts from, besides its own folder.
seeds() {
  case "$1" in
    fuzz_xml) echo themes/tv/ThemeDescriptor.xml themes/tv/base-VisualDescriptor.xml \
      themes/tv/base-AudioDescriptor.xml conf/*.xml "$short"/* fuzz/seeds/fuzz_interface_descriptor/* ;;
    fuzz_theme_descriptor) echo themes/tv/ThemeDescriptor.xml ;;
    fuzz_visual_descriptor) echo themes/tv/base-VisualDescriptor.xml ;;
    fuzz_interface_descriptor) echo "$short/interface-head.xml" ;;
    fuzz_language_descriptor) echo "$short/language-short.xml" ;;
    fuzz_audio_descriptor) echo themes/tv/base-AudioDescriptor.xml ;;
    fuzz_key_bindings) echo conf/KeyBindings.xml ;;
    fuzz_preferences) echo conf/Preferences.xml ;;
    fuzz_media_locations) ls conf/Media.xml 2>/dev/null || true ;;
  esac
}

mkdir -p "$build/findings"
short=$build/short-seeds
mkdir -p "$short"
short_seeds "$short"
# Targets that load a theme open the sound output: never a real device here.
export SDL_VIDEODRIVER=offscreen SDL_RENDER_DRIVER=software SDL_FRAMEBUFFER_ACCELERATION=0 SDL_AUDIODRIVER=dummy
export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
failed=""
for t in $targets; do
  corpus=$build/corpus/$t
  mkdir -p "$corpus"
  for f in $(seeds "$t"); do cp "$f" "$corpus/seed-$(basename "$f")"; done
  [ -d "fuzz/seeds/$t" ] && cp fuzz/seeds/"$t"/* "$corpus/"
  log=$build/findings/$t.log
  if nice -n 19 "$build/fuzz/$t" "$corpus" -max_total_time="$seconds" -timeout=25 -rss_limit_mb=2048 \
      -max_len=65536 -runs="${RUNS:--1}" -print_final_stats=1 -artifact_prefix="$build/findings/$t-" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    time=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$log")
    echo "$t: ${runs:-?} runs${time:+ in $time s}, no finding"
  else
    echo "$t: FAILED (see $log)"
    tail -n 30 "$log"
    failed="$failed $t"
  fi
done
[ -z "$failed" ] || { echo "fuzz findings:$failed"; exit 1; }
