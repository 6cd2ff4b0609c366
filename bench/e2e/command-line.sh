#!/usr/bin/env bash
# The command line from outside, on a session bus of its own: add, list and
# remove with no calendar running (the data file under the lock), then the
# same with a calendar running on a virtual display (over the bus), with
# screenshots of the day marked bold and unmarked again.
# Usage: bench/e2e/command-line.sh   (about 40 seconds; display :63)
set -u
[ -n "${QUILLORY_OWN_BUS:-}" ] || QUILLORY_OWN_BUS=1 exec dbus-run-session -- "$0" "$@"
Q=$(realpath "${QUILLORY:-build/bin/quillory}")
out=${OUT:-/tmp/e2e-cli}; rm -rf "$out"; mkdir -p "$out"
H=$out/home; mkdir -p "$H"
export QUILLORY_HOME=$H HOME=$H
printf '[data]\r\n2run=False\r\nlastreboot=%s\r\n' "$(date +%d/%m/%Y)" > "$H/Calendar.ini"
# A day still in this month when there is one, so the month view shows it.
day=$(date -d tomorrow +%Y-%m-%d)
[ "$(date -d tomorrow +%m)" = "$(date +%m)" ] || day=$(date +%Y-%m-%d)
key="09/00/$(date -d "$day" +%d/%m/%Y)"
check() { # what, expected status, command...
  local what=$1 want=$2; shift 2
  "$@" > "$out/stdout" 2> "$out/stderr"; local got=$?
  printf '%-34s exit %s (want %s)  %s%s\n' "$what" "$got" "$want" "$(cat "$out/stdout")" "$(cat "$out/stderr")"
  [ "$got" = "$want" ] || fails=$((fails + 1))
}
fails=0
round() { # label
  echo "== $1"
  check "add" 0 "$Q" add --at "$day 09:00" --repeat daily "Pick up the parcel"
  if grep -a -q "^$key=TPick up the parcel" "$H/data.ini"; then echo "data.ini holds $key=TPick up the parcel"
  else echo "data.ini lacks it"; fails=$((fails + 1)); fi
  check "add again, other message" 1 "$Q" add --at "$day 09:00" "Something else"
  check "add 31 February" 1 "$Q" add --at "2031-02-31 09:00" "No such day"
  check "add unknown repeat" 2 "$Q" add --in 2h --repeat fortnightly "x!"
  check "list" 0 "$Q" list
  check "next --json" 0 "$Q" next --json
}
round "no calendar running"
check "remove" 0 "$Q" remove "$day 09:00"
check "next (nothing)" 1 "$Q" next

export DISPLAY=:63
Xvfb :63 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
XV=$!
sleep 1
"$Q" > "$out/calendar-log.txt" 2>&1 &
P=$!
for _ in $(seq 60); do
  grep -q "calendar window loaded" "$out/calendar-log.txt" && break; sleep 0.5
done
sleep 2
import -window root "$out/1-before.png"
round "calendar running (pid $P)"
sleep 2
import -window root "$out/2-added-bold.png"
check "remove" 0 "$Q" remove "$day 09:00"
sleep 2
import -window root "$out/3-removed.png"
grep -a -q "^$key=nothing" "$H/data.ini" && echo "data.ini: $key=nothing"
grep -a "bus:" "$out/calendar-log.txt"
kill $P; sleep 1; kill -9 $P 2>/dev/null; kill $XV
echo "failures: $fails; see $out"
