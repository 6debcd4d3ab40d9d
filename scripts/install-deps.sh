#!/bin/sh
# Installs the Debian packages lorvane builds, runs and tests with (Debian 12, as root).
set -e
PKGS="g++ cmake ninja-build pkg-config libsdl2-dev libsdl2-mixer-dev libmpv-dev libcairo2-dev
libpango1.0-dev libgdk-pixbuf-2.0-dev libpugixml-dev libgtest-dev libbenchmark-dev libsystemd-dev dpkg-dev libcec-dev
libtag1-dev libavformat-dev libavcodec-dev libswscale-dev libsqlite3-dev
fonts-dejavu-core fonts-liberation2 libgl1-mesa-dri libegl-mesa0 webp-pixbuf-loader"
if [ "$1" = "--test" ]; then
  PKGS="$PKGS ffmpeg xvfb xauth x11-utils dbus clang libclang-rt-14-dev locales"
fi
missing=""
for p in $PKGS; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  apt-get update
  DEBIAN_FRONTEND=noninteractive apt-get install -y $missing
fi
# Dates and times are tested in a language other than the C locale's.
if [ "$1" = "--test" ] && ! locale -a 2>/dev/null | grep -qix 'de_DE.utf8'; then
  localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi
