#!/bin/sh
# Makes a media library that looks like a person's, for trying lorvane, its screenshots and its
# layout check: DIR/Music, DIR/Videos and DIR/Pictures, every file drawn or played by ffmpeg here.
#   sh tools/make_demo_library.sh DIR
# Music: albums in folders (tagged MP3, FLAC, OGG, OPUS, each with a cover.jpg; one track carries
# its cover inside) and loose tracks. Videos: a 1080p H.264 film with sound, a 16:9 PAL film stored
# anamorphic (720 x 576, sample aspect 64:45), a portrait phone clip with rotation metadata, a film
# with its .srt beside it, an MPEG-2 clip, a series folder whose last episode is a broken download. Pictures: landscape and portrait JPEGs,
# one turned by EXIF orientation 6, a 6000 x 4000 JPEG, PNG and WebP wallpapers, nested folders.
# Names use spaces, accents, Japanese and Greek; one folder is empty. It takes some seconds and a
# few megabytes.
set -eu
[ $# -eq 1 ] || { echo "usage: $0 DIR" >&2; exit 2; }
command -v ffmpeg >/dev/null || { echo "$0: ffmpeg is needed (apt-get install ffmpeg)" >&2; exit 1; }
root=$1
mkdir -p "$root"
root=$(cd "$root" && pwd)
music="$root/Music" videos="$root/Videos" pictures="$root/Pictures"
mkdir -p "$music" "$videos" "$pictures"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

font=$(fc-match -f '%{file}' 'DejaVu Sans:bold' 2>/dev/null || true)
[ -f "$font" ] || font=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
cjk=$(fc-match -f '%{file}' 'sans:lang=ja' 2>/dev/null || true)
[ -f "$cjk" ] || cjk=$font
textfont=$font

ff() { ffmpeg -nostdin -hide_banner -loglevel error -y "$@"; }

# label TEXT [SIZE]: a drawtext filter in $textfont for TEXT, centred low in the frame. The text goes
# through a file so that quotes, colons and accents need no escaping.
n=0
label() {
  n=$((n + 1))
  printf '%s' "$1" > "$tmp/label$n.txt"
  printf "drawtext=fontfile=%s:textfile=%s:fontsize=%s:fontcolor=white:borderw=3:bordercolor=black@0.6:x=(w-text_w)/2:y=h*0.78-text_h/2" \
    "$textfont" "$tmp/label$n.txt" "${2:-h/12}"
}

# picture OUT W H SOURCE [TEXT] [FILTERS]: one frame of an ffmpeg source (a lavfi graph) at W x H,
# with TEXT written on it and FILTERS applied last; the format follows OUT's extension.
picture() {
  out=$1 w=$2 h=$3 src=$4 text=${5:-} extra=${6:-}
  chain="scale=$w:$h:flags=bicubic"
  [ -n "$text" ] && chain="$chain,$(label "$text")"
  [ -n "$extra" ] && chain="$chain,$extra"
  case "$out" in
    *.jpg) codec="-q:v 4" ;;
    *.webp) codec="-c:v libwebp -quality 70" ;;
    *) codec="" ;;
  esac
  # shellcheck disable=SC2086
  ff -f lavfi -i "$src" -frames:v 1 -vf "$chain" $codec "$out"
}

# Sources that look like something: colour washes, fractals, test charts, cellular patterns.
wash() { echo "gradients=s=480x320:c0=$1:c1=$2:c2=${3:-black}:n=3:x0=0:y0=0:x1=480:y1=320:seed=${4:-1}"; }
fractal() { echo "mandelbrot=s=480x320:maxiter=160:start_x=$1:start_y=$2:start_scale=$3:outer=normalized_iteration_count"; }
chart() { echo "testsrc2=s=480x320"; }
life() { echo "cellauto=s=480x320:rule=$1:random_fill_ratio=0.5:seed=$2,negate,format=yuv420p"; }

