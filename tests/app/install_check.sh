#!/bin/sh
# The installed tree: "cmake --install" into a temporary prefix, then the installed program run
# with a temporary home. It must know itself as installed, make its configuration from the
# templates under the XDG folders, log there, leave a user's own files alone, and, as a resident
# host with no lircd, no session bus and no CEC adapter, say so in one line each and start at once.
set -eu
cmake="$1"
build="$2"
check=install_check
. "$(dirname "$0")/check_common.sh"
errors="$work/err"
prefix="$work/prefix"
"$cmake" --install "$build" --prefix "$prefix" >/dev/null || fail "cmake --install failed"
lorvane="$prefix/bin/lorvane"
[ -x "$lorvane" ] || fail "no $lorvane"
[ -f "$prefix/share/lorvane/themes/tv/ThemeDescriptor.xml" ] || fail "the default theme is not installed"
for f in Preferences.xml KeyBindings.xml Media.xml LircButtons.xml CecKeys.xml GamepadButtons.xml; do
  [ -f "$prefix/share/lorvane/conf/$f" ] || fail "the template $f is not installed"
done
[ -f "$prefix/share/applications/lorvane.desktop" ] || fail "no desktop entry"
grep -q "^ExecStart=$prefix/bin/lorvane\$" "$prefix/lib/systemd/user/lorvane.service" ||
  fail "the user unit does not name the installed program"

export SDL_VIDEODRIVER=offscreen SDL_RENDER_DRIVER=software SDL_AUDIODRIVER=dummy
unset XDG_CONFIG_HOME XDG_STATE_HOME DBUS_SESSION_BUS_ADDRESS
export HOME="$work/home"
export LIRC_SOCKET_PATH="$work/no-lircd"
mkdir "$HOME"
printf 'state\nquit\n' >"$work/walk.txt"
out=$("$lorvane" --headless --script "$work/walk.txt" 2>"$work/err") || fail "the installed program failed"
case "$out" in screen=home*) ;; *) fail "the installed program did not reach the home screen: $out" ;; esac
config="$HOME/.config/lorvane"
for f in Preferences.xml KeyBindings.xml Media.xml LircButtons.xml GamepadButtons.xml; do
  [ -f "$config/$f" ] || fail "$f was not made from its template in $config"
done
ls "$HOME/.local/state/lorvane/logs/"lorvane*.log >/dev/null 2>&1 || fail "no log in ~/.local/state/lorvane/logs"
grep -q "<ThemesURL>$prefix/share/lorvane/themes/</ThemesURL>" "$config/Preferences.xml" ||
  fail "the preferences written back do not name the installed themes"
[ ! -e "$prefix/conf" ] && [ ! -e "$prefix/logs" ] || fail "the installed copy wrote into its prefix"

# A second start keeps what the user changed and makes only what is missing.
echo "<!-- mine -->" >>"$config/Media.xml"
rm "$config/LircButtons.xml"
"$lorvane" --headless --script "$work/walk.txt" >/dev/null 2>"$work/err" || fail "the second run failed"
grep -q "mine" "$config/Media.xml" || fail "the user's Media.xml was overwritten"
[ -f "$config/LircButtons.xml" ] || fail "a missing file was not made again"

# The XDG variables, when set, choose the folders.
export XDG_CONFIG_HOME="$work/cfg" XDG_STATE_HOME="$work/state"
"$lorvane" --headless --script "$work/walk.txt" >/dev/null 2>"$work/err" || fail "the XDG run failed"
[ -f "$work/cfg/lorvane/Preferences.xml" ] || fail "XDG_CONFIG_HOME was not used"
ls "$work/state/lorvane/logs/"lorvane*.log >/dev/null 2>&1 || fail "XDG_STATE_HOME was not used"

# A resident host without lircd, session bus or CEC adapter.
export XDG_RUNTIME_DIR="$work/run"
mkdir -m 700 "$XDG_RUNTIME_DIR"
start_host "$lorvane"
stop_host "$lorvane"
log=$(cat "$work/state/lorvane/logs/"lorvane*.log)
[ "$(echo "$log" | grep -c "INFO: No lircd at $work/no-lircd")" -eq 1 ] || fail "no lircd was not said once: $log"
[ "$(echo "$log" | grep -c "INFO: No session bus")" -eq 1 ] || fail "no session bus was not said once: $log"
[ "$(echo "$log" | grep -c -e "INFO: No HDMI-CEC adapter" -e "INFO: Built without libcec")" -eq 1 ] ||
  fail "no CEC adapter was not said once: $log"
echo "install_check: the installed tree runs from $prefix with its configuration and log under XDG folders"
