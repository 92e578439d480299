#!/usr/bin/env bash
# Takes the screenshots that the AppStream metadata shows (res/screenshots/*.png) from the real window:
# the program runs under a virtual X server with a window manager, on a scratch data folder seeded with a
# sample net, and the keys an operator would press bring up what is shown.
#
#   scripts/take-screenshots.sh [PROGRAM]     (default build/src/gui/logwarden)
#
# Needs xvfb, openbox, xdotool, imagemagick and sqlite3. Commit the new pictures after looking at them.
set -euo pipefail
cd "$(dirname "$0")/.."
prog=$(readlink -f "${1:-build/src/gui/logwarden}")
out=res/screenshots
width=1280 height=800
for tool in Xvfb openbox xdotool import sqlite3; do
  command -v "$tool" >/dev/null || { echo "take-screenshots: needs $tool" >&2; exit 2; }
done
scratch=$(mktemp -d)
export HOME=$scratch/home XDG_CONFIG_HOME=$scratch/config LOGWARDEN_DATA_DIR=$scratch/data
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$LOGWARDEN_DATA_DIR" "$out"

display=90
while [[ -e /tmp/.X11-unix/X$display || -e /tmp/.X$display-lock ]]; do display=$((display + 1)); done
export DISPLAY=:$display
xpid= wpid= gpid=
cleanup() {
  for p in $gpid $wpid $xpid; do kill "$p" 2>/dev/null || true; done
  rm -rf "$scratch"
}
trap cleanup EXIT
Xvfb "$DISPLAY" -screen 0 1600x1000x24 >/dev/null 2>&1 & xpid=$!
sleep 1
openbox >/dev/null 2>&1 & wpid=$!
sleep 0.5

# The first start makes the log; then a sample net goes in: a week ago and tonight.
QT_QPA_PLATFORM=offscreen "$prog" >/dev/null 2>&1 & gpid=$!
for _ in $(seq 1 40); do [[ -f $LOGWARDEN_DATA_DIR/Logwarden-97.db ]] && break; sleep 0.25; done
sleep 1; kill "$gpid"; wait "$gpid" 2>/dev/null || true; gpid=
today=$(date +%F) lastweek=$(date -d '7 days ago' +%F)
weeks2=$(date -d '14 days ago' +%F) weeks3=$(date -d '21 days ago' +%F)
row() { # call name street location class grid day time ack traffic comments comment
  echo "insert into LogwardenTab (CallSign,Name,Street,Location,Class,YourGrid,Date,Acknowledged,HasTraffic,HasComments,Comment)
        values ('$1','$2','$3','$4','$5','$6','$7 $8',$9,${10},${11},'${12}');"
}
{
  echo "begin;"
  row N4YBL 'CAROL NGUYEN' '88 HILLTOP DR' 'EASLEY SC 29640' T EM84bs "$weeks3" 19:04:31 1 0 0 'First check-in'
  row N4YBL 'CAROL NGUYEN' '88 HILLTOP DR' 'EASLEY SC 29640' T EM84bs "$weeks2" 19:06:02 1 0 1 ''
  row W4XQZ 'ALICE MARTIN' '12 OAK ST' 'GREENVILLE SC 29601' E EM84cu "$lastweek" 19:02:10 1 0 0 ''
  row KD4RTV 'BRIAN COLE' '407 RIVER RD' 'ANDERSON SC 29621' G EM84at "$lastweek" 19:03:40 1 0 1 ''
  row N4YBL 'CAROL NGUYEN' '88 HILLTOP DR' 'EASLEY SC 29640' T EM84bs "$lastweek" 19:05:05 1 1 0 'Traffic for the EOC'
  row W4XQZ 'ALICE MARTIN' '12 OAK ST' 'GREENVILLE SC 29601' E EM84cu "$today" 19:01:30 1 0 0 'Net control relief'
  row KD4RTV 'BRIAN COLE' '407 RIVER RD' 'ANDERSON SC 29621' G EM84at "$today" 19:02:55 1 0 1 ''
  row KF4MDH 'DANA PRICE' '5 MILL CT' 'CLEMSON SC 29631' G EM84aq "$today" 19:04:12 0 0 0 'Mobile'
  row AB4JQ 'EVAN WALSH' '230 PINE ST' 'SENECA SC 29678' A EM74xr "$today" 19:05:48 1 1 0 'Traffic: 1'
  row KO4PLN 'FRANCES OKAFOR' '19 LAKE VIEW' 'PICKENS SC 29671' T EM84bv "$today" 19:07:20 0 0 1 ''
  row W4DEN 'GEORGE HALL' '71 CHURCH ST' 'LIBERTY SC 29657' E EM84dt "$today" 19:08:02 1 0 0 ''
  echo "commit;"
} | sqlite3 "$LOGWARDEN_DATA_DIR/Logwarden-97.db"
mkdir -p "$XDG_CONFIG_HOME/Logwarden"
printf '[UserSetting]\nMyGrid=EM84dv\n' >"$XDG_CONFIG_HOME/Logwarden/Logwarden.ini"

"$prog" >"$scratch/program.log" 2>&1 & gpid=$!
win=$(xdotool search --sync --onlyvisible --pid "$gpid" | head -n1)
xdotool windowsize --sync "$win" "$width" "$height" windowmove "$win" 40 40 windowactivate --sync "$win"
sleep 1.5
# The operator starts the next check-in: F4, the first letters of a call, F1 takes the first match.
xdotool key --delay 120 F4
xdotool type --delay 120 'N4Y'
sleep 0.5
xdotool key F1
sleep 1
import -window "$win" "$out/main-window.png"
echo "take-screenshots: $out/main-window.png"

# History (Alt+H) lists every check-in of the station in the form.
xdotool key alt+h
sleep 1.5
dialog=$(xdotool search --onlyvisible --pid "$gpid" | grep -vx "$win" | tail -n1)
[[ -n $dialog ]] || { echo "take-screenshots: the history window did not open" >&2; exit 1; }
xdotool windowsize --sync "$dialog" 1100 420
sleep 1
import -window "$dialog" "$out/history.png"
echo "take-screenshots: $out/history.png"
