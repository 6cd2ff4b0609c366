#!/usr/bin/env bash
# An appointment fired under a real notification server (dunst) on a
# session bus of its own: dbus-monitor records the Notify call with the
# text and the snooze actions, the withdrawal when the window is answered,
# and the desktop's do-not-disturb holding the alert.
# Usage: bench/e2e/notification.sh   (about two minutes; display :62)
set -u
OUT=${OUT:-/tmp/e2e-notify}
DISPLAY_NO=${DISPLAY_NO:-62}
export DISPLAY=:$DISPLAY_NO
rm -rf "$OUT"; mkdir -p "$OUT/home"
Xvfb :$DISPLAY_NO -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
XV=$!
sleep 1
export QUILLORY_HOME=$OUT/home HOME=$OUT/home OUT
export QUILLORY=${QUILLORY:-$PWD/build/bin/quillory}
export QT_LOGGING_RULES="quillory.*.debug=true"
dbus-run-session -- bash -c '
  H=$QUILLORY_HOME
  dunst > "$OUT/dunst.txt" 2>&1 &
  D=$!
  dbus-monitor "interface=org.freedesktop.Notifications" > "$OUT/monitor.txt" 2>&1 &
  M=$!
  sleep 1
  # two appointments a minute apart with at least 20 s lead; the second under do-not-disturb
  now=$(date +%s); m=$(( (now/60+1)*60 )); [ $((m-now)) -lt 20 ] && m=$((m+60))
  k1=$(date -d @$m +%H/%M/%d/%m/%Y); k2=$(date -d @$((m+60)) +%H/%M/%d/%m/%Y)
  printf "[data]\r\n2run=False\r\nlastreboot=%s\r\n" "$(date +%d/%m/%Y)" > $H/Calendar.ini
  printf "[alarms]\r\n%s=TPick up the parcel & <sign>\r\n%s=RDentist\r\n" "$k1" "$k2" > $H/data.ini
  "$QUILLORY" /n > "$OUT/calendar.txt" 2>&1 &
  P=$!
  sleep $(( m - $(date +%s) + 6 ))
  import -window root "$OUT/announced.png"
  # The user closes the notification: the window stays.
  dunstctl close
  sleep 1
  import -window root "$OUT/closed.png"
  dunstctl set-paused true
  sleep $(( m + 60 - $(date +%s) + 6 ))
  import -window root "$OUT/paused.png"
  dunstctl set-paused false
  sleep 6
  # Snooze at the window: its notifications are withdrawn.
  W=$(xdotool search --name "You have a new message waiting" | head -1)
  xdotool windowactivate --sync "$W" 2>/dev/null
  eval $(xdotool getwindowgeometry --shell "$W")
  # The snooze lengths, beside "Snooze !".
  xdotool mousemove $((X + WIDTH - 109)) $((Y + HEIGHT - 23)) click 1
  sleep 1
  import -window root "$OUT/lengths.png"
  xdotool key Escape
  sleep 1
  xdotool mousemove $((X + WIDTH - 150)) $((Y + HEIGHT - 23)) click 1
  sleep 2
  import -window root "$OUT/snoozed.png"
  cat $H/pending.txt > "$OUT/pending.txt" 2>&1
  kill $P; sleep 2; kill -9 $P 2>/dev/null
  kill $M $D
'
kill $XV
grep -E "member=(Notify|CloseNotification|GetCapabilities)|NotificationClosed|ActionInvoked" "$OUT/monitor.txt" | sort | uniq -c
echo "--- calendar log (notifications, do not disturb, snooze)"
grep -iE "notification|disturb|held|snooze|announcing" "$OUT/calendar.txt"
echo "--- pending.txt"; cat "$OUT/pending.txt"
