#!/usr/bin/env bash
# Whole-process figures: time from start until the calendar window is on
# screen (Quillory with "/n", and two other desktop calendars measured the
# same way in the same run), and resident memory after start.
# Usage: bench/startup.sh [build-dir] [runs]
set -euo pipefail
build=${1:-build}
runs=${2:-5}
quillory=$(realpath "$build/bin/quillory")

for p in orage kalarm xdotool; do
  command -v "$p" >/dev/null || {
    echo "installing $p for the comparison"
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
      "$( [ "$p" = xdotool ] && echo xdotool || echo "$p")" >/dev/null
  }
done

display=:${BENCH_DISPLAY:-93}
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
export DISPLAY=$display
sleep 1

home=$(mktemp -d)
export QUILLORY_HOME=$home
printf '[data]\r\n2run=False\r\nlastreboot=%s\r\n' "$(date +%d/%m/%Y)" >"$home/Calendar.ini"
export HOME=$home XDG_CONFIG_HOME=$home/.config XDG_DATA_HOME=$home/.local/share
mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME"

# ms from launch until a visible window whose name matches $1 exists, and
# the pid of what was started. It runs in a session of its own (setsid
# without a fork: a background job of this shell is no group leader), so its
# pid is also the id of that session, and of its process group, which
# whatever it starts inherits unless it leaves on purpose.
time_to_window() {
  local name=$1; shift
  local start end pid
  start=$(date +%s%N)
  setsid "$@" >/dev/null 2>&1 &
  pid=$!
  # xdotool's own --sync polls only twice a second: poll faster here.
  until xdotool search --onlyvisible --name "$name" >/dev/null 2>&1; do
    if (( ($(date +%s%N) - start) > 30000000000 )); then
      echo "timeout $pid"
      return
    fi
  done
  end=$(date +%s%N)
  echo "$(( (end - start) / 1000000 )) $pid"
}

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

# The processes of session $1: only what this script started there (a
# D-Bus session, the services it activated, a calendar's helpers), never a
# program of the same name the user is running.
session_pids() {
  # Zombies are already ended; only their parent's wait is missing.
  ps -e -o pid=,sid=,stat= | awk -v sid="$1" '$2 == sid && $3 !~ /^Z/ { print $1 }'
}

# Ends session $1: TERM, a moment's grace, then KILL for what is left.
end_session() {
  local sid=$1 pids
  pids=$(session_pids "$sid")
  [ -n "$pids" ] && kill -TERM $pids 2>/dev/null || true
  for _ in $(seq 20); do
    pids=$(session_pids "$sid")
    [ -z "$pids" ] && break
    sleep 0.1
  done
  [ -n "$pids" ] && kill -KILL $pids 2>/dev/null || true
  wait "$sid" 2>/dev/null || true
}

# measure LABEL WINDOW-NAME COMMAND...
measure() {
  local label=$1 name=$2; shift 2
  local times=() pid t
  for _ in $(seq "$runs"); do
    read -r t pid < <(time_to_window "$name" "$@")
    times+=("$t")
    sleep 1
    if [ "$label" = quillory ]; then
      rss=$(awk '/VmRSS/ {print $2}' "/proc/$pid/status")
    fi
    end_session "$pid"
    sleep 0.5
  done
  echo "$label: start to window $(printf '%s\n' "${times[@]}" | median) ms (runs: ${times[*]})"
}

measure quillory '^Quillory$' "$quillory" /n
echo "quillory: resident memory 1 s after the window showed: $((rss / 1024)) MB"
measure orage 'Orage' orage
measure kalarm '^KAlarm$' dbus-run-session -- kalarm
rm -rf "$home"
