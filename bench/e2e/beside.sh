#!/usr/bin/env bash
# The character beside the windows he helps with, seen from outside: opens
# the manager from the calendar's menu, lets the speaking help talk as the
# fields take the focus, switches to the list, then opens the colour panel,
# and checks at each step from the X geometry that neither the character's
# window (which holds his balloon while he speaks) nor the window he helps
# with overlap. Screenshots at each step.
# Usage: bench/e2e/beside.sh   (about 40 seconds; display :93)
set -u
export DISPLAY=:93
out=${OUT:-/tmp/e2e-beside}; rm -rf "$out"; mkdir -p "$out"
Xvfb :93 -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
XV=$!
sleep 1
H=$out/home; mkdir -p "$H"
export QUILLORY_HOME=$H HOME=$H
printf '[data]\r\n2run=False\r\n1run=False\r\nlastreboot=%s\r\nspkhelp=on\r\n' "$(date +%d/%m/%Y)" > "$H/Calendar.ini"
printf '[alarms]\r\n19/05/%s=WWater the plants}\r\n09/30/%s=NCall the bank\r\n' \
  "$(date -d '+8 days' +%d/%m/%Y)" "$(date -d '+2 days' +%d/%m/%Y)" > "$H/data.ini"
${QUILLORY:-build/bin/quillory} > "$out/log.txt" 2>&1 &
P=$!
sleep 8
fail=0
# x y w h of the last window named exactly $1
geometry() {
  local w; w=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | tail -1)
  [ -z "$w" ] && return 1
  xwininfo -id "$w" | awk '/Absolute upper-left X/{x=$NF}/Absolute upper-left Y/{y=$NF}
    /Width:/{w=$NF}/Height:/{h=$NF}END{print x, y, w, h}'
}
check() { # step, window name
  local a b
  a=$(geometry "$2") || { echo "beside: $1: no window $2"; fail=1; return; }
  b=$(geometry "Tockel") || { echo "beside: $1: no character"; fail=1; return; }
  import -window root "$out/$1.png"
  read -r ax ay aw ah <<<"$a"; read -r bx by bw bh <<<"$b"
  if [ $((ax < bx + bw && bx < ax + aw && ay < by + bh && by < ay + ah)) = 1 ]; then
    echo "beside: $1: character $b over $2 $a"; fail=1
  else
    echo "beside: $1: character $b clear of $2 $a"
  fi
}
band() { xdotool mousemove 136 205 click 3; sleep 0.8; }
band; xdotool mousemove 100 215 click 1; sleep 4
check 1-manager "Appointment Manager."
# The speaking help talks as each box takes the focus: the balloon grows.
for n in 1 2 3; do xdotool key Tab; sleep 2.5; check "2-help-$n" "Appointment Manager."; done
m=$(xdotool search --onlyvisible --name "^Appointment Manager.\$" | tail -1)
xdotool mousemove --window "$m" 367 12 click 1; sleep 3   # the list's tab
check 3-list "Appointment Manager."
xdotool mousemove --window "$m" 40 12 click 1; sleep 2    # back, then Exit
xdotool mousemove --window "$m" 432 60 click 1; sleep 4
band; xdotool mousemove 100 263; sleep 0.8; xdotool mousemove 330 285 click 1; sleep 3
check 4-colour "Colour control panel"
kill $P; sleep 1; kill -9 $P 2>/dev/null; kill $XV
[ $fail = 0 ] && echo "beside: passed" || echo "beside: FAILED (see $out)"
exit $fail
