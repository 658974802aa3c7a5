#!/usr/bin/env bash
# The real program under Xvfb: the splash shows the about picture, then the borderless main
# window stands at (0, 0) at its design size; a session end (SIGTERM) runs the exit routine,
# which writes the screenshot counter, and the command-line movie is in the saved play list.
source "$(dirname "$0")/lib.sh"
BIN_DIR=$1
MOVIE=$2
ABOUT_PNG=$3

RENDER=$4

e2e_start_x
e2e_start_pulse || e2e_fail "PulseAudio did not start"
e2e_app_folder "$BIN_DIR"

ZD_SPLASH_MS=2500 "$E2E_DIR/zephyrdeck" "$MOVIE" &
E2E_APP_PID=$!

# The splash: centred, 338 x 209 pixels, the about picture.
sleep 1.2
import -window root "$E2E_DIR/splash.png"
convert "$E2E_DIR/splash.png" -crop 338x209+343+280 +repage "$E2E_DIR/splash-crop.png"
diff_pixels=$(compare -metric AE "$E2E_DIR/splash-crop.png" "$ABOUT_PNG" null: 2>&1 || true)
[ "${diff_pixels%% *}" -lt 2000 ] || e2e_fail "splash does not show the about picture ($diff_pixels pixels differ)"

win=$(e2e_wait_for_window ZephyrDeck) || e2e_fail "main window never appeared"
sleep 2
geometry=$(xdotool getwindowgeometry "$win")
echo "$geometry" | grep -q "Position: 0,0" || e2e_fail "main window not at (0,0): $geometry"
echo "$geometry" | grep -q "Geometry: 350x353" || e2e_fail "main window not at design size: $geometry"

# The movie area (480, 360 twips in): on a first start the white-background option ends ticked.
import -window root "$E2E_DIR/main.png"
shown=$(e2e_pixel "$E2E_DIR/main.png" 33 25)
[ "$shown" = "255,255,255" ] || e2e_fail "first start: movie area shows $shown, not white"

kill -TERM "$E2E_APP_PID"
e2e_wait_exit "the program"

grep -q "^\[MyApp9\]" "$E2E_DIR/Settings.Tov" || e2e_fail "counter section not written"
grep -q "^Text3=Text3" "$E2E_DIR/Settings.Tov" || e2e_fail "counter not written"
grep -q "List2=$MOVIE" "$E2E_DIR/List2.Tov" || e2e_fail "movie not in the saved play list"
# With the option off, the movie area shows the movie's own background colour.
printf '[MyApp5]\nText7=0\n' >> "$E2E_DIR/Settings.Tov"
ZD_SPLASH_MS=0 "$E2E_DIR/zephyrdeck" "$MOVIE" &
E2E_APP_PID=$!
e2e_wait_for_window ZephyrDeck >/dev/null || e2e_fail "main window never appeared (second start)"
sleep 1.5
import -window root "$E2E_DIR/main2.png"
# The movie area is 300x300 pixels; (33, 25) on the screen is its pixel (1, 1), in the band
# around the stage that shows the background colour.
"$RENDER" --size 300x300 --png "$E2E_DIR/stage.png" "$MOVIE" || e2e_fail "render failed"
expected=$(e2e_pixel "$E2E_DIR/stage.png" 1 1)
shown=$(e2e_pixel "$E2E_DIR/main2.png" 33 25)
[ "$shown" = "$expected" ] || e2e_fail "movie area shows $shown, the movie's background is $expected"
kill -TERM "$E2E_APP_PID"
e2e_wait_exit "the second run"
echo "PASS"
