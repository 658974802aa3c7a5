#!/usr/bin/env bash
# with-pulse.sh MODE TEST_BINARY: runs the binary's sound output cases for MODE.
#   no-device: no sound server can be reached (nor started on demand).
#   null-sink: a private PulseAudio server with a null sink; parec records its monitor.
#              Skipped (77) when PulseAudio or its tools are not installed.
source "$(dirname "$0")/../../e2e/lib.sh"
mode=$1
binary=$2
trap 'e2e_cleanup || true' EXIT

case "$mode" in
  no-device)
    E2E_RUNTIME=$(mktemp -d)
    chmod 700 "$E2E_RUNTIME"
    export XDG_RUNTIME_DIR="$E2E_RUNTIME" PULSE_SERVER="unix:$E2E_RUNTIME/no-server"
    "$binary" --gtest_filter='NoSoundDevice.*'
    ;;
  null-sink)
    command -v pulseaudio >/dev/null || { echo "SKIP: pulseaudio missing"; exit 77; }
    command -v parec >/dev/null || { echo "SKIP: parec missing"; exit 77; }
    e2e_start_pulse || e2e_fail "PulseAudio did not start"
    "$binary" --gtest_filter='NullSinkOutput.*'
    ;;
  *)
    e2e_fail "unknown mode $mode"
    ;;
esac
