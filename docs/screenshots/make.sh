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

# Keys: 40 down, 39 right, 13 okay, 27 back. Each section is opened from the home menu and left
# again; a menu keeps its focus, so one step down reaches the next entry.
cat > "$work/walk.txt" <<SCRIPT
wait 900
screenshot $here/home.png
key 13
wait 900
screenshot $here/music.png
key 27
key 40
key 13
wait 900
screenshot $here/videos.png
key 27
key 40
key 13
wait 900
screenshot $here/pictures.png
key 27
key 40
key 13
wait 900
screenshot $here/settings.png
key 13
wait 900
screenshot $here/settings-display.png
key 40
key 39
wait 900
screenshot $here/restart.png
key 27
key 27
key 40
key 13
wait 900
screenshot $here/settings-audio.png
key 27
key 40
key 13
wait 900
screenshot $here/settings-general.png
key 27
key 40
key 13
wait 900
screenshot $here/settings-slideshow.png
key 27
key 27
key 40
key 13
wait 900
screenshot $here/exit.png
key 27
wait 3000
screenshot $here/screensaver.png
quit
SCRIPT
"$stage/bin/lorvane" --base "$work" --headless --script "$work/walk.txt"

# The diagnostic console, which a debug run shows over the interface.
rm -rf "$work/conf"
cp -r "$stage/conf" "$work/conf"
sed -i -e 's|<ScreenWidth>[^<]*<|<ScreenWidth>1920<|' -e 's|<ScreenHeight>[^<]*<|<ScreenHeight>1080<|' \
       -e 's|<ShowDiagnostics>[^<]*<|<ShowDiagnostics>yes<|' "$work/conf/Preferences.xml"
printf 'wait 300\nscreenshot %s\nquit\n' "$here/console.png" > "$work/console.txt"
"$stage/bin/lorvane" DEBUG --base "$work" --headless --script "$work/console.txt"
ls -l "$here"/*.png
