#!/usr/bin/env bash
# Character engine figures under a virtual display.
# Usage: bench/agent.sh [build-dir] [rest-seconds] [animate-seconds]
set -euo pipefail
build=${1:-build}
# Loading: each process on its own, so its peak memory is its own.
for files in "characters/Tockel.acs characters/Bramble.acs" "--worst"; do
  # shellcheck disable=SC2086
  QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES='quillory.*=false' \
    "$build/bin/quillory-agent-bench" load $files
done
display=:${BENCH_DISPLAY:-94}
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
sleep 1
DISPLAY=$display QT_LOGGING_RULES='quillory.*.info=false' \
  "$build/bin/quillory-agent-bench" "${2:-60}" "${3:-20}"
