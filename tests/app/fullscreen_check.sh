#!/bin/sh
# Full screen on an X server with no window manager (a PC that starts lorvane from xinit): the
# window must cover the display from its origin, at the display's own size, both when the display
# has the designed 1920 x 1080 and when it is smaller. Needs Xvfb and xwininfo; skipped (77)
# without them.
set -eu
lorvane="$1"
stage=$(cd "$(dirname "$lorvane")/.." && pwd)
check=fullscreen_check
errors=/dev/null
. "$(dirname "$0")/check_common.sh"
for tool in Xvfb xwininfo; do
  command -v $tool >/dev/null || { echo "$check: $tool is missing, skipped"; exit 77; }
done
unset DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY
export SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy SDL_RENDER_DRIVER=software
server=""
trap 'cleanup; [ -n "$server" ] && kill "$server" 2>/dev/null' EXIT

# look SIZE: one run on a fresh server of that size; `got` is the window's "X Y WIDTH HEIGHT".
look() {
  size=$1
  rm -rf "$work/base" && mkdir "$work/base"
  cp -r "$stage/conf" "$work/base/conf"
  ln -s "$stage/themes" "$work/base/themes"
  sed -i -e 's|<ScreenWidth>[^<]*<|<ScreenWidth>1920<|' -e 's|<ScreenHeight>[^<]*<|<ScreenHeight>1080<|' \
    -e 's|<FullScreen>[^<]*<|<FullScreen>yes<|' "$work/base/conf/Preferences.xml"
  # The run ends itself: the window is read while the script waits.
  printf 'wait 30000\nquit\n' > "$work/wait.txt"
  exec 3>"$work/display"
  Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp 2>"$work/xvfb.err" &
  server=$!
  exec 3>&-
  tries=0
  until [ -s "$work/display" ]; do
    tries=$((tries + 1))
    [ $tries -lt 100 ] || fail "Xvfb did not start: $(cat "$work/xvfb.err")"
    sleep 0.1
  done
  DISPLAY=":$(cat "$work/display")"
  export DISPLAY
  errors="$work/run.err"
  "$lorvane" --base "$work/base" --script "$work/wait.txt" 2>"$errors" &
  host=$!
  # The window is read until two readings a second apart agree: it may be shown before it is
  # made full screen.
  tries=0
  geometry=""
  previous="none"
  while [ "$geometry" != "$previous" ]; do
    previous=$geometry
    geometry=""
    [ -z "$previous" ] || sleep 1
    tries=$((tries + 1))
    [ $tries -lt 100 ] || fail "no lorvane window was mapped on a ${size} display"
    kill -0 "$host" 2>/dev/null || fail "lorvane ended early"
    sleep 0.2
    # The top-level windows the server shows; SDL names its window after the program.
    id=$(xwininfo -root -children 2>/dev/null | awk '/"lorvane"/ { print $1; exit }')
    [ -n "$id" ] || { previous="none"; continue; }
    # SDL may make its window again (for a renderer): one gone meanwhile is looked for anew.
    info=$(xwininfo -id "$id" 2>/dev/null) || { previous="none"; continue; }
    echo "$info" | grep -q "Map State: IsViewable" || { previous="none"; continue; }
    geometry=$(echo "$info" | awk -F: '/Absolute upper-left X/ { x = $2 } /Absolute upper-left Y/ { y = $2 }
      /^ *Width/ { w = $2 } /^ *Height/ { h = $2 } END { print x + 0, y + 0, w + 0, h + 0 }')
  done
  kill "$host" 2>/dev/null
  wait "$host" 2>/dev/null || true
  host=""
  kill "$server"
  wait "$server" 2>/dev/null || true
  server=""
  rm -f "$work/display"
  got=$geometry
}

look 1920x1080
[ "$got" = "0 0 1920 1080" ] || fail "at 1920x1080 the full-screen window is at X Y W H = $got"
look 1280x720
[ "$got" = "0 0 1280 720" ] || fail "at 1280x720 the full-screen window is at X Y W H = $got"
echo "$check: the full-screen window covers the display from its origin at 1920x1080 and 1280x720"
