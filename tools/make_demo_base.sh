#!/bin/sh
# Makes a base folder that runs a staged lorvane over a demo library at 1920 x 1080: the staged
# configuration with Media.xml pointing at the library, and the staged themes. The screenshots
# and the layout check run over the same base.
#   sh tools/make_demo_base.sh STAGE LIBRARY BASE [SED-ARGUMENTS...]
# SED-ARGUMENTS change Preferences.xml further. A configuration already in BASE is replaced.
set -eu
[ $# -ge 3 ] || { echo "usage: $0 STAGE LIBRARY BASE [SED-ARGUMENTS...]" >&2; exit 2; }
stage=$1 library=$2 base=$3
shift 3
mkdir -p "$base"
rm -rf "$base/conf"
cp -r "$stage/conf" "$base/conf"
[ -e "$base/themes" ] || ln -s "$stage/themes" "$base/themes"
cat > "$base/conf/Media.xml" <<XML
<?xml version="1.0" encoding="utf-8" ?>
<MediaManager><MediaLocations>
  <Music><Directory>$library/Music</Directory></Music>
  <Video><Directory>$library/Videos</Directory></Video>
  <Pictures><Directory>$library/Pictures</Directory></Pictures>
</MediaLocations></MediaManager>
XML
sed -i -e 's|<ScreenWidth>[^<]*<|<ScreenWidth>1920<|' -e 's|<ScreenHeight>[^<]*<|<ScreenHeight>1080<|' \
  -e 's|<ScreenSaverDelay>[^<]*<|<ScreenSaverDelay>10<|' -e 's|<SlideshowDelay>[^<]*<|<SlideshowDelay>2<|' \
  "$@" "$base/conf/Preferences.xml"
