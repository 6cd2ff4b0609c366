#!/usr/bin/env bash
# Voice command figures: recall, false accepts, latency.
# Usage: bench/voice.sh [build-dir] [bench options, e.g. --verbose]
set -euo pipefail
build=${1:-build}
shift || true
QT_LOGGING_RULES='quillory.*.info=false' "$build/bin/quillory-voice-bench" "$@"