# tone OUT SECONDS FREQ FORMAT-OPTIONS...: a short chord-like sound (two sines and a beat).
tone() {
  out=$1 secs=$2 f=$3
  shift 3
  ff -f lavfi -i "aevalsrc=0.25*sin(2*PI*$f*t)*(0.6+0.4*sin(2*PI*2*t))+0.15*sin(2*PI*$f*1.5*t):s=22050:d=$secs" \
    -ac 1 "$@" "$out"
}

# album DIR ARTIST ALBUM YEAR GENRE EXT COVER-SOURCE COVER-FONT TITLE...
album() {
  dir="$music/$1" artist=$2 name=$3 year=$4 genre=$5 ext=$6 cover=$7 coverfont=$8
  shift 8
  mkdir -p "$dir"
  textfont=${coverfont:-$font}
  picture "$dir/cover.jpg" 500 500 "$cover" "$name"
  textfont=$font
  track=0
  for title in "$@"; do
    track=$((track + 1))
    case $ext in
      mp3) opts="-c:a libmp3lame -b:a 48k -id3v2_version 3" ;;
      flac) opts="-c:a flac" ;;
      ogg) opts="-c:a libvorbis -q:a 0" ;;
      opus) opts="-c:a libopus -b:a 24k" ;;
    esac
    # shellcheck disable=SC2086
    tone "$dir/$(printf '%02d' $track) $title.$ext" 4 $((220 + 55 * track)) $opts \
      -metadata title="$title" -metadata artist="$artist" -metadata album_artist="$artist" \
      -metadata album="$name" -metadata track="$track/$#" -metadata date="$year" \
      -metadata genre="$genre"
  done
}

album "The Quiet Hours - Harbour Lights" "The Quiet Hours" "Harbour Lights" 2019 "Indie" mp3 \
  "$(wash 0x102a5c 0xf0a040 0x301040 3)" "" "Lanterns" "Low Water" "Gulls at Six" "Harbour Lights"
album "Café Müller Trio - Soirées à Montréal" "Café Müller Trio" "Soirées à Montréal" 2016 "Jazz" \
  flac "$(fractal -0.743643 0.131825 0.02)" "" "Rue Saint-Denis" "Crème brûlée" "Déjà vu"
album "浅野ゆき - 夜の散歩" "浅野ゆき" "夜の散歩" 2021 "J-Pop" ogg "$(wash 0x200838 0xe04080 0x081830 7)" \
  "$cjk" "月の光" "東京の雨" "さよなら"
album "Νίκος Παππάς - Καλοκαίρι" "Νίκος Παππάς" "Καλοκαίρι" 2018 "Έντεχνο" opus \
  "$(wash 0x0060c0 0xf8e8a0 0xffffff 11)" "" "Θάλασσα" "Μελτέμι" "Νύχτα στην Κρήτη"
album "Nordlys Ensemble - Vinterreise" "Nordlys Ensemble" "Vinterreise" 2012 "Classical" flac \
  "$(life 18 4)" "" "I. Snø" "II. Fjord" "III. Mørketid"
album "Low Tide Radio - Static Bloom" "Low Tide Radio" "Static Bloom" 2023 "Electronic" mp3 \
  "$(chart)" "" "Carrier Wave" "Static Bloom" "Night Shift" "Off Air"
album "Various Artists - Summer Mix 2022" "Various Artists" "Summer Mix 2022" 2022 "Pop" ogg \
  "$(fractal -0.7453 0.1127 0.006)" "" "Sunburn" "Pool Party" "Last Train Home"
album "Marta Ruiz - Canciones de Otoño" "Marta Ruiz" "Canciones de Otoño" 2020 "Folk" mp3 \
  "$(wash 0x803010 0xf0c060 0x402008 5)" "" "Hojas" "La Niña y el Mar" "Otoño"

