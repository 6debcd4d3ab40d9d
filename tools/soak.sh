#!/bin/sh
# Soak: drives the default theme headless with random keys for a given time and reports the
# resident memory at the start, after the warm-up and at the end.
#   sh tools/soak.sh [SECONDS] [LORVANE]
# SECONDS defaults to 600, the warm-up is a tenth of it (at least 10 s), LORVANE defaults to
# build/stage/bin/lorvane. The theme is a copy of themes/tv whose "quit" and "restart" actions
# do nothing, so random keys cannot end the run early. Fails when lorvane dies, or when the memory at the end is
# 5 % or more above the memory after the warm-up.
set -e
cd "$(dirname "$0")/.."
seconds=${1:-600}
lorvane=$(realpath "${2:-build/stage/bin/lorvane}")
warmup=$((seconds / 10))
[ "$warmup" -ge 10 ] || warmup=10
base=$(mktemp -d /tmp/lorvane-soak-XXXXXX)
trap 'rm -rf "$base"' EXIT
mkdir -p "$base/themes"
cp -r conf "$base/conf"
cp -r themes/tv "$base/themes/tv"
sed -i -e 's/function="quit"/function="none"/g' -e 's/function="restart"/function="none"/g' "$base/themes/tv/"*InterfaceDescriptor.xml

# A key about every 100 ms: arrows, Enter, Escape, Page Up/Down, Home and Tab.
awk -v n=$((seconds * 10 + 100)) 'BEGIN {
  srand(); split("37 38 39 40 13 13 32 27 8 33 34 36 9", keys, " ");
  for (i = 0; i < n; i++) { print "key " keys[int(rand() * 13) + 1]; print "wait 100" }
  print "quit" }' >"$base/script.txt"

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
awk -v g="$growth" 'BEGIN { exit !(g < 5) }' || { echo "memory grew by 5 % or more"; exit 1; }
