#!/bin/sh
# Photographs every screen of the default theme at 1920 x 1080 with a scripted headless run, over
# a library made on the spot by tools/make_demo_library.sh (none of it is kept).
# usage: docs/screenshots/make.sh [STAGE]   (STAGE: a staged build, build/stage by default)
set -e
here=$(cd "$(dirname "$0")" && pwd)
stage=$(cd "${1:-$here/../../build/stage}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
sh "$here/../../tools/make_demo_library.sh" "$work/library"

# A base folder of its own: the run writes its preferences back on close.
base() { sh "$here/../../tools/make_demo_base.sh" "$stage" "$work/library" "$work" "$@"; }

# Every screen, by the walk the layout check takes too (walk.txt says where it goes).
base
sed "s|@OUT@|$here|g" "$here/walk.txt" > "$work/walk.txt"
"$stage/bin/lorvane" --base "$work" --headless --script "$work/walk.txt" >/dev/null

# The diagnostic console, which a debug run shows over the interface.
base -e 's|<ShowDiagnostics>[^<]*<|<ShowDiagnostics>yes<|'
printf 'wait 300\nscreenshot %s\nquit\n' "$here/console.png" > "$work/console.txt"
"$stage/bin/lorvane" DEBUG --base "$work" --headless --script "$work/console.txt"
ls -l "$here"/*.png
