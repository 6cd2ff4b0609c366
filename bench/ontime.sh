#!/usr/bin/env bash
# On time: how long after a minute begins each calendar shows the alarm set
# for that minute. Quillory and two other desktop calendars from Debian get
# an alarm for the same coming minute, are started 15 to 17 s before it on a
# virtual display, and a small X client (bench/ontime/mapwatch.c) stamps the
# moment each one's alarm window is mapped. Latency = map time - the
# minute's first instant, in ms.
#
# Usage: bench/ontime.sh [build-dir] [runs]
#   ONTIME_SEPARATE=1  give each program a minute of its own instead of all
#                      three sharing one (three times as long, no contention)
#   ONTIME_KEEP=1      keep the temporary folder (logs, window events)
# Each run costs a minute: the default of 3 runs takes 3 to 4 minutes.
set -euo pipefail
build=${1:-build}
runs=${2:-3}
quillory=$(realpath "$build/bin/quillory")
here=$(cd "$(dirname "$0")" && pwd)
# Seconds between the start of the programs and the minute, plus a part of
# 2 s that grows run by run: a clock that ticks every 2 s from its start
# would otherwise meet the minute at the same phase in every run.
lead=15
grace=20 # seconds after the minute before a missing window counts as missed

[ -x "$quillory" ] || { echo "ontime: no $quillory; build the quillory target first" >&2; exit 1; }
for p in kalarm orage; do
  command -v "$p" >/dev/null || {
    echo "installing $p for the comparison"
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$p" >/dev/null
  }
done

tmp=$(mktemp -d)
# Every program started here carries this variable, so the cleanup finds
# what they left behind (helpers that detach into a session of their own)
# without looking processes up by name.
mark="ONTIME_BENCH=$tmp"
pids=()

stop_group() {
  local pgid=$1
  kill -TERM -- "-$pgid" 2>/dev/null || return 0
  for _ in 1 2 3 4 5 6 7 8 9 10; do
    kill -0 -- "-$pgid" 2>/dev/null || return 0
    sleep 0.2
  done
  kill -KILL -- "-$pgid" 2>/dev/null || true
}

