#!/usr/bin/env bash
# A calendar started with an appointment earlier today, one in 7 days and
# one in 3 days (both with the early-warning marker). Takes screenshots of
# the warning window, the old-messages boxes and the bold days. (The day
# query is driven by DayQueryTest; by hand, double-click the bold day.)
# Usage: bench/e2e/month-marks.sh   (about 30 seconds; display :91)
set -u
export DISPLAY=:91
out=${OUT:-/tmp/e2e-month}; mkdir -p "$out"
Xvfb :91 -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
XV=$!
sleep 1
H=$out/home; rm -rf "$H"; mkdir -p "$H"
export QUILLORY_HOME=$H HOME=$H
printf '[data]\r\n2run=False\r\nlastreboot=%s\r\n' "$(date +%d/%m/%Y)" > "$H/Calendar.ini"
printf '[alarms]\r\n00/01/%s=NMorning walk\r\n10/00/%s=NTeam lunch with Sam}\r\n15/00/%s=NDentist at three}\r\n' \
  "$(date +%d/%m/%Y)" "$(date -d '+7 days' +%d/%m/%Y)" "$(date -d '+3 days' +%d/%m/%Y)" > "$H/data.ini"
${QUILLORY:-build/bin/quillory} > "$out/log.txt" 2>&1 &
P=$!
sleep 15
import -window root "$out/1-warning-and-old-messages.png"
# Each box's default button takes Return once it has the focus.
for box in "Old messages!" "Quillory" "Attention!"; do
  w=$(xdotool search --name "^$box\$" | tail -1)
  [ -n "$w" ] && xdotool windowfocus "$w" 2>/dev/null; xdotool key Return; sleep 1
done
import -window root "$out/2-after-boxes.png"
echo "see $out; the log:"; grep quillory.calendar "$out/log.txt"
kill $P; sleep 1; kill -9 $P 2>/dev/null; kill $XV
