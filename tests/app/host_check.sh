#!/bin/sh
# A resident headless host on the default theme, driven only by "lorvane --send" from other
# processes: Escape (sent with bits set above the key code), Left and Enter answer the theme's
# exit question with "yes", whose "quit" closes the interface. The effect read back: the host
# wrote its preferences on closing and is still there; "exit" then ends it with status 0.
set -eu
lorvane="$1"
stage=$(dirname "$(dirname "$lorvane")")
check=host_check
. "$(dirname "$0")/check_common.sh"
errors="$work/host.err"
export XDG_RUNTIME_DIR="$work/run"
# No tray icon of the test host turns up on the desktop of whoever runs the check.
unset DBUS_SESSION_BUS_ADDRESS
mkdir -m 700 "$XDG_RUNTIME_DIR"
cp -r "$stage/conf" "$stage/themes" "$work/"
export SDL_VIDEODRIVER=offscreen SDL_RENDER_DRIVER=software SDL_AUDIODRIVER=dummy

start_host "$lorvane" --base "$work"
rm "$work/conf/Preferences.xml"

"$lorvane" --send key $((0x50000 + 27)) || fail "key 27 was not delivered"
sleep 0.2
"$lorvane" --send key 37 || fail "key 37 was not delivered"
sleep 0.2
"$lorvane" --send key 13 || fail "key 13 was not delivered"

tries=0
until [ -f "$work/conf/Preferences.xml" ]; do
  tries=$((tries + 1))
  [ $tries -lt 300 ] || fail "the keys did not reach the theme's quit"
  sleep 0.1
done
kill -0 "$host" 2>/dev/null || fail "quitting the interface ended the host"

stop_host "$lorvane"
if "$lorvane" --send launch 2>/dev/null; then fail "a host still answers after exit"; fi
echo "host_check: keys sent from other processes closed the interface; the host ended with status 0"
