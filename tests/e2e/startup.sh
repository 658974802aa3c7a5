#!/usr/bin/env bash
# The real program under Xvfb: the splash shows the about picture, then the borderless main
# window stands at (0, 0) at its design size, showing the movie's own background colour (the
# playback-background option is ticked on a first start: no override); a session end (SIGTERM)
# runs the exit routine, which writes the screenshot counter, and the command-line movie is in
# the saved play list. With the option off the movie area is practically black. A session end
# while the splash shows ends the program at once, writing nothing it never read.
source "$(dirname "$0")/lib.sh"
BIN_DIR=$1
MOVIE=$2
ABOUT_PNG=$3
RENDER=$4

e2e_start_x
e2e_start_pulse || e2e_fail "PulseAudio did not start"
e2e_app_folder "$BIN_DIR"

# splash_shown: the centre of the screen shows the about picture (338 x 209 pixels).
splash_shown() {
  import -window root -crop 338x209+343+280 +repage "$E2E_DIR/splash.png" 2>/dev/null
  local differ
  differ=$(compare -metric AE "$E2E_DIR/splash.png" "$ABOUT_PNG" null: 2>&1 || true)
  [ "${differ%% *}" -lt 2000 ]
}

ZD_SPLASH_MS=2500 "$E2E_DIR/zephyrdeck" "$MOVIE" &
E2E_APP_PID=$!
e2e_wait_until 10 splash_shown || e2e_fail "the splash does not show the about picture"

win=$(e2e_wait_for_window ZephyrDeck) || e2e_fail "main window never appeared"
e2e_wait_until 10 e2e_geometry_has "$win" "Position: 0,0 .*Geometry: 350x353" ||
  e2e_fail "main window not at (0,0) at its design size: $(e2e_geometry "$win")"

# The movie area is 300x300 pixels at (24, 24); (33, 25) on the screen is its pixel (9, 1), in
# the band around the stage that shows the background colour.
"$RENDER" --size 300x300 --png "$E2E_DIR/stage.png" "$MOVIE" || e2e_fail "render failed"
own=$(e2e_pixel "$E2E_DIR/stage.png" 9 1)
[ "$own" != "255,255,255" ] || e2e_fail "the sample movie should have a colour of its own"
e2e_wait_until 10 e2e_screen_pixel_is 33 25 "$own" ||
  e2e_fail "first start: movie area shows $(e2e_screen_pixel 33 25), the movie's own is $own"

kill -TERM "$E2E_APP_PID"
e2e_wait_exit "the program"

grep -q "^\[MyApp9\]" "$E2E_DIR/Settings.Tov" || e2e_fail "counter section not written"
grep -q "^Text3=Text3" "$E2E_DIR/Settings.Tov" || e2e_fail "counter not written"
grep -q "List2=$MOVIE" "$E2E_DIR/List2.Tov" || e2e_fail "movie not in the saved play list"

# With the option off, the movie area is 000001, practically black, over the stage too.
printf '[MyApp5]\nText7=0\n' >> "$E2E_DIR/Settings.Tov"
ZD_SPLASH_MS=0 "$E2E_DIR/zephyrdeck" "$MOVIE" &
E2E_APP_PID=$!
e2e_wait_for_window ZephyrDeck >/dev/null || e2e_fail "main window never appeared (second start)"
e2e_wait_until 10 e2e_screen_pixel_is 33 25 "1,0,0" ||
  e2e_fail "option off: movie area shows $(e2e_screen_pixel 33 25), not 1,0,0"
kill -TERM "$E2E_APP_PID"
e2e_wait_exit "the second run"

# A session end while the splash shows: the program ends at once, once; the counter it had not
# read yet keeps its stored value and the play list is not touched.
sed -i 's/^Text3=.*/Text3=5/' "$E2E_DIR/Settings.Tov"
lists=$(md5sum "$E2E_DIR/List.Tov" "$E2E_DIR/List2.Tov")
ZD_SPLASH_MS=60000 "$E2E_DIR/zephyrdeck" "$MOVIE" &
E2E_APP_PID=$!
e2e_wait_until 10 splash_shown || e2e_fail "the splash does not show (third start)"
kill -TERM "$E2E_APP_PID"
e2e_wait_until 5 bash -c "! kill -0 $E2E_APP_PID 2>/dev/null" ||
  e2e_fail "a session end during the splash did not end the program at once"
e2e_wait_exit "the third run"
grep -q "^Text3=5$" "$E2E_DIR/Settings.Tov" || e2e_fail "counter overwritten: $(cat "$E2E_DIR/Settings.Tov")"
[ "$(md5sum "$E2E_DIR/List.Tov" "$E2E_DIR/List2.Tov")" = "$lists" ] || e2e_fail "play list changed"
xdotool search --onlyvisible --name '^ZephyrDeck$' >/dev/null 2>&1 && e2e_fail "a window outlived the program"
echo "PASS"
