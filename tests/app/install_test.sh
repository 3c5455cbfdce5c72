#!/usr/bin/env bash
# Installs the built program into a temporary prefix, checks that every file
# lands where the desktop looks for it, and runs the installed copy on a
# small clip the way a user would (settings in the user's own folder).
#   install_test.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix with space"
failures=0
check() { # check DESCRIPTION COMMAND...
  if "${@:2}"; then echo "PASS: $1"; else echo "FAIL: $1"; failures=$((failures + 1)); fi
}

cmake --install "$build" --prefix "$prefix" >"$work/install.log"

check "program in bin" test -x "$prefix/bin/vigilux"
check "sounds in share/vigilux/sound" \
  test -s "$prefix/share/vigilux/sound/save.wav" -a -s "$prefix/share/vigilux/sound/alarm.wav"
desktop="$prefix/share/applications/vigilux.desktop"
check "desktop entry" test -s "$desktop"
check "desktop entry names the program in Russian" grep -q '^Comment\[ru\]=.*веб-камеры' "$desktop"
check "desktop entry categories" grep -qx 'Categories=AudioVideo;Video;Security;' "$desktop"
check "desktop entry starts the installed name" grep -qx 'Exec=vigilux' "$desktop"
check "icon in the hicolor theme" test -s "$prefix/share/icons/hicolor/scalable/apps/vigilux.svg"
check "nothing but these files" test "$(cd "$prefix" && find . -type f | sort | tr '\n' ' ')" = \
  "./bin/vigilux ./share/applications/vigilux.desktop ./share/icons/hicolor/scalable/apps/vigilux.svg ./share/vigilux/sound/alarm.wav ./share/vigilux/sound/save.wav "

# A user of their own: settings go to their configuration folder.
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config"
mkdir -p "$HOME"
ffmpeg -y -hide_banner -loglevel error -f lavfi -i "color=c=gray:s=160x120:r=10:d=2" \
  -f lavfi -i "color=c=red:s=60x60:r=10:d=2" \
  -filter_complex "[0][1]overlay=x='10+max(0,t-1)*150':y=30" -c:v mpeg4 "$work/clip.mp4"

set +e
"$prefix/bin/vigilux" --replay "$work/clip.mp4" --out "$work/out" >"$work/first.out" 2>"$work/first.err"
first=$?
set -e
check "no settings yet: the user's folder is named" \
  grep -q "settings file not found: $XDG_CONFIG_HOME/Vigilux/options.ini" "$work/first.err"
check "no settings yet: refused with the argument error" test "$first" -eq 2

mkdir -p "$XDG_CONFIG_HOME/Vigilux"
printf '[MotionDetector]\r\nSaveAlarm=True\r\n[Sensor]\r\nTimer=100\r\nNoise=5\r\nPercent=5\r\n' \
  >"$XDG_CONFIG_HOME/Vigilux/options.ini"
"$prefix/bin/vigilux" --replay "$work/clip.mp4" --out "$work/out" >"$work/replay.out" 2>"$work/replay.err" ||
  { echo "FAIL: the installed program's replay"; cat "$work/replay.err"; exit 1; }
summary=$(tail -n 1 "$work/replay.out")
echo "replay: $summary"
check "replay watched the clip" grep -Eq '^steps=(19|20|21) ' <<<"$summary"
check "replay saw the moving box" grep -Eq ' alarms=[1-9]' <<<"$summary"
check "nothing written beside the installed program" \
  test "$(find "$prefix/bin" -mindepth 1 | wc -l)" -eq 1

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
