#!/usr/bin/env bash
# Whole-process figures: time from start until the window is on screen and
# resident memory (RSS and PSS, from /proc) once it has settled, for
# Quillory with "/n" on a data file of 100,000 lines, a bare Qt window built
# the same way, and two other desktop calendars, all in the same run.
# Usage: bench/startup.sh [build-dir] [runs]
set -euo pipefail
build=${1:-build}
runs=${2:-5}
quillory=$(realpath "$build/bin/quillory")
bare=$(realpath "$build/bin/quillory-bare-window")
window_wait=$(realpath "$build/bin/quillory-window-wait")
# Memory is read this long after the window showed: the character has
# loaded and walked out by then.
settle=${BENCH_SETTLE:-5}

for p in orage kalarm; do
  command -v "$p" >/dev/null || {
    echo "installing $p for the comparison"
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$p" >/dev/null
  }
done

display=:${BENCH_DISPLAY:-93}
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp -noreset >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
export DISPLAY=$display
sleep 1

template=$(mktemp -d)
# Today's version check already made, as on every start but a day's first:
# that check brings in the network and TLS libraries for its moment.
printf '[data]\r\n2run=False\r\nlastreboot=%s\r\n[update]\r\nlastcheck=%s\r\n' \
  "$(date +%d/%m/%Y)" "$(date +%F)" >"$template/Calendar.ini"
# Years of use: 100,000 minutes that held an appointment, nine in ten of
# them past and cleared, every twentieth one ahead still live (as
# bench/DataFileBench.cpp makes it). Placed around now, so every run meets
# the same appointments and early warnings, and none passed unannounced.
python3 - "$template/data.ini" <<'PY'
import datetime, sys
texts = ["Buy bread and milk on the way home from work",
         "Call home and ask about the weekend plans",
         "Dentist at ten, bring the insurance card and the letter",
         "Take the bins out, the paper collection is tomorrow morning",
         "Pay the rent and the electricity bill before the bank closes",
         "Mum's birthday: order flowers and book a table for four people"]
codes = "AHYTVZCXQIJLRN"
now = datetime.datetime.now().replace(second=0, microsecond=0)
start = now - datetime.timedelta(minutes=37 * 90000)
with open(sys.argv[1], "w", newline="") as f:
    f.write("[alarms]\r\n")
    for n in range(99999):
        t = start + datetime.timedelta(minutes=37 * n)
        live = t > now and n % 20 == 7
        v = codes[n % 14] + texts[n % 6] + ("}" if n % 3 == 0 else "") if live else "nothing"
        f.write(t.strftime("%H/%M/%d/%m/%Y") + "=" + v + "\r\n")
PY
home=$(mktemp -d)
export QUILLORY_HOME=$home
export HOME=$home XDG_CONFIG_HOME=$home/.config XDG_DATA_HOME=$home/.local/share
mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME"

# ms from launch until a window whose name matches $1 is mapped, and the pid
# of what was started. It runs in a session of its own (setsid without a
# fork: a background job of this shell is no group leader), so its pid is
# also the id of that session, and of its process group, which whatever it
# starts inherits unless it leaves on purpose. The map is waited for by
# quillory-window-wait, which the display tells (no polling: polling with
# xdotool kept one of the two cores busy and slowed the very start it
# timed, by 30-50 ms a start and more for a program that uses both cores).
time_to_window() {
  local name=$1; shift
  local start seen pid wait_out waiter
  # Each start on the same files: what one run leaves (a pending
  # announcement, a moved repeat) is not the next run's start.
  rm -rf "$home" && cp -r "$template" "$home"
  mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME"
  wait_out=$(mktemp)
  "$window_wait" "$name" 30000 >"$wait_out" &
  waiter=$!
  until [ -s "$wait_out" ]; do sleep 0.01; done
  start=$(date +%s%N)
  setsid "$@" >/dev/null 2>&1 &
  pid=$!
  wait "$waiter" || true
  seen=$(tail -1 "$wait_out")
  rm -f "$wait_out"
  if [ "$seen" = timeout ] || [ "$seen" = ready ]; then
    echo "timeout $pid"
    return
  fi
  echo "$(( (seen - start) / 1000000 )) $pid"
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

# RSS and PSS in kB of process $1 (not its helpers: a calendar's own).
memory_of() {
  local rss pss
  rss=$(awk '/^VmRSS/ {print $2}' "/proc/$1/status" 2>/dev/null || echo 0)
  pss=$(awk '/^Pss:/ {print $2}' "/proc/$1/smaps_rollup" 2>/dev/null || echo 0)
  echo "${rss:-0} ${pss:-0}"
}

mb() { awk -v k="$1" 'BEGIN {printf "%.1f", k / 1024}'; }

# measure LABEL WINDOW-NAME COMMAND...: medians of start to window, and of
# RSS/PSS $settle s after it for the programs whose own pid is the program.
measure() {
  local label=$1 name=$2; shift 2
  local times=() rsss=() psss=() pid t rss pss timeouts=0
  for _ in $(seq "$runs"); do
    read -r t pid < <(time_to_window "$name" "$@")
    # A start that never showed is counted apart, not as a time.
    if [ "$t" = timeout ]; then
      timeouts=$((timeouts + 1))
      end_session "$pid"
      continue
    fi
    times+=("$t")
    sleep "$settle"
    read -r rss pss < <(memory_of "$pid")
    rsss+=("$rss")
    psss+=("$pss")
    end_session "$pid"
    sleep 0.5
  done
  local line
  line="$label: start to window $(printf '%s\n' "${times[@]}" | median) ms (runs: ${times[*]})"
  [ "$timeouts" -gt 0 ] && line+=" ($timeouts never showed within 30 s)"
  if [ "${MEMORY:-yes}" = yes ]; then
    line+="; RSS $(mb "$(printf '%s\n' "${rsss[@]}" | median)") MB,"
    line+=" PSS $(mb "$(printf '%s\n' "${psss[@]}" | median)") MB after ${settle} s"
  fi
  echo "$line"
}

measure bare-qt '^Bare Qt window$' "$bare"
measure quillory '^Quillory$' "$quillory" /n
# PSS divides each shared page among the processes that map it; alone under
# Xvfb nothing shares Qt's libraries. Beside one other Qt 6 program, as on
# a desktop that runs any, they are shared.
setsid "$bare" >/dev/null 2>&1 &
beside=$!
sleep 1
measure quillory-beside-a-qt-program '^Quillory$' "$quillory" /n
end_session "$beside"
# The peers start D-Bus sessions and helpers: their start time only.
MEMORY=no measure orage 'Orage' orage
MEMORY=no measure kalarm '^KAlarm$' dbus-run-session -- kalarm
rm -rf "$home" "$template"