# Processes that still carry the mark after their group was stopped.
marked_pids() {
  local env
  for env in /proc/[0-9]*/environ; do
    tr '\0' '\n' 2>/dev/null <"$env" | grep -qxF "$mark" && { env=${env#/proc/}; echo "${env%/environ}"; }
  done
  return 0
}

cleanup() {
  local p left
  for p in "${pids[@]}"; do stop_group "$p"; done
  pids=()
  left=$(marked_pids)
  if [ -n "$left" ]; then
    # shellcheck disable=SC2086
    kill -TERM $left 2>/dev/null || true
    sleep 0.5
    left=$(marked_pids)
    # shellcheck disable=SC2086
    [ -z "$left" ] || kill -KILL $left 2>/dev/null || true
  fi
}

finish() {
  cleanup
  [ -n "${watch:-}" ] && kill "$watch" 2>/dev/null
  [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null
  wait 2>/dev/null || true
  if [ "${ONTIME_KEEP:-0}" = 1 ]; then echo "kept $tmp"; else rm -rf "$tmp"; fi
}
trap finish EXIT

cc -O2 -Wall -Wextra -Werror -o "$tmp/mapwatch" "$here/ontime/mapwatch.c" -lxcb

# Xvfb picks a free display itself and writes its number.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$tmp/display" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 50); do [ -s "$tmp/display" ] && break; sleep 0.1; done
[ -s "$tmp/display" ] || { echo "ontime: Xvfb did not start" >&2; exit 1; }
DISPLAY=:$(head -n1 "$tmp/display")
export DISPLAY

"$tmp/mapwatch" >"$tmp/windows.log" 2>"$tmp/mapwatch.err" &
watch=$!
for _ in $(seq 50); do grep -q ' ready ' "$tmp/windows.log" 2>/dev/null && break; sleep 0.1; done
grep -q ' ready ' "$tmp/windows.log" || { echo "ontime: the window watcher did not start" >&2; exit 1; }

now() { date +%s.%N; }

# A fresh home for one program in one run.
fresh_home() {
  local dir=$1
  mkdir -p "$dir/.config" "$dir/.local/share" "$dir/.cache" "$dir/runtime"
  chmod 700 "$dir/runtime"
}

# launch NAME DIR COMMAND...: starts the command in a process group of its
# own with DIR as its home; the group's id goes to pids[].
launch() {
  local name=$1 dir=$2; shift 2
  env "$mark" HOME="$dir" XDG_CONFIG_HOME="$dir/.config" XDG_DATA_HOME="$dir/.local/share" \
    XDG_CACHE_HOME="$dir/.cache" XDG_RUNTIME_DIR="$dir/runtime" QUILLORY_HOME="$dir/quillory" \
    setsid "$@" >"$dir/$name.log" 2>&1 </dev/null &
  pids+=($!)
  disown "$!" # stopped by group, not waited for
}

# Quillory: the appointment in data.ini (key hh/mm/dd/mm/yyyy in local time,
# "N": no repeat, shown at once), settings so no first-run introduction.
start_quillory() {
  local dir=$1 minute=$2
  fresh_home "$dir"
  mkdir -p "$dir/quillory"
  printf '[data]\r\n2run=False\r\nlastreboot=%s\r\n' "$(date +%d/%m/%Y)" >"$dir/quillory/Calendar.ini"
  printf '[alarms]\r\n%s=NOn time bench alarm\r\n' "$(date -d "@$minute" +%H/%M/%d/%m/%Y)" \
    >"$dir/quillory/data.ini"
  launch quillory "$dir" "$quillory" /n
}

# KAlarm: the three calendars declared beforehand, so the first start does
# not go looking for older calendars to migrate (which starts Akonadi, whose
# database refuses to run as root here, and then never creates its own);
# the alarm is given on the command line, which also starts KAlarm.
start_kalarm() {
  local dir=$1 minute=$2 cal
  fresh_home "$dir"
  cal=$dir/.local/share/kalarm
  mkdir -p "$cal"
  {
    printf '[General]\nLastId=3\n'
    local i=1 type file name
    for type in Active:calendar:Active\ Alarms Archived:expired:Archived\ Alarms \
      Template:template:Alarm\ Templates; do
      IFS=: read -r type file name <<<"$type"
      printf '\n[Resource_%d]\nAlarmTypes=%s\nEnabled=%s\nId=%d\nName=%s\nPath=%s\nStandard=%s\nType=File\n' \
        "$i" "$type" "$type" "$i" "$name" "$cal/$file.ics" "$type"
      i=$((i + 1))
    done
  } >"$dir/.config/kalarmresources"
  launch kalarm "$dir" dbus-run-session -- kalarm \
    --time "$(date -d "@$minute" +%Y-%m-%d-%H:%M)" "On time bench alarm"
}

# Orage: one event at the minute with a display alarm at its start.
start_orage() {
  local dir=$1 minute=$2 ics
  fresh_home "$dir"
  mkdir -p "$dir/.local/share/orage"
  ics=$dir/.local/share/orage/orage.ics
  {
    printf 'BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Quillory//on time bench//EN\r\n'
    printf 'BEGIN:VEVENT\r\nUID:ontime-%s@quillory.bench\r\nDTSTAMP:%s\r\nDTSTART:%s\r\nDTEND:%s\r\n' \
      "$minute" "$(date -u +%Y%m%dT%H%M%SZ)" "$(date -u -d "@$minute" +%Y%m%dT%H%M%SZ)" \
      "$(date -u -d "@$((minute + 1800))" +%Y%m%dT%H%M%SZ)"
    printf 'SUMMARY:On time bench alarm\r\nBEGIN:VALARM\r\nACTION:DISPLAY\r\n'
    printf 'DESCRIPTION:On time bench alarm\r\nTRIGGER:PT0S\r\nEND:VALARM\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n'
  } >"$ics"
  launch orage "$dir" dbus-run-session -- orage
}

# The name each program gives its alarm window.
window_name() {
  case $1 in
  quillory) echo '^You have a new message waiting$' ;;
  kalarm) echo '^Message .* KAlarm$' ;;
  orage) echo '^Reminder - Orage$' ;;
  esac
}

