#!/usr/bin/env bash
# The sync folder against real parts: a Radicale CalDAV server on 127.0.0.1
# with a throw-away storage, vdirsyncer between it and the folder, and the
# calendar's own look at the folder (quillory_ical_tool). An appointment
# made in the calendar reaches the server with its alarm, an event put on
# the server reaches data.ini, and deletions travel both ways.
#
#   caldav-sync.sh QUILLORY_ICAL_TOOL
# Exit 77 (skipped) when radicale, vdirsyncer or curl is missing.
set -euo pipefail

tool=$1
for program in radicale vdirsyncer curl python3; do
  if ! command -v "$program" >/dev/null; then
    echo "SKIPPED: $program is not installed (scripts/install-deps installs it)"
    exit 77
  fi
done

work=$(mktemp -d)
radicale_pid=""
cleanup() {
  if [ -n "$radicale_pid" ]; then
    kill "$radicale_pid" 2>/dev/null || true
    wait "$radicale_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAILED: $*"
  exit 1
}

port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
mkdir -p "$work/vdir" "$work/home" "$work/status"
cat >"$work/radicale.conf" <<CONF
[server]
hosts = 127.0.0.1:$port
[auth]
type = none
[rights]
type = authenticated
[storage]
filesystem_folder = $work/collections
[logging]
level = warning
CONF
radicale --config "$work/radicale.conf" >"$work/radicale.log" 2>&1 &
radicale_pid=$!

base="http://127.0.0.1:$port"
for _ in $(seq 1 300); do
  curl -s -o /dev/null "$base/" && break
  sleep 0.1
done
curl -s -o /dev/null "$base/" || fail "radicale did not start: $(cat "$work/radicale.log")"

calendar="$base/quillory/calendar/"
code=$(curl -s -o /dev/null -w '%{http_code}' -u quillory:x -X MKCALENDAR "$calendar")
[ "$code" = 201 ] || fail "the calendar was not created over HTTP ($code)"

cat >"$work/vdirsyncer.conf" <<CONF
[general]
status_path = "$work/status/"

[pair quillory]
a = "quillory_folder"
b = "quillory_server"
collections = null

[storage quillory_folder]
type = "filesystem"
path = "$work/vdir/"
fileext = ".ics"

[storage quillory_server]
type = "caldav"
url = "$calendar"
username = "quillory"
password = "x"
CONF
sync() { vdirsyncer -c "$work/vdirsyncer.conf" "$@" >>"$work/vdirsyncer.log" 2>&1 || fail "vdirsyncer $*: $(tail -5 "$work/vdirsyncer.log")"; }
look() { "$tool" look "$work/home/data.ini" "$work/vdir" >>"$work/look.log" || fail "the look failed"; }
server() { curl -s -u quillory:x "$calendar"; }

sync discover
tomorrow=$(date -d tomorrow +%d/%m/%Y)
stamp=$(date -d tomorrow +%Y%m%d)
printf '[alarms]\r\n10/15/%s=ZWater the plants}\r\n11/30/%s=NCall the bank\r\n' "$tomorrow" "$tomorrow" >"$work/home/data.ini"

# Made in the calendar: on the server as a VEVENT with its alarm.
look
sync sync
server >"$work/server.ics"
grep -q "SUMMARY:Water the plants" "$work/server.ics" || fail "the appointment did not reach the server"
grep -q "BEGIN:VALARM" "$work/server.ics" || fail "the appointment reached the server without its alarm"
grep -q "RRULE:FREQ=WEEKLY" "$work/server.ics" || fail "the weekly repeat did not reach the server"

# An export other programs read: one VEVENT per appointment.
"$tool" export "$work/home/data.ini" "$work/export.ics" >/dev/null
"$tool" check - "$work/export.ics" || fail "libical's checks find the export wrong"
if python3 -c 'import icalendar' 2>/dev/null; then
  python3 - "$work/export.ics" <<'PY' || fail "python3-icalendar does not read the export"
import sys, icalendar
cal = icalendar.Calendar.from_ical(open(sys.argv[1], 'rb').read())
events = cal.walk('VEVENT')
assert len(events) == 2, len(events)
assert str(events[0]['RRULE'].to_ical(), 'ascii') == 'FREQ=WEEKLY'
PY
fi

# Put on the server: in data.ini after the next sync.
curl -s -o /dev/null -u quillory:x -X PUT -H 'Content-Type: text/calendar' --data-binary @- \
  "${calendar}from-server.ics" <<ICS
BEGIN:VCALENDAR
VERSION:2.0
PRODID:-//curl//test//EN
BEGIN:VEVENT
UID:from-server@test
DTSTAMP:20260101T000000Z
DTSTART:${stamp}T164500
SUMMARY:From the server
END:VEVENT
END:VCALENDAR
ICS
sync sync
look
grep -q "16/45/$tomorrow=NFrom the server" "$work/home/data.ini" || fail "the server's event did not reach data.ini"

# Deleted on the server: gone from data.ini.
curl -s -o /dev/null -u quillory:x -X DELETE "${calendar}from-server.ics"
sync sync
look
grep -q "NFrom the server" "$work/home/data.ini" && fail "the deletion on the server did not reach data.ini"

# Deleted in the calendar: gone from the server.
sed -i 's/=NCall the bank/=nothing/' "$work/home/data.ini"
look
sync sync
server | grep -q "Call the bank" && fail "the deletion in the calendar did not reach the server"
server | grep -q "Water the plants" || fail "the other appointment went missing"

echo "PASSED: calendar and Radicale in step through vdirsyncer"
