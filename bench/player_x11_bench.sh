#!/bin/sh
# A film played full screen in a real X window, where no graphics driver exists (Xvfb at
# 1920 x 1080): the processor time lorvane takes against `mpv --vo=x11` on the same server, for
# each of SDL's renderers lorvane may pick, and the same for the home screen left idle. Needs Xvfb, ffmpeg and mpv. Run it on a quiet machine:
#   sh bench/player_x11_bench.sh build/stage/bin/lorvane [SECONDS, default 20]
# Each run plays a 1080p30 H.264 film (made here once) and counts the process's user and system
# time over SECONDS from the fifth second of the film on. RENDERERS="default opengl" limits the
# renderers tried (software-shm: the software renderer with its window pixels sent without OpenGL).
set -eu
lorvane=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
seconds=${2:-20}
stage=$(cd "$(dirname "$lorvane")/.." && pwd)
source=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
server=""
cleanup() {
  [ -n "$server" ] && kill "$server" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
unset DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY
export SDL_AUDIODRIVER=dummy

mkdir -p "$work/library/Videos" "$work/library/Music" "$work/library/Pictures"
film=$work/library/Videos/Film.mp4
length=$((seconds + 15))
ffmpeg -v error -f lavfi -i "testsrc2=size=1920x1080:rate=30" -f lavfi -i "sine=frequency=440" \
  -t $length -c:v libx264 -preset veryfast -pix_fmt yuv420p -c:a aac "$film"
sh "$source/tools/make_demo_base.sh" "$stage" "$work/library" "$work/base" \
  -e 's|<FullScreen>[^<]*<|<FullScreen>yes<|'

exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 2>"$work/xvfb.err" &
server=$!
exec 3>&-
tries=0
until [ -s "$work/display" ]; do
  tries=$((tries + 1))
  [ $tries -lt 100 ] || { echo "Xvfb did not start: $(cat "$work/xvfb.err")" >&2; exit 1; }
  sleep 0.1
done
export DISPLAY=":$(cat "$work/display")"

ticks=$(getconf CLK_TCK)
# cpu PID: the user and system ticks the process has used so far.
cpu() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
# measure NAME PID: waits for the film to settle, then prints the share of one core over SECONDS.
measure() {
  sleep 5
  kill -0 "$2" 2>/dev/null || { echo "$1: ended before it was measured" >&2; return 1; }
  before=$(cpu "$2")
  sleep "$seconds"
  after=$(cpu "$2")
  awk -v name="$1" -v t=$((after - before)) -v hz="$ticks" -v s="$seconds" \
    'BEGIN { printf "%-34s %5.1f %% of a core\n", name, 100 * t / hz / s }'
}

mpv_share() {
  mpv --no-config --really-quiet --vo=x11 --fs --ao=null --hwdec=no "$film" &
  pid=$!
  measure "mpv --vo=x11" $pid
  kill $pid 2>/dev/null; wait $pid 2>/dev/null || true
}

# Home, the Videos section, the film.
printf 'wait 1500\nkey 40\nkey 13\nwait 2000\nkey 13\nwait %d\nquit\n' $((length * 1000)) >"$work/play.txt"
printf 'wait %d\nquit\n' $((length * 1000)) >"$work/idle.txt"
# lorvane_share RENDERER [idle]: the film, or the home screen doing nothing.
lorvane_share() {
  unset SDL_RENDER_DRIVER SDL_FRAMEBUFFER_ACCELERATION
  case $1 in
    default) ;;
    software-shm) export SDL_RENDER_DRIVER=software SDL_FRAMEBUFFER_ACCELERATION=0 ;;
    *) export SDL_RENDER_DRIVER=$1 ;;
  esac
  "$lorvane" --base "$work/base" --script "$work/${2:-play}.txt" >/dev/null 2>&1 &
  pid=$!
  sleep 4  # the walk to the film
  measure "lorvane, SDL renderer $1${2:+, $2}" $pid
  kill $pid 2>/dev/null; wait $pid 2>/dev/null || true
}

echo "1080p30 H.264 full screen under Xvfb 1920 x 1080, ${seconds} s each:"
command -v mpv >/dev/null && mpv_share || echo "mpv is missing: no comparison"
# What lorvane picks by itself, then each renderer forced.
for renderer in ${RENDERERS:-default opengl software software-shm}; do lorvane_share $renderer; done
echo "The home screen, idle:"
for renderer in ${RENDERERS:-default opengl software-shm}; do lorvane_share $renderer idle; done
