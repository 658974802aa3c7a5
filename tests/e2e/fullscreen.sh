#!/usr/bin/env bash
# The real program under Xvfb: the full-screen button puts the movie over the whole screen; the
# bar comes with a cursor move and goes about two seconds later; two captures write 0.bmp and
# 1.bmp (the counter starts with no number on a first start) with the upper 8/9 of the screen,
# the movie; leaving gives back the window exactly where and as it was; the title bar drags the
# window and its double click maximises and restores; the counter is kept.
source "$(dirname "$0")/lib.sh"
BIN_DIR=$1
MOVIE=$2

e2e_start_x
e2e_start_pulse || e2e_fail "PulseAudio did not start"
e2e_app_folder "$BIN_DIR"
CAPTURES="$E2E_DIR/captures"
mkdir "$CAPTURES"
printf '[Myapp8]\nText8=%s\n' "$CAPTURES" >"$E2E_DIR/Settings.Tov"

ZD_SPLASH_MS=0 "$E2E_DIR/zephyrdeck" "$MOVIE" &
E2E_APP_PID=$!
win=$(e2e_wait_for_window ZephyrDeck) || e2e_fail "main window never appeared"
sleep 0.8
# Away from the origin, so that leaving has a place to restore.
xdotool windowmove "$win" 120 80
e2e_wait_until 10 e2e_geometry_has "$win" "Position: 120,80 " || true
sleep 0.3

shot() { import -window root "$E2E_DIR/$1.png"; }
geometry() { xdotool getwindowgeometry "$win" | tail -n +2 | tr -s ' \n' ' '; }
bar_in() { e2e_bar_shows "$E2E_DIR/$1.png"; }
# shot_with_bar NAME: waits up to ten seconds for a picture of the screen showing the bar.
shot_with_bar() { e2e_wait_until 10 shot_shows_bar "$1"; }
shot_shows_bar() { shot "$1" && bar_in "$1"; }
read -r capture_x capture_y <<<"$(e2e_bar_button capture)"
read -r resume_x resume_y <<<"$(e2e_bar_button resume)"
# written N: N.bmp is there and whole.
written() { identify "$CAPTURES/$1.bmp" >/dev/null 2>&1; }
now_ms() { date +%s%3N; }
# capture_of SHOT N: N.bmp is a bitmap file of the screen's upper 8/9 and shows what SHOT,
# taken just before, showed there: the movie's lowest 40 rows, right above the bar, to the
# pixel, and all of it but for what the movie moved in between (under a fifth).
capture_of() {
  local bmp="$CAPTURES/$2.bmp" size differ
  [ -f "$bmp" ] || e2e_fail "capture $2 not written: $(ls "$CAPTURES")"
  [ "$(head -c 2 "$bmp")" = "BM" ] || e2e_fail "$2.bmp is no bitmap file"
  size=$(identify -format "%wx%h" "$bmp")
  [ "$size" = "1024x683" ] || e2e_fail "$2.bmp is $size, not the upper 8/9 of the screen"
  convert "$E2E_DIR/$1.png" -crop 1024x683+0+0 +repage "$E2E_DIR/shown.png"
  differ=$(compare -metric AE -fuzz 3% "$bmp" "$E2E_DIR/shown.png" null: 2>&1 || true)
  [ "${differ%% *}" -lt 140000 ] || e2e_fail "$2.bmp is not what the screen showed ($differ pixels differ)"
  convert "$bmp" -crop 1024x40+0+643 +repage "$E2E_DIR/low-rows.png"
  convert "$E2E_DIR/shown.png" -crop 1024x40+0+643 +repage "$E2E_DIR/shown-rows.png"
  differ=$(compare -metric AE -fuzz 3% "$E2E_DIR/low-rows.png" "$E2E_DIR/shown-rows.png" null: 2>&1 || true)
  [ "${differ%% *}" = "0" ] || e2e_fail "$2.bmp's lowest rows are not the movie's ($differ pixels differ)"
}

windowed_geometry=$(geometry)
echo "$windowed_geometry" | grep -q "Position: 120,80 .*Geometry: 350x353" ||
  e2e_fail "window not at (120, 80) at its design size: $windowed_geometry"
shot windowed

# The full-screen button: the left column's second button (8 + 8, 88 + 8 in the window).
xdotool mousemove 136 176 click 1
e2e_wait_until 10 e2e_geometry_has "$win" "Position: 0,0 .*Geometry: 1024x768" ||
  e2e_fail "full screen does not cover the screen: $(geometry)"
