#!/bin/sh
# The default theme's layout over a library like a person's: the walk of docs/screenshots visits
# every screen (home, each browser at its top, in a folder and on its second page, the music
# playing, a film, the error, a slideshow, settings and its pages, the questions before a restart
# and before leaving, the screen saver) and asks at each for the controls that meet a shown text. None may, except the bars
# drawn over a film and a slideshow on purpose.
#   layout_check.sh LORVANE SOURCE_DIR
set -eu
lorvane="$1"
source_dir="$2"
stage=$(cd "$(dirname "$lorvane")/.." && pwd)
check=layout_check
. "$(dirname "$0")/check_common.sh"
errors="$work/run.err"
command -v ffmpeg >/dev/null || { echo "$check: ffmpeg is missing, skipped"; exit 77; }
sh "$source_dir/tools/make_demo_library.sh" "$work/library" >/dev/null 2>"$errors" ||
  fail "the demo library could not be made"

sh "$source_dir/tools/make_demo_base.sh" "$stage" "$work/library" "$work/base"
# Where the walk takes a picture, the check asks for overlaps.
sed 's|^screenshot @OUT@/.*|overlaps|' "$source_dir/docs/screenshots/walk.txt" > "$work/walk.txt"
SDL_VIDEODRIVER=offscreen SDL_RENDER_DRIVER=software SDL_AUDIODRIVER=dummy \
  "$lorvane" --base "$work/base" --headless --script "$work/walk.txt" >"$work/out.txt" 2>"$errors" ||
  fail "the walk did not run to its end"

# The walk must reach the screens it means to, or a clear result would say nothing. The screen
# saver draws over the home screen, where the walk leaves the focus on Exit.
grep '^screen=' "$work/out.txt" | cut -d' ' -f1 | cut -d= -f2 | tr '\n' ' ' > "$work/screens.txt"
expected="home music music playing music videos video videos error videos pictures pictures pictures \
slideshow settings setdisplay restart setaudio setgeneral setslideshow setremote exit home "
[ "$(cat "$work/screens.txt")" = "$expected" ] ||
  fail "the walk went astray: it saw $(cat "$work/screens.txt"), not $expected"

# Each overlap with the screen it was seen on; the bars over a film and a picture are meant.
awk '/^screen=/ { split($1, s, "="); screen = s[2]; next } /^overlap / { print screen ": " $0 }' \
  "$work/out.txt" > "$work/overlaps.txt"
grep -v -x -e 'video: overlap videowindow osd[a-z]*' -e 'slideshow: overlap slidewindow slide[a-z]*' \
  "$work/overlaps.txt" > "$work/faults.txt" || true
if [ -s "$work/faults.txt" ]; then
  errors="$work/faults.txt"
  fail "text is covered by or runs into other controls:"
fi
grep -q 'video: overlap videowindow osdtitle' "$work/overlaps.txt" ||
  fail "the film's bar was not seen over the film: the check no longer sees what it should"
echo "$check: $(wc -w < "$work/screens.txt" | tr -d ' ') screens walked, no text covered"
