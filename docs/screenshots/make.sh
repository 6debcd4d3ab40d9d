#!/bin/sh
# Photographs every screen of the default theme at 1920 x 1080 with a scripted headless run.
# usage: docs/screenshots/make.sh [STAGE]   (STAGE: a staged build, build/stage by default)
set -e
here=$(cd "$(dirname "$0")" && pwd)
stage=$(cd "${1:-$here/../../build/stage}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A base folder of its own: the run writes its preferences back on close.
cp -r "$stage/conf" "$work/conf"
ln -s "$stage/themes" "$work/themes"
sed -i -e 's|<ScreenWidth>[^<]*<|<ScreenWidth>1920<|' -e 's|<ScreenHeight>[^<]*<|<ScreenHeight>1080<|' \
       -e 's|<ScreenSaverDelay>[^<]*<|<ScreenSaverDelay>2<|' "$work/conf/Preferences.xml"

# Keys: 40 down, 13 okay, 27 back. Each section is opened from the home menu and left again; the
# home screen keeps its focus, so one step down reaches the next section.
cat > "$work/walk.txt" <<SCRIPT
wait 300
screenshot $here/home.png
key 13
wait 300
screenshot $here/music.png
key 27
key 40
key 13
wait 300
screenshot $here/videos.png
key 27
key 40
key 13
wait 300
screenshot $here/pictures.png
key 27
key 40
key 13
wait 300
screenshot $here/settings.png
key 27
key 40
key 13
wait 300
screenshot $here/exit.png
key 27
wait 3000
screenshot $here/screensaver.png
quit
SCRIPT
"$stage/bin/lorvane" --base "$work" --headless --script "$work/walk.txt"
ls -l "$here"/*.png