sleep 0.6
shot full
bar_in full && e2e_fail "the bar is up without a cursor move"

# First capture, the cursor low on the screen (over the capture button at the right end of the
# bar's second row), which keeps the bar up.
xdotool mousemove "$capture_x" "$capture_y"
shot_with_bar low || e2e_fail "the bar did not come with the cursor"
shot low
xdotool click 1
e2e_wait_until 10 written 0 || true
capture_of low 0

# The cursor high: the bar goes within three ticks.
xdotool mousemove 500 300
gone=""
for _ in $(seq 1 30); do
  sleep 0.2
  shot poll
  bar_in poll || { gone=1; break; }
done
[ -n "$gone" ] || e2e_fail "the bar stays up with the cursor high"

# From a still screen: a move brings the bar at once, it goes about two seconds later.
xdotool mousemove 520 320
came=$(now_ms)
shot_with_bar came || e2e_fail "the bar did not come with a cursor move"
went=""
# Timed from the start of the first picture without the bar: a loaded machine takes a while to
# write and read a picture of the screen.
while [ $(($(now_ms) - came)) -lt 4000 ]; do
  polled=$(now_ms)
  shot poll
  bar_in poll || { went=$polled; break; }
  sleep 0.1
done
[ -n "$went" ] || e2e_fail "the bar did not go"
shown_ms=$((went - came))
[ "$shown_ms" -ge 1700 ] && [ "$shown_ms" -le 3300 ] ||
  e2e_fail "the bar was up for $shown_ms ms, not about two seconds"
# A still cursor leaves it away.
sleep 1.2
shot still
bar_in still && e2e_fail "the bar came back with the cursor still"

# Second capture.
xdotool mousemove "$capture_x" "$capture_y"
shot_with_bar before-capture || e2e_fail "the bar did not come for the second capture"
shot before-capture
xdotool click 1
e2e_wait_until 10 written 1 || true
capture_of before-capture 1
colours=$(identify -format "%k" "$CAPTURES/1.bmp")
[ "$colours" -gt 100 ] || e2e_fail "1.bmp has only $colours colours: no movie in it"

# Leaving: the resume button, above the capture button at the bar's right end.
xdotool mousemove "$resume_x" "$resume_y" click 1
back() { [ "$(geometry)" = "$windowed_geometry" ]; }
e2e_wait_until 10 back ||
  e2e_fail "left full screen to $(geometry), not $windowed_geometry"
sleep 0.3
shot restored
# The skin as it was: the title bar, and the panel's left column down to the counter labels.
for region in 350x24+120+80 32x230+120+104; do
  convert "$E2E_DIR/windowed.png" -crop "$region" +repage "$E2E_DIR/a.png"
  convert "$E2E_DIR/restored.png" -crop "$region" +repage "$E2E_DIR/b.png"
  differ=$(compare -metric AE "$E2E_DIR/a.png" "$E2E_DIR/b.png" null: 2>&1 || true)
  [ "${differ%% *}" = "0" ] || e2e_fail "the window's $region differs after leaving ($differ)"
done

# The title bar drags the window (it follows the mouse from the first move with the button
# held); its double click maximises, 380 twips short of the screen's height, and restores.
xdotool mousemove 220 90 mousedown 1
sleep 0.1
xdotool mousemove 221 90
sleep 0.1
xdotool mousemove 321 140
sleep 0.1
xdotool mouseup 1
sleep 0.3
dragged=$(geometry)
echo "$dragged" | grep -q "Position: 220,130 .*Geometry: 350x353" ||
  e2e_fail "the title-bar drag did not move the window to (220, 130): $dragged"
xdotool click --repeat 2 --delay 100 1
sleep 0.4
geometry | grep -q "Position: 0,0 .*Geometry: 1024x743" || e2e_fail "not maximised: $(geometry)"
xdotool mousemove 100 10 click --repeat 2 --delay 100 1
sleep 0.4
[ "$(geometry)" = "$dragged" ] || e2e_fail "not restored: $(geometry)"

kill -TERM "$E2E_APP_PID"
e2e_wait_exit "the program"
grep -q "^Text3=2" "$E2E_DIR/Settings.Tov" || e2e_fail "counter not kept: $(cat "$E2E_DIR/Settings.Tov")"
[ -n "${E2E_KEEP:-}" ] && cp "$E2E_DIR"/*.png "$CAPTURES"/*.bmp "$E2E_KEEP"/
echo "PASS"