# One track whose cover travels inside the file, as a shop's download has it.
dir="$music/The Quiet Hours - Harbour Lights"
ff -i "$dir/01 Lanterns.mp3" -i "$dir/cover.jpg" -map 0:a -map 1:v -c copy -id3v2_version 3 \
  -metadata:s:v title="Album cover" -metadata:s:v comment="Cover (front)" -disposition:v attached_pic \
  "$tmp/covered.mp3"
mv "$tmp/covered.mp3" "$dir/01 Lanterns.mp3"

# Loose tracks at the top, as downloads and recordings collect there.
tone "$music/Demo take 3.mp3" 5 330 -c:a libmp3lame -b:a 48k -metadata title="Demo take 3" -metadata artist="Sam"
tone "$music/Voice memo.ogg" 3 180 -c:a libvorbis -q:a 0 -metadata title="Voice memo"
tone "$music/Señorita Lluvia.flac" 4 392 -c:a flac -metadata title="Señorita Lluvia" -metadata artist="Los Pájaros" -metadata date=2015
tone "$music/Ringtone.opus" 2 660 -c:a libopus -b:a 24k -metadata title="Ringtone"
tone "$music/Untitled (live).wav" 2 247 -c:a pcm_s16le
mkdir -p "$music/Podcasts"

# Films. Pictures move (gradients drift, a chart scrolls) and carry their title.
# film OUT W H SECONDS SOURCE TITLE CODEC-OPTIONS...
film() {
  out=$1 w=$2 h=$3 secs=$4 src=$5 title=$6
  shift 6
  ff -f lavfi -i "$src" -f lavfi -i "sine=frequency=330:sample_rate=44100:duration=$secs" -t "$secs" \
    -vf "scale=$w:$h,$(label "$title" h/10),format=yuv420p" "$@" "$out"
}
h264="-c:v libx264 -preset ultrafast -crf 32 -c:a aac -b:a 48k"
# shellcheck disable=SC2086
film "$videos/Big Sky Country (2021).mp4" 1920 1080 5 \
  "gradients=s=480x270:r=25:c0=0x2060c0:c1=0xf0b070:c2=0x203010:speed=0.03:seed=2" "Big Sky Country" $h264
# A PAL DVD's widescreen film: 720 x 576 pixels shown at 16:9.
# shellcheck disable=SC2086
film "$tmp/pal.mkv" 720 576 4 "testsrc2=s=720x576:r=25" "Été à Lisbonne · PAL 16:9" $h264
ff -i "$tmp/pal.mkv" -c copy -aspect 16:9 "$videos/Été à Lisbonne.mkv"
ff -i "$videos/Été à Lisbonne.mkv" -c:v libx264 -preset ultrafast -crf 32 -vf setsar=64/45 -c:a copy \
  "$tmp/pal-sar.mkv"
mv "$tmp/pal-sar.mkv" "$videos/Été à Lisbonne.mkv"
cat > "$videos/Été à Lisbonne.srt" <<'SRT'
1
00:00:00,500 --> 00:00:02,000
Bom dia, Lisboa.

2
00:00:02,200 --> 00:00:03,800
Le tram part à huit heures.
SRT
# A phone held upright: stored 1280 x 720, turned a quarter by its metadata.
# shellcheck disable=SC2086
film "$tmp/phone.mp4" 1280 720 3 "$(fractal -0.75 0.1 0.1 | sed 's/480x320/320x180:rate=25/')" \
  "VID 20230801" $h264
ff -i "$tmp/phone.mp4" -c copy -metadata:s:v:0 rotate=90 "$videos/VID_20230801_101500.mp4"
# An old camcorder tape, MPEG-2 in a program stream.
film "$videos/Ταξίδι στην Κρήτη 1998.mpg" 720 576 3 "$(life 30 9 | sed 's/480x320/360x288:rate=25/')" \
  "Κρήτη 1998" -c:v mpeg2video -b:v 1500k -maxrate 2500k -bufsize 1835k -aspect 4:3 -c:a mp2 -b:a 128k -f mpeg -loglevel fatal
