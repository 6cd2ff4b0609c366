#!/usr/bin/env bash
# Two confirmed appointments in consecutive minutes; the calendar is killed
# with SIGKILL one second into the first. Shows data.ini re-keyed, the
# pending file, and (after a restart) both in the one message window.
# Usage: bench/e2e/kill-and-queue.sh   (about two minutes; display :97)
set -u
export DISPLAY=:97
Xvfb :97 -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
XV=$!
sleep 1
mkdir -p ${OUT:-/tmp/e2e}; H=${OUT:-/tmp/e2e}/home; rm -rf $H; mkdir -p $H
export QUILLORY_HOME=$H HOME=$H
# next minute with >=20 s lead
now=$(date +%s); m=$(( (now/60+1)*60 )); [ $((m-now)) -lt 20 ] && m=$((m+60))
k1=$(date -d @$m +%H/%M/%d/%m/%Y); k2=$(date -d @$((m+60)) +%H/%M/%d/%m/%Y)
printf '[data]\r\n2run=False\r\nlastreboot=%s\r\n' "$(date +%d/%m/%Y)" > $H/Calendar.ini
printf '[alarms]\r\n%s=VWeekly one\r\n%s=RDentist two\r\n' "$k1" "$k2" > $H/data.ini
${QUILLORY:-build/bin/quillory} /n > ${OUT:-/tmp/e2e}/log1.txt 2>&1 &
P=$!
sleep $(( m - $(date +%s) + 1 ))
kill -9 $P
echo "killed at $(date +%T.%N)"
cat $H/data.ini; echo; ls $H; cat $H/pending.txt 2>/dev/null
sleep 1
# restart: the pending announcement must come back, and the second minute joins it
${QUILLORY:-build/bin/quillory} /n > ${OUT:-/tmp/e2e}/log2.txt 2>&1 &
P=$!
sleep $(( m + 60 - $(date +%s) + 8 ))
import -window root ${OUT:-/tmp/e2e}/two.png
cat $H/data.ini; echo; cat $H/pending.txt
kill $P; sleep 2; kill -9 $P 2>/dev/null; kill $XV
