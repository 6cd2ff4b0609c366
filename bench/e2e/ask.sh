#!/usr/bin/env bash
# Three appointments later today, then "What is on today?" from the main
# menu (a right click on the time band). Keeps the speech as a
# WAV, writes it down with pocketsphinx_continuous (Debian's generic US
# English model and language model, no grammar) and looks for every word of
# each message in what it heard; screenshots the balloon and the list box.
# Usage: bench/e2e/ask.sh   (about a minute; display :65; run it before 20:00)
set -u
export DISPLAY=:65
out=${OUT:-/tmp/e2e-ask}; rm -rf "$out"; mkdir -p "$out"
H=$out/home; mkdir -p "$H"
export QUILLORY_HOME=$H HOME=$H QUILLORY_AUDIO_FILE=$out/speech.wav
messages=("Call the bank" "Lunch with Sam" "Water the plants")
today=$(date +%d/%m/%Y)
{
  printf '[alarms]\r\n'
  for i in 1 2 3; do
    at=$(date -d "+$i hour" +%H/30/%d/%m/%Y)
    [ "${at#*/*/}" = "$today" ] || { echo "ask: run this before 20:00"; exit 2; }
    printf '%s=N%s\r\n' "$at" "${messages[$((i - 1))]}"
  done
} > "$H/data.ini"
printf '[data]\r\n2run=False\r\nlastreboot=%s\r\n' "$today" > "$H/Calendar.ini"

Xvfb :65 -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
XV=$!
sleep 1
QT_LOGGING_RULES="quillory.calendar.info=true" ${QUILLORY:-build/bin/quillory} > "$out/log.txt" 2>&1 &
P=$!
sleep 15 # the entrance and the greeting
# The window stands at its designed place (20, 20): a right click on the
# time band pops up the main menu below it, "What is on today?" its third item.
xdotool mousemove 136 205 click 3
sleep 1
import -window root "$out/1-menu.png"
xdotool mousemove 105 261 click 1
sleep 4
import -window root "$out/2-balloon.png"
sleep 8
import -window root "$out/3-balloon.png"
sleep 10
# The list box takes Return once the speech is over.
b=$(xdotool search --name '^Today, ' | tail -1)
[ -n "$b" ] && xdotool windowfocus "$b" 2>/dev/null; xdotool key Return
sleep 2
kill $P; sleep 1; kill -9 $P 2>/dev/null
kill $XV

fail=0
grep -q 'what is on' "$out/log.txt" || { echo "ask: the menu item was not reached"; fail=1; }
sox "$out/speech.wav" -r 16000 -c 1 -b 16 "$out/speech16.wav" 2>/dev/null
model=/usr/share/pocketsphinx/model/en-us
pocketsphinx_continuous -infile "$out/speech16.wav" -hmm "$model/en-us" -lm "$model/en-us.lm.bin" \
  -dict "$model/cmudict-en-us.dict" -logfn /dev/null > "$out/heard.txt" 2>/dev/null
heard=$(tr '\n' ' ' < "$out/heard.txt" | tr 'A-Z' 'a-z')
echo "said:  $(grep -o 'what is on.*' "$out/log.txt" | head -1)"
echo "heard: $heard"
for m in "${messages[@]}"; do
  for word in $(echo "$m" | tr 'A-Z' 'a-z'); do
    pattern="\\b$word\\b"
    echo "$heard" | grep -Eq "$pattern" || { echo "ask: \"$word\" of \"$m\" not heard"; fail=1; }
  done
done
[ $fail = 0 ] && echo "ask: passed (screenshots in $out)" || echo "ask: FAILED (see $out)"
exit $fail