# Small ones, enough to fill more than one page of the browser.
i=0
for name in "夏祭り" "Birthday cake" "Snow day" "Kite festival" "Garden timelapse" "Bike ride" \
  "Concert encore"; do
  i=$((i + 1))
  colour=$(echo "c03020 2050c0 30a050 a040c0 e08020 208080 c02080" | cut -d' ' -f$i)
  # shellcheck disable=SC2086
  film "$videos/$name.mp4" 640 360 3 \
    "gradients=s=320x180:r=25:c0=0x$colour:c1=0xf0f0a0:speed=0.05:seed=$i" "$name" $h264
done
series="$videos/Harbour Tales Season 1"
mkdir -p "$series" "$videos/Recordings"
for ep in 1 2 3; do
  # shellcheck disable=SC2086
  film "$series/Harbour Tales S01E0$ep.mkv" 640 360 3 "testsrc2=s=640x360:r=25" "Episode $ep" $h264
done
# A download that never finished: no player can open it.
head -c 65536 /dev/urandom > "$series/Harbour Tales S01E04.mkv"

# Photographs. A camera's names, a person's folder names.
photo_dir="$pictures/Holidays 2023/Κρήτη"
mkdir -p "$photo_dir" "$pictures/Holidays 2023/Lisboa" "$pictures/Family/Été 2022" "$pictures/Wallpapers" \
  "$pictures/写真" "$pictures/To sort"
i=0
for view in "Harbour" "Old town" "Beach" "Sunset" "Olive grove" "Market" "Lighthouse" "Mountains" \
  "Chapel" "Boats" "Taverna" "Cliffs" "Night sky" "Goats"; do
  i=$((i + 1))
  case $((i % 3)) in
    0) src=$(wash "0x$(echo "d04030 3060d0 40b060 b050d0 f09030" | cut -d' ' -f$((i / 3)))" 0xf0d090 0x102040 "$i") ;;
    1) src=$(fractal -0.74$((i * 7)) 0.1$((i * 3)) 0.0$((i + 1))) ;;
    2) src="testsrc2=s=480x320,hue=h=$((i * 25)),gblur=sigma=6" ;;
  esac
  picture "$photo_dir/IMG_$((4100 + i)).jpg" 1200 800 "$src" "$view"