# map_time NAME-REGEX SINCE: the first time after SINCE at which a window
# of that name was mapped (or got that name while mapped); empty if none.
map_time() {
  awk -v re="$1" -v since="$2" '
    $1 < since { next }
    $2 == "map" { mapped[$3] = 1; n = $0; sub(/^[^ ]+ [^ ]+ [^ ]+ ?/, "", n); if (n ~ re) { print $1; exit } }
    $2 == "unmap" { mapped[$3] = 0 }
    $2 == "name" && mapped[$3] { n = $0; sub(/^[^ ]+ [^ ]+ [^ ]+ ?/, "", n); if (n ~ re) { print $1; exit } }
  ' "$tmp/windows.log"
}

declare -A results
programs=(quillory kalarm orage)

# measure_minute RUN PROGRAM...: one minute, the given programs sharing it.
measure_minute() {
  local run=$1; shift
  local t minute started p at early
  early=$(awk -v l="$lead" -v r="$run" -v n="$runs" 'BEGIN { printf "%.3f", l + 2 * (r - 1) / n }')
  t=$(now)
  minute=$(awk -v t="$t" -v e="$early" 'BEGIN { m = (int(t / 60) + 1) * 60; if (m - t < e) m += 60; print m }')
  sleep "$(awk -v t="$(now)" -v s="$minute" -v e="$early" 'BEGIN { d = s - e - t; print (d > 0 ? d : 0) }')"
  started=$(now)
  for p in "$@"; do
    "start_$p" "$tmp/run$run/$p" "$minute"
  done
  local -A found=()
  while :; do
    for p in "$@"; do
      [ -n "${found[$p]:-}" ] && continue
      at=$(map_time "$(window_name "$p")" "$started")
      [ -n "$at" ] && found[$p]=$(awk -v a="$at" -v m="$minute" 'BEGIN { printf "%.0f", (a - m) * 1000 }')
    done
    [ "${#found[@]}" -eq $# ] && break
    awk -v t="$(now)" -v end="$((minute + grace))" 'BEGIN { exit !(t > end) }' && break
    sleep 0.2
  done
  for p in "$@"; do
    if [ -n "${found[$p]:-}" ]; then
      results[$p]+="${found[$p]} "
      printf '  %s %s: %s ms (started %s s before)\n' "$(date -d "@$minute" +%H:%M)" "$p" \
        "${found[$p]}" "$early"
    else
      results[$p]+="missed "
      printf '  %s %s: no alarm window within %d s (log: %s)\n' "$(date -d "@$minute" +%H:%M)" \
        "$p" "$grace" "$tmp/run$run/$p/$p.log"
      ONTIME_KEEP=1
    fi
  done
  cleanup
}

median() { tr ' ' '\n' | grep -E '^-?[0-9]+$' | sort -n | awk '{a[NR]=$1} END {if (NR) print a[int((NR+1)/2)]; else print "-"}'; }

version() { dpkg-query -W -f='${Version}' "$1" 2>/dev/null | sed 's/^[0-9]*://; s/-[^-]*$//'; }

echo "display $DISPLAY; $runs run(s); programs start ${lead} to $((lead + 2)) s before their minute"
echo "watcher, before: $("$tmp/mapwatch" --probe)"
for run in $(seq "$runs"); do
  if [ "${ONTIME_SEPARATE:-0}" = 1 ]; then
    for p in "${programs[@]}"; do measure_minute "$run" "$p"; done
  else
    measure_minute "$run" "${programs[@]}"
  fi
done

echo "watcher, after: $("$tmp/mapwatch" --probe)"
echo
echo "Minute's start to the alarm window mapped (ms):"
for p in "${programs[@]}"; do
  case $p in
  quillory) label="Quillory ($(git -C "$here" rev-parse --short HEAD 2>/dev/null || echo '?'))" ;;
  kalarm) label="KAlarm $(version kalarm)" ;;
  orage) label="Orage $(version orage)" ;;
  esac
  printf '%-22s median %5s  (runs: %s)\n' "$label" "$(median <<<"${results[$p]}")" "${results[$p]% }"
done
