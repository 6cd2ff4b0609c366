#!/usr/bin/env bash
# The clock changes of Europe/Berlin seen from outside, under libfaketime
# (the timestamp file holds seconds since the epoch, so a minute of the hour
# lived twice can be named). Spring: a daily appointment at 02:30, a minute
# that never comes, is announced when the clock passes 03:00 and is due again
# the next day. Autumn: the calendar lives 02:30 in summer time, then the
# clock is put back to 02:29:40 winter time and passes 02:30 again: the
# appointment is told once. Also keeps the speech as a WAV and a screenshot.
# Usage: bench/e2e/dst.sh   (about 2 minutes; display :93)
set -u
export DISPLAY=:93 TZ=Europe/Berlin
out=${OUT:-/tmp/e2e-dst}; rm -rf "$out"; mkdir -p "$out"
Xvfb :93 -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
XV=$!
sleep 1
fail=0
run() { # home, first timestamp (epoch)
  local H=$1
  echo "@$2" > "$H/stamp"
  LD_PRELOAD=/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1 FAKETIME_FMT=%s \
    FAKETIME_TIMESTAMP_FILE=$H/stamp FAKETIME_NO_CACHE=1 DONT_FAKE_MONOTONIC=1 \
    QUILLORY_HOME=$H HOME=$H QUILLORY_AUDIO_FILE=$H/speech.wav \
    QT_LOGGING_RULES="quillory.engine.info=true" ${QUILLORY:-build/bin/quillory} > "$H/log.txt" 2>&1 &
  P=$!
}
stop() { kill $P; sleep 1; kill -9 $P 2>/dev/null; }

# Spring: 28 March 2027, 02:00 CET becomes 03:00 CEST.
S=$out/spring; mkdir -p "$S"
printf '[data]\r\n2run=False\r\nlastreboot=28/03/2027\r\n' > "$S/Calendar.ini"
printf '[alarms]\r\n02/30/28/03/2027=TPills\r\n' > "$S/data.ini"
run "$S" "$(date -d '2027-03-28 01:59:35 CET' +%s)"
sleep 40
import -window root "$out/spring.png"
stop
grep -q '02/30/29/03/2027=TPills' "$S/data.ini" || { echo "dst: spring repeat not due tomorrow"; fail=1; }
grep -q 'Pills' "$S/pending.txt" 2>/dev/null || { echo "dst: spring appointment not told"; fail=1; }
grep -q 'Missed' "$S/pending.txt" 2>/dev/null && { echo "dst: spring gap taken for a leap"; fail=1; }

# Autumn: 31 October 2027, 03:00 CEST becomes 02:00 CET.
A=$out/autumn; mkdir -p "$A"
printf '[data]\r\n2run=False\r\nlastreboot=31/10/2027\r\n' > "$A/Calendar.ini"
printf '[alarms]\r\n02/30/31/10/2027=TPills\r\n02/45/31/10/2027=NCall\r\n' > "$A/data.ini"
run "$A" "$(date -d '2027-10-31 02:29:35 CEST' +%s)"
sleep 35
echo "@$(date -d '2027-10-31 02:29:40 CET' +%s)" > "$A/stamp"   # the hour lived again
sleep 40
stop
told=$(grep -c 'Pills' "$A/pending.txt" 2>/dev/null || true)
[ "$told" = 1 ] || { echo "dst: autumn appointment told $told times"; fail=1; }
grep -q '02/30/01/11/2027=TPills' "$A/data.ini" || { echo "dst: autumn repeat not due tomorrow"; fail=1; }
grep -q '02/45/31/10/2027=NCall' "$A/data.ini" || { echo "dst: a later one was touched"; fail=1; }

for H in "$S" "$A"; do
  [ -s "$H/speech.wav" ] && sox "$H/speech.wav" -n stat 2>&1 | grep -E 'Length|RMS     amplitude' | sed "s|^|$(basename "$H") speech: |"
  grep quillory.engine "$H/log.txt"
done
kill $XV
[ $fail = 0 ] && echo "dst: passed" || echo "dst: FAILED (see $out)"
exit $fail