done
picture "$pictures/Holidays 2023/Lisboa/Tram 28.jpg" 1200 800 "$(wash 0xe0c020 0x4080c0 0x202020 4)" "Tram 28"
picture "$pictures/Holidays 2023/Lisboa/Azulejos.jpg" 800 1200 "$(chart)" "Azulejos"
# Portrait photographs, and one turned by its EXIF orientation only: stored on its side (a
# quarter turn to the left), it stands upright when a viewer applies orientation 6.
picture "$pictures/Family/Grandma.jpg" 800 1200 "$(wash 0x604030 0xf0d0b0 0x201008 8)" "Grandma"
picture "$pictures/Family/Été 2022/Château.jpg" 1200 800 "$(fractal -0.1011 0.9563 0.01)" "Château"
picture "$pictures/Family/Été 2022/Plage.jpg" 1200 800 "$(wash 0x2080e0 0xf0e0b0 0xffffff 9)" "Plage"
picture "$tmp/upright.jpg" 600 900 "$(wash 0x305020 0xd0f0a0 0x102008 12)" "Upright" "transpose=2"
# An APP1 segment right after the start marker: "Exif", a big-endian TIFF header and one IFD
# entry, Orientation (0x0112), SHORT, 1, value 6.
{
  printf '\377\330\377\341\000\042Exif\000\000MM\000\052\000\000\000\010'
  printf '\000\001\001\022\000\003\000\000\000\001\000\006\000\000\000\000\000\000'
  tail -c +3 "$tmp/upright.jpg"
} > "$pictures/Family/IMG_20230612_phone.jpg"
# A camera's full-size picture: 24 megapixels.
picture "$pictures/DSC_0001 full size.jpg" 6000 4000 "$(fractal -0.7436 0.1318 0.05)" "6000 × 4000"
picture "$pictures/Wallpapers/Aurora.png" 1920 1080 "$(wash 0x004030 0x40f0a0 0x100040 13)" "Aurora"
picture "$pictures/Wallpapers/Nebula.webp" 1920 1080 "$(fractal -0.75 0.0 2.5)" "Nebula"
picture "$pictures/Wallpapers/Dunes.webp" 1920 1080 "$(wash 0xc07030 0xf0d0a0 0x603010 14)" "Dunes"
textfont=$cjk
picture "$pictures/写真/桜.jpg" 1200 800 "$(wash 0xf0a0c0 0xffffff 0x406030 15)" "桜"
textfont=$font
picture "$pictures/写真/富士山.jpg" 1200 800 "$(wash 0x4070c0 0xffffff 0x203040 16)" "Fuji-san"
for shot in "Screenshot 2023-11-02" "Receipt" "Whiteboard" "Parking spot" "Cat" "Sunrise"; do
  i=$((i + 1))
  picture "$pictures/$shot.jpg" 1024 768 "$(fractal -0.7$((i * 3)) 0.$((i * 5)) 0.$((i % 4 + 1)))" "$shot"
done
picture "$pictures/Logo draft.png" 800 800 "$(chart)" "Logo draft"

# Dates as a camera and a person's copying leave them, oldest first, so that a browser sorting by
# date shows the same order on every machine: the holiday first, the folder still to sort last.
stamp() {
  when=$1
  shift
  for file in "$@"; do touch -d "$when" "$file"; done
}
i=0
for photo in "$photo_dir"/IMG_*.jpg; do
  i=$((i + 1))
  stamp "2023-08-$((10 + i)) 1$((i % 10)):2$((i % 6)):00" "$photo"
done
stamp "2023-08-26 11:00" "$pictures/Holidays 2023/Lisboa/"*.jpg
stamp "2023-06-12 09:14" "$pictures/Family/IMG_20230612_phone.jpg"
stamp "2022-07-20 16:40" "$pictures/Family/Été 2022/"*.jpg "$pictures/Family/Été 2022"
stamp "2021-12-24 19:00" "$pictures/Family/Grandma.jpg"
stamp "2023-04-05 12:00" "$pictures/写真/"*.jpg
stamp "2023-08-25 20:00" "$photo_dir"
stamp "2023-08-28 20:00" "$pictures/Holidays 2023/Lisboa"
stamp "2023-08-30 21:00" "$pictures/Holidays 2023"
stamp "2023-09-10 10:00" "$pictures/Family"
stamp "2023-09-15 10:00" "$pictures/写真"
stamp "2023-10-01 08:00" "$pictures/DSC_0001 full size.jpg"
stamp "2023-10-20 15:00" "$pictures/Wallpapers/"* "$pictures/Wallpapers"
stamp "2023-11-02 09:30" "$pictures/Screenshot 2023-11-02.jpg"
stamp "2023-11-20 13:10" "$pictures/Receipt.jpg"
stamp "2024-01-15 17:45" "$pictures/Whiteboard.jpg"
stamp "2024-02-03 11:00" "$pictures/Logo draft.png"
stamp "2024-03-03 08:05" "$pictures/Parking spot.jpg"
stamp "2024-05-05 18:30" "$pictures/Cat.jpg"
stamp "2024-06-21 05:12" "$pictures/Sunrise.jpg"
stamp "2024-08-01 12:00" "$pictures/To sort"
echo "made $root: $(find "$root" -type f | wc -l) files, $(du -sh "$root" | cut -f1)"
