#!/bin/sh
# Soak: drives the default theme headless for a given time and reports the resident memory at the
# start, after the warm-up and at the end.
#   sh tools/soak.sh [SECONDS] [LORVANE] [keys|mixed]
# SECONDS defaults to 600, the warm-up is a tenth of it (at least 10 s), LORVANE defaults to
# build/stage/bin/lorvane. "keys" (the default) presses random keys about every 100 ms. "mixed"
# makes the demo library (tools/make_demo_library.sh) and goes round the household's evening
# over it: browsing the music and opening albums, songs played with the visualisation, films
# started and stopped, a slideshow of the photographs, with random keys in between. The theme is
# a copy of themes/tv whose "quit" and "restart" actions do nothing, so no key can end the run
# early. Fails when lorvane dies, when the memory at the end is 5 % or more above the memory after
# the warm-up, or (mixed) when the log holds an ERROR line.
set -e
cd "$(dirname "$0")/.."
seconds=${1:-600}
lorvane=$(realpath "${2:-build/stage/bin/lorvane}")
mode=${3:-keys}
case "$mode" in keys|mixed) ;; *) echo "soak: unknown mode $mode (keys or mixed)" >&2; exit 2 ;; esac
warmup=$((seconds / 10))
[ "$warmup" -ge 10 ] || warmup=10
base=$(mktemp -d /tmp/lorvane-soak-XXXXXX)
trap 'rm -rf "$base"' EXIT
mkdir -p "$base/themes"
cp -r conf "$base/conf"
cp -r themes/tv "$base/themes/tv"
sed -i -e 's/function="quit"/function="none"/g' -e 's/function="restart"/function="none"/g' "$base/themes/tv/"*InterfaceDescriptor.xml

if [ "$mode" = keys ]; then
  # A key about every 100 ms: arrows, Enter, Escape, Page Up/Down, Home and Tab.
  awk -v n=$((seconds * 10 + 100)) 'BEGIN {
    srand(); split("37 38 39 40 13 13 32 27 8 33 34 36 9", keys, " ");
    for (i = 0; i < n; i++) { print "key " keys[int(rand() * 13) + 1]; print "wait 100" }
    print "quit" }' >"$base/script.txt"
else
  sh tools/make_demo_library.sh "$base/library" >/dev/null
  cat >"$base/conf/Media.xml" <<EOF
<MediaManager><MediaLocations>
  <Music><Directory>$base/library/Music</Directory></Music>
  <Video><Directory>$base/library/Videos</Directory></Video>
  <Pictures><Directory>$base/library/Pictures</Directory></Pictures>
</MediaLocations></MediaManager>
EOF
  # No sound card on a soak machine.
  printf 'ao=null\nhwdec=no\n' >"$base/conf/mpv.conf"
  # Rounds of about a minute, each part from the home screen (Home, then up to its first entry):
  # music browsed into a folder and a song played with the visualisation, a film started and
  # stopped, pictures browsed and a slideshow, then random keys; until the time is up.
  awk -v rounds=$((seconds / 50 + 2)) 'BEGIN {
    srand();
    split("37 38 39 40 13 27 33 34", keys, " ");
    home = "key 36\nwait 300\nkey 38\nkey 38\nkey 38\nkey 38\nwait 300\n";
    for (r = 0; r < rounds; r++) {
      printf "%s", home;
      print "key 13\nwait 1500";
      for (i = int(rand() * 4); i > 0; i--) print "key 39\nwait 150";
      print "key 13\nwait 1500\nkey 39\nwait 150\nkey 13\nwait 8000\nkey 27\nwait 1000\nkey 27\nwait 500";
      printf "%s", home;
      print "key 40\nwait 200\nkey 13\nwait 1500";
      for (i = int(rand() * 3); i > 0; i--) print "key 39\nwait 150";
      print "key 13\nwait 1500\nkey 13\nwait 6000\nkey 27\nwait 1000\nkey 27\nwait 500";
      printf "%s", home;
      print "key 40\nkey 40\nwait 200\nkey 13\nwait 2000";
      for (i = int(rand() * 4); i > 0; i--) print "key 39\nwait 150";
      print "key 13\nwait 2000\nkey 39\nwait 300\nkey 13\nwait 12000\nkey 27\nwait 1000";
      for (i = 0; i < 60; i++) { print "key " keys[int(rand() * 8) + 1]; print "wait 100" }
    }
    print "quit" }' >"$base/script.txt"
fi

export SDL_VIDEODRIVER=offscreen SDL_RENDER_DRIVER=software SDL_FRAMEBUFFER_ACCELERATION=0 SDL_AUDIODRIVER=dummy
"$lorvane" --base "$base" --headless --script "$base/script.txt" >"$base/out.txt" 2>&1 &
pid=$!
rss() { sed -n 's/^VmRSS:[[:space:]]*\([0-9]*\) kB/\1/p' "/proc/$pid/status" 2>/dev/null; }
alive() { kill -0 "$pid" 2>/dev/null; }

sleep 2
start=$(rss)
sleep $((warmup - 2))
warm=$(rss)
sleep $((seconds - warmup))
end=$(rss)
alive_at_end=yes
alive || alive_at_end=no
kill "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null && status=0 || status=$?

echo "soak: $seconds s, warm-up $warmup s"
echo "resident memory: start ${start:-?} kB, after warm-up ${warm:-?} kB, end ${end:-?} kB"
if [ "$alive_at_end" = no ] || [ -z "$end" ]; then
  echo "lorvane ended before the soak did (exit status $status):"
  tail -n 20 "$base/out.txt"
  exit 1
fi
growth=$(awk -v w="$warm" -v e="$end" 'BEGIN { printf "%.2f", (e - w) * 100 / w }')
echo "growth after warm-up: $growth %"
if [ "$mode" = mixed ]; then
  errors=$(cat "$base"/logs/* 2>/dev/null | grep -c ' ERROR: ' || true)
  echo "ERROR lines in the log: $errors"
  cat "$base"/logs/* 2>/dev/null | grep ' ERROR: ' | sed 's/^[0-9:]* //' | sort | uniq -c | sort -rn | head -n 10
fi
awk -v g="$growth" 'BEGIN { exit !(g < 5) }' || { echo "memory grew by 5 % or more"; exit 1; }
[ "$mode" = keys ] || [ "${errors:-0}" -eq 0 ] || { echo "the log holds ERROR lines"; exit 1; }
