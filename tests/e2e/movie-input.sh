#!/usr/bin/env bash
# The mouse reaches the movie as a user gives it: under Xvfb, a click (xdotool) on a button
# of a movie in the main window's movie area changes the picture as the button's actions say.
# The movie comes from the shared corpus; without it the check is skipped.
source "$(dirname "$0")/lib.sh"
BIN_DIR=$1
MOVIE=$2

[ -f "$MOVIE" ] || { echo "SKIP: $MOVIE is absent"; exit 77; }
command -v xdotool >/dev/null || { echo "SKIP: xdotool missing"; exit 77; }

e2e_start_x
e2e_start_pulse || e2e_fail "PulseAudio did not start"
e2e_app_folder "$BIN_DIR"

ZD_SPLASH_MS=0 "$E2E_DIR/zephyrdeck" "$MOVIE" &
E2E_APP_PID=$!
win=$(e2e_wait_for_window ZephyrDeck) || e2e_fail "main window never appeared"
e2e_wait_until 10 e2e_geometry_has "$win" "Position: 0,0 " ||
  e2e_fail "main window not at (0,0): $(e2e_geometry "$win")"

# The movie area is 300x300 pixels at (24, 24); the 1024x768 stage shows scaled by 300/1024
# from 37.5 pixels down. The red button's centre, stage (125, 52), is at (61, 77) on the
# screen; pressing it shows a yellow bar at stage (293..300, 37..60): (111, 76) on the screen.
yellow() {
  local r g b
  IFS=, read -r r g b <<<"$(e2e_screen_pixel 111 76)"
  [ "$r" -ge 200 ] && [ "$g" -ge 200 ] && [ "$b" -le 80 ]
}
e2e_wait_until 10 e2e_screen_pixel_is 200 200 "102,102,102" ||
  e2e_fail "the movie does not show: $(e2e_screen_pixel 200 200)"
yellow && e2e_fail "the bar shows before the click"
xdotool mousemove 61 77
xdotool click 1
e2e_wait_until 5 yellow || e2e_fail "the click changed nothing: $(e2e_screen_pixel 111 76)"

kill -TERM "$E2E_APP_PID"
e2e_wait_exit "the program"
