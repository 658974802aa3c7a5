#!/usr/bin/env bash
# The real program under Xvfb with a window manager (openbox) and a panel along the bottom edge
# (trayer, red): full screen puts the window into the window manager's full-screen state and
# covers the panel; leaving takes the state away and gives back the window where it was, with
# the panel showing again. Skipped where openbox or trayer is missing.
source "$(dirname "$0")/lib.sh"
BIN_DIR=$1
MOVIE=$2

command -v openbox >/dev/null && command -v trayer >/dev/null ||
  { echo "SKIP: openbox or trayer missing"; exit 77; }
e2e_start_x
e2e_start_pulse || e2e_fail "PulseAudio did not start"
e2e_app_folder "$BIN_DIR"

openbox >/dev/null 2>&1 &
WM_PID=$!
PANEL_PID=""
stop_desktop() {
  [ -n "$PANEL_PID" ] && kill "$PANEL_PID" 2>/dev/null || true
  kill "$WM_PID" 2>/dev/null || true
  e2e_cleanup
}
trap stop_desktop EXIT
wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; }
e2e_wait_until 10 wm_running || e2e_fail "openbox did not start"
e2e_start_trayer --edge bottom --align left --widthtype percent --width 100 --height 30 \
  --transparent true --alpha 0 --tint 0xff0000 || e2e_fail "trayer did not start"
PANEL_PID=$E2E_TRAYER_PID

ZD_SPLASH_MS=0 "$E2E_DIR/zephyrdeck" "$MOVIE" &
E2E_APP_PID=$!
win=$(e2e_wait_for_window ZephyrDeck) || e2e_fail "main window never appeared"
geometry() { xdotool getwindowgeometry "$win" | tail -n +2 | tr -s ' \n' ' '; }
state() { xprop -id "$win" _NET_WM_STATE; }
viewable() { xwininfo -id "$win" 2>/dev/null | grep -q "IsViewable"; }
not() { ! "$@"; }
e2e_wait_until 10 viewable || e2e_fail "main window not mapped"
xdotool windowmove "$win" 200 100
e2e_wait_until 10 e2e_geometry_has "$win" "Position: 200,100 " || e2e_fail "window not moved: $(geometry)"
# Red pixels of the panel in the screen's lowest 30 rows.
panel_pixels() {
  import -window root "$E2E_DIR/$1.png"
  convert "$E2E_DIR/$1.png" -crop 1024x30+0+738 +repage -fuzz 5% -fill black +opaque "#ff0000" \
    -fill white -opaque "#ff0000" -format "%[fx:int(mean*w*h+0.5)]" info:
}

windowed=$(geometry)
panel_shows() { [ "$(panel_pixels "$1")" -gt 20000 ]; }
panel_covered() { [ "$(panel_pixels full)" = "0" ]; }
full() { state | grep -q "_NET_WM_STATE_FULLSCREEN"; }
e2e_wait_until 10 panel_shows windowed || e2e_fail "the panel does not show"

xdotool mousemove 216 196 click 1
e2e_wait_until 10 full || e2e_fail "not in the full-screen state: $(state)"
e2e_wait_until 10 e2e_geometry_has "$win" "Position: 0,0 .*Geometry: 1024x768" ||
  e2e_fail "full screen: $(geometry)"
e2e_wait_until 10 panel_covered ||
  e2e_fail "the panel shows over the full-screen window ($(panel_pixels full) pixels)"

# The bar, then its resume button.
bar_up() { import -window root "$E2E_DIR/bar.png" 2>/dev/null && e2e_bar_shows "$E2E_DIR/bar.png"; }
read -r resume_x resume_y <<<"$(e2e_bar_button resume)"
xdotool mousemove "$resume_x" "$resume_y"
e2e_wait_until 10 bar_up || e2e_fail "the full-screen bar did not show"
xdotool click 1
e2e_wait_until 10 not full || e2e_fail "still in the full-screen state"
back() { [ "$(geometry)" = "$windowed" ]; }
e2e_wait_until 10 back || e2e_fail "left full screen to $(geometry), not $windowed"
e2e_wait_until 10 panel_shows left || e2e_fail "the panel does not show again"

kill -TERM "$E2E_APP_PID"
e2e_wait_exit "the program"
echo "PASS"
