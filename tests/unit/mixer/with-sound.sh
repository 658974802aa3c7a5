#!/usr/bin/env bash
# with-sound.sh MODE TEST_BINARY: runs the binary's mixer cases for MODE.
#   no-device: ALSA's default control names a card that does not exist, and no sound server
#              can be reached (nor started on demand).
#   null-sink: a private PulseAudio server with a null sink; ALSA's default device reaches it
#              through its PulseAudio plugin. Skipped (77) when PulseAudio is not installed.
source "$(dirname "$0")/../../e2e/lib.sh"
mode=$1
binary=$2
trap 'e2e_cleanup || true' EXIT

case "$mode" in
  no-device)
    E2E_RUNTIME=$(mktemp -d)
    chmod 700 "$E2E_RUNTIME"
    echo 'ctl.!default { type hw card 31 }' >"$E2E_RUNTIME/asound.conf"
    export XDG_RUNTIME_DIR="$E2E_RUNTIME" PULSE_SERVER="unix:$E2E_RUNTIME/no-server"
    export ALSA_CONFIG_PATH="$E2E_RUNTIME/asound.conf"
    "$binary" --gtest_filter='NoMixerDevice.*'
    ;;
  null-sink)
    command -v pulseaudio >/dev/null || { echo "SKIP: pulseaudio missing"; exit 77; }
    [ -f /usr/share/alsa/alsa.conf.d/pulse.conf ] ||
      [ -f /usr/share/alsa/alsa.conf.d/50-pulseaudio.conf ] ||
      { echo "SKIP: ALSA's PulseAudio plugin missing"; exit 77; }
    e2e_start_pulse || e2e_fail "PulseAudio did not start"
    "$binary" --gtest_filter='NullSinkMixer.*'
    ;;
  *)
    e2e_fail "unknown mode $mode"
    ;;
esac
