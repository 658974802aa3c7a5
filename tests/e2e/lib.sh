# Shared helpers of the end-to-end checks: a private X server and a private copy of the
# application folder, so a run never touches build/bin's settings or play lists.
set -euo pipefail

e2e_fail() { echo "FAIL: $*" >&2; exit 1; }

# e2e_start_x [WIDTHxHEIGHT]: starts Xvfb (1024x768 unless given, 24 bits) and exports
# DISPLAY. The display number is picked at random above 100, away from the low numbers other
# programs on the machine start their servers on, and a server that does not answer is
# replaced by one on another number.
e2e_start_x() {
  command -v Xvfb >/dev/null || { echo "SKIP: Xvfb missing"; exit 77; }
  local fd_file display attempt
  trap 'e2e_cleanup' EXIT
  for attempt in 1 2 3 4 5; do
    display=$((100 + RANDOM % 800))
    [ -e "/tmp/.X$display-lock" ] && continue
    fd_file=$(mktemp)
    # -noreset: the server would otherwise reset as the last client leaves, and a program
    # started right after another ended could meet it mid-reset and fail to connect.
    Xvfb ":$display" -displayfd 3 -screen 0 "${1:-1024x768}x24" -nolisten tcp -noreset 3>"$fd_file" \
      2>/dev/null &
    E2E_XVFB_PID=$!
    for _ in $(seq 1 100); do
      [ -s "$fd_file" ] && break
      kill -0 "$E2E_XVFB_PID" 2>/dev/null || break
      sleep 0.05
    done
    local ready
    ready=$(tr -d '[:space:]' <"$fd_file")
    rm -f "$fd_file"
    export DISPLAY=":$display"
    # Only a server of our own counts: when another check took the number first, ours has
    # ended and that other server would answer in its place.
    [ "$ready" = "$display" ] && kill -0 "$E2E_XVFB_PID" 2>/dev/null &&
      xprop -root >/dev/null 2>&1 && return 0
    kill "$E2E_XVFB_PID" 2>/dev/null || true
    wait "$E2E_XVFB_PID" 2>/dev/null || true
  done
  e2e_fail "Xvfb did not start"
}

# e2e_start_pulse: a PulseAudio server with a null sink in a private runtime folder, so ALSA's
# default device has a mixer as on a desktop. Returns 1 when PulseAudio is missing.
e2e_start_pulse() {
  command -v pulseaudio >/dev/null || return 1
  E2E_RUNTIME=$(mktemp -d)
  chmod 700 "$E2E_RUNTIME"
  export XDG_RUNTIME_DIR="$E2E_RUNTIME"
  pulseaudio --daemonize=no --exit-idle-time=-1 -n --load=module-null-sink \
    --load=module-native-protocol-unix >/dev/null 2>&1 &
  E2E_PULSE_PID=$!
  for _ in $(seq 1 100); do
    [ -S "$E2E_RUNTIME/pulse/native" ] && return 0
    sleep 0.05
  done
  return 1
}

e2e_cleanup() {
  [ -n "${E2E_APP_PID:-}" ] && kill "$E2E_APP_PID" 2>/dev/null || true
  [ -n "${E2E_PULSE_PID:-}" ] && kill "$E2E_PULSE_PID" 2>/dev/null || true
  [ -n "${E2E_RUNTIME:-}" ] && rm -rf "$E2E_RUNTIME"
  [ -n "${E2E_XVFB_PID:-}" ] && kill "$E2E_XVFB_PID" 2>/dev/null || true
  [ -n "${E2E_DIR:-}" ] && rm -rf "$E2E_DIR"
}

# e2e_app_folder BIN_DIR: copies the executable and its sound folder into a scratch folder.
e2e_app_folder() {
  E2E_DIR=$(mktemp -d)
  cp "$1/zephyrdeck" "$E2E_DIR/"
  cp -r "$1/sound" "$E2E_DIR/" 2>/dev/null || true
  export E2E_DIR
  # The program registers itself with the desktop: keep that inside the scratch folder.
  export XDG_DATA_HOME="$E2E_DIR/xdg-data" XDG_CONFIG_HOME="$E2E_DIR/xdg-config"
}

# e2e_wait_exit WHAT: waits up to 30 s for the program to end after it was told to; a program
# that does not end fails the check with a picture of the screen instead of stalling the suite.
e2e_wait_exit() {
  local status=0
  for _ in $(seq 1 300); do
    kill -0 "$E2E_APP_PID" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$E2E_APP_PID" 2>/dev/null; then
    local shot="$PWD/stalled-$$.png"
    import -window root "$shot" 2>/dev/null || true
    e2e_fail "$1 did not end within 30 s (screen kept as $shot)"
  fi
  wait "$E2E_APP_PID" || status=$?
  E2E_APP_PID=""
  [ "$status" -eq 0 ] || e2e_fail "$1 exited with status $status"
}

