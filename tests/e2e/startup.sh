#!/usr/bin/env bash
# The real program under Xvfb: the splash shows the about picture, then the borderless main
# window stands at (0, 0) at its design size; a session end (SIGTERM) runs the exit routine,
# which writes the screenshot counter, and the command-line movie is in the saved play list.
source "$(dirname "$0")/lib.sh"
BIN_DIR=$1
MOVIE=$2
ABOUT_PNG=$3

e2e_start_x
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

kill -TERM "$E2E_APP_PID"
wait "$E2E_APP_PID" || e2e_fail "program exited with status $?"
E2E_APP_PID=""

grep -q "^\[MyApp9\]" "$E2E_DIR/Settings.Tov" || e2e_fail "counter section not written"
grep -q "^Text3=Text3" "$E2E_DIR/Settings.Tov" || e2e_fail "counter not written"
grep -q "List2=$MOVIE" "$E2E_DIR/List2.Tov" || e2e_fail "movie not in the saved play list"
echo "PASS"
