#!/usr/bin/env bash
# A suspend seen from outside: the wall clock leaps two hours while the
# monotonic clock runs on (libfaketime with a timestamp file rewritten
# while the calendar runs). Checks that the appointments passed in the leap
# reach the message window's queue (pending.txt) within 20 s, that the daily
# one is due again after now and the one-off is cleared, then leaps back an
# hour and checks nothing is told twice.
# Usage: bench/e2e/leap.sh   (about 40 seconds; display :92)
set -u
export DISPLAY=:92
out=${OUT:-/tmp/e2e-leap}; rm -rf "$out"; mkdir -p "$out"
Xvfb :92 -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
XV=$!
sleep 1
H=$out/home; mkdir -p "$H"
export QUILLORY_HOME=$H HOME=$H
stamp=$out/faketime
echo "@2026-12-09 09:00:00" > "$stamp"
printf '[data]\r\n2run=False\r\nlastreboot=09/12/2026\r\n' > "$H/Calendar.ini"
printf '[alarms]\r\n09/30/09/12/2026=TWater the plants\r\n10/15/09/12/2026=NCall the bank\r\n12/00/09/12/2026=NLunch\r\n' > "$H/data.ini"
LD_PRELOAD=/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1 FAKETIME_TIMESTAMP_FILE=$stamp \
  FAKETIME_NO_CACHE=1 DONT_FAKE_MONOTONIC=1 QT_LOGGING_RULES="quillory.engine.info=true" \
  ${QUILLORY:-build/bin/quillory} > "$out/log.txt" 2>&1 &
P=$!
sleep 10
echo "@2026-12-09 11:00:00" > "$stamp"   # asleep for two hours
leapt=$(date +%s)
fail=0
until grep -q "Call the bank" "$H/pending.txt" 2>/dev/null; do
  if [ $(( $(date +%s) - leapt )) -gt 20 ]; then echo "leap: not queued within 20 s"; fail=1; break; fi
  sleep 1
done
echo "leap: queued after $(( $(date +%s) - leapt )) s"
sleep 5; import -window root "$out/after-leap.png"
grep -q '09/30/10/12/2026=TWater the plants' "$H/data.ini" || { echo "leap: daily not moved on"; fail=1; }
grep -q '10/15/09/12/2026=nothing' "$H/data.ini" || { echo "leap: one-off not cleared"; fail=1; }
grep -q '12/00/09/12/2026=NLunch' "$H/data.ini" || { echo "leap: a later one was touched"; fail=1; }
before=$(grep -c . "$H/pending.txt")
echo "@2026-12-09 10:00:00" > "$stamp"   # the clock put back an hour
sleep 8
after=$(grep -c . "$H/pending.txt")
[ "$before" = "$after" ] || { echo "leap: told again after the clock went back"; fail=1; }
cp "$H/data.ini" "$H/pending.txt" "$out/" 2>/dev/null
grep quillory.engine "$out/log.txt"
kill $P; sleep 1; kill -9 $P 2>/dev/null; kill $XV
[ $fail = 0 ] && echo "leap: passed" || echo "leap: FAILED (see $out)"
exit $fail