# e2e_pixel FILE X Y: the pixel as "R,G,B".
e2e_pixel() {
  convert "$1" -format "%[fx:int(255*p{$2,$3}.r)],%[fx:int(255*p{$2,$3}.g)],%[fx:int(255*p{$2,$3}.b)]" info:
}

# e2e_wait_until SECONDS COMMAND...: runs COMMAND every tenth of a second until it succeeds;
# fails when it has not within SECONDS.
e2e_wait_until() {
  local limit=$1
  shift
  local end=$(($(date +%s%N) / 1000000 + limit * 1000))
  while :; do
    "$@" && return 0
    [ "$(($(date +%s%N) / 1000000))" -ge "$end" ] && return 1
    sleep 0.1
  done
}

# e2e_screen_pixel X Y: the screen's pixel now, as "R,G,B".
e2e_screen_pixel() {
  import -window root -crop "1x1+$1+$2" +repage "$E2E_DIR/pixel.png" 2>/dev/null
  e2e_pixel "$E2E_DIR/pixel.png" 0 0
}

# e2e_screen_pixel_is X Y R,G,B: the screen shows that colour there now.
e2e_screen_pixel_is() {
  [ "$(e2e_screen_pixel "$1" "$2")" = "$3" ]
}

# e2e_geometry ID: "Position: X,Y ... Geometry: WxH" of a window, on one line.
e2e_geometry() {
  xdotool getwindowgeometry "$1" 2>/dev/null | tail -n +2 | tr -s ' \n' ' '
}

# e2e_geometry_has ID TEXT: the window's geometry line holds TEXT ("Position: 0,0 ").
e2e_geometry_has() {
  e2e_geometry "$1" | grep -q "$2"
}

# e2e_wait_for_window NAME: waits until a window with that title is mapped; prints its id.
e2e_wait_for_window() {
  local id=""
  for _ in $(seq 1 100); do
    id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}

# e2e_bar_button NAME [WIDTH HEIGHT]: the centre ("X Y", pixels) of the full-screen bar's
# "resume" or "capture" button on a screen WIDTH x HEIGHT pixels (1024x768 unless given) of
# 15 twips a pixel. The bar starts at the screen's height / 1.1278; both buttons are 255 x 240
# twips with their right side 120 twips from the screen's edge, resume a 22.5th of the screen's
# height down the bar, capture a 13th.
e2e_bar_button() {
  awk -v name="$1" -v w="${2:-1024}" -v h="${3:-768}" 'BEGIN {
    W = w * 15; H = h * 15
    row = name == "capture" ? H / 13 : H / 22.5
    printf "%d %d\n", (W - 120 - 255 / 2) / 15, (H / 1.1278 + row + 240 / 2) / 15
  }'
}

# e2e_bar_shows FILE [HEIGHT]: the screen picture FILE shows the full-screen bar: its
# light-blue gradient at x 300, 20 rows into the bar (screen HEIGHT pixels, 768 unless given),
# where no button stands.
e2e_bar_shows() {
  local r g b y
  y=$(awk -v h="${2:-768}" 'BEGIN { printf "%d\n", h / 1.1278 + 20 }')
  IFS=, read -r r g b <<<"$(e2e_pixel "$1" 300 "$y")"
  [ "$b" -ge 200 ] && [ "$r" -ge 100 ] && [ "$r" -le 180 ]
}

# e2e_trayer_mapped: trayer's panel window is mapped (found by its name and class).
e2e_trayer_mapped() {
  local id
  id=$(xwininfo -root -tree 2>/dev/null | awk '/"panel": \("panel" "trayer"\)/ { print $1; exit }')
  [ -n "$id" ] && xwininfo -id "$id" 2>/dev/null | grep -q IsViewable
}

# e2e_start_trayer ARGS...: starts the tray host trayer with ARGS and waits for its panel;
# sets E2E_TRAYER_PID. Now and then trayer starts without ever mapping its panel, so one that
# has shown nothing after five seconds is replaced (three tries).
e2e_start_trayer() {
  local attempt
  for attempt in 1 2 3; do
    trayer "$@" >/dev/null 2>&1 &
    E2E_TRAYER_PID=$!
    e2e_wait_until 5 e2e_trayer_mapped && return 0
    kill "$E2E_TRAYER_PID" 2>/dev/null || true
    wait "$E2E_TRAYER_PID" 2>/dev/null || true
  done
  E2E_TRAYER_PID=""
  return 1
}
