#!/usr/bin/env bash
# The real program on a desktop with a window manager (openbox) and a tray host (trayer, top
# right): a title drag moves the window and ends with the release (moving the pointer afterwards
# leaves the window where it is); a left click on the tray icon brings a minimised window back,
# not minimised; capture on a fresh install asks for the capture folder and writes the picture
# there, counting it; the full-screen bar's buttons stand where its layout puts them, all on the
# screen. The screen is 1024x768 unless the third argument names another size (1920x1080).
# Screenshots stay in $ZD_E2E_SHOTS when that is set.
source "$(dirname "$0")/lib.sh"
BIN_DIR=$1
MOVIE=$2
SCREEN_SIZE=${3:-1024x768}
SCREEN_W=${SCREEN_SIZE%x*}
SCREEN_H=${SCREEN_SIZE#*x}

for tool in openbox trayer xprop xwininfo; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool missing"; exit 77; }
done
# The tray is the X11 one trayer hosts, not one on a session bus.
unset DBUS_SESSION_BUS_ADDRESS XDG_CURRENT_DESKTOP
e2e_start_x "$SCREEN_SIZE"
e2e_start_pulse || e2e_fail "PulseAudio did not start"
e2e_app_folder "$BIN_DIR"

openbox >"$E2E_DIR/openbox.log" 2>&1 &
WM_PID=$!
TRAYER_PID=""
stop_desktop() {
  [ -n "$TRAYER_PID" ] && kill "$TRAYER_PID" 2>/dev/null || true
  kill "$WM_PID" 2>/dev/null || true
  e2e_cleanup
}
trap stop_desktop EXIT
wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; }
e2e_wait_until 10 wm_running || e2e_fail "openbox did not start: $(cat "$E2E_DIR/openbox.log")"
e2e_start_trayer --edge top --align right --widthtype pixel --width 100 --height 24 ||
  e2e_fail "trayer did not start"
TRAYER_PID=$E2E_TRAYER_PID

shot() {
  import -window root "$E2E_DIR/$1.png"
  if [ -n "${ZD_E2E_SHOTS:-}" ]; then mkdir -p "$ZD_E2E_SHOTS" && cp "$E2E_DIR/$1.png" "$ZD_E2E_SHOTS/"; fi
}
viewable() { xwininfo -id "$1" 2>/dev/null | grep -q "IsViewable"; }
not() { ! "$@"; }
position() { xdotool getwindowgeometry "$win" | sed -n 's/.*Position: \([0-9-]*,[0-9-]*\).*/\1/p'; }
at() { [ "$(position)" = "$1" ]; }
# stays_at X,Y: the window keeps that place through twenty checks over two seconds.
stays_at() {
  for _ in $(seq 1 20); do at "$1" || return 1; sleep 0.1; done
}

ZD_SPLASH_MS=0 "$E2E_DIR/zephyrdeck" "$MOVIE" &
E2E_APP_PID=$!
win=$(e2e_wait_for_window ZephyrDeck) || e2e_fail "main window never appeared"
e2e_wait_until 10 viewable "$win" || e2e_fail "main window not mapped"
xdotool windowmove "$win" 100 100
e2e_wait_until 10 at 100,100 || e2e_fail "the window manager did not move the window: $(position)"

# The title drag: press on the title strip and move; the window manager takes the move from the
# first motion on (motions sent before it has the pointer are lost, so the last one is repeated
# until the window is there), and the window stays put once the button is up.
# drag_to FROM_X FROM_Y TO_X TO_Y: the window's place after a drag from the pointer's FROM to TO
# is its place before, moved by TO - (FROM + 1 pixel to the right, the first motion).
drag_to() {
  local before target
  before=$(position)
  target="$((${before%,*} + $3 - $1 - 1)),$((${before#*,} + $4 - $2))"
  xdotool mousemove "$1" "$2" mousedown 1
  xdotool mousemove $(($1 + 1)) "$2"
  follows() { xdotool mousemove "$3" $(($4 + 1)) mousemove "$3" "$4"; at "$target"; }
  e2e_wait_until 10 follows "$@" ||
    e2e_fail "the title drag moved the window to $(position), not $target"
  xdotool mouseup 1
  xdotool mousemove $(($3 + 200)) $(($4 + 150))
  stays_at "$target" || e2e_fail "after the release the window followed the pointer to $(position)"
}
drag_to 250 110 400 210
home=$(position)
read -r wx wy <<<"${home/,/ }"

# The tray: the tray button on the title strip (208 pixels in) hides the window behind an icon
# in trayer's panel; a left click on the icon brings it back, and does so too after the window
# was minimised.
tray_icon() {
  local id WINDOW X Y WIDTH HEIGHT SCREEN
  for id in $(xdotool search --class zephyrdeck 2>/dev/null); do
    eval "$(xdotool getwindowgeometry --shell "$id")"
    if [ "$WIDTH" -le 24 ] && [ "$HEIGHT" -le 24 ] && viewable "$id"; then
      echo "$((X + WIDTH / 2)) $((Y + HEIGHT / 2))"
      return 0
    fi
  done
  return 1
}
hidden() { xprop -id "$win" _NET_WM_STATE | grep -q _NET_WM_STATE_HIDDEN; }
xdotool mousemove $((wx + 217)) $((wy + 9)) click 1
e2e_wait_until 10 not viewable "$win" || e2e_fail "the tray button did not hide the window"
e2e_wait_until 10 tray_icon >/dev/null || { shot tray; e2e_fail "no tray icon"; }
read -r icon_x icon_y < <(tray_icon)
xdotool mousemove "$icon_x" "$icon_y" click 1
e2e_wait_until 10 viewable "$win" || e2e_fail "a tray click did not bring the window back"
e2e_wait_until 10 at "$home" || e2e_fail "the window came back at $(position), not $home"
xdotool windowminimize "$win"
e2e_wait_until 10 not viewable "$win" || e2e_fail "the window did not minimise"
read -r icon_x icon_y < <(tray_icon)
# A click that comes before the program has heard of the minimise finds nothing to undo, so the
# click is repeated every two seconds; a window that never comes back fails.
back_by_click() {
  xdotool mousemove "$icon_x" "$icon_y" click 1
  e2e_wait_until 2 viewable "$win"
}
e2e_wait_until 10 back_by_click || {
  shot tray-minimised
  e2e_fail "tray clicks left the minimised window hidden: $(xprop -id "$win" _NET_WM_STATE WM_STATE)"
}
e2e_wait_until 10 not hidden || e2e_fail "the window is still minimised: $(xprop -id "$win" _NET_WM_STATE)"
e2e_wait_until 10 at "$home" || e2e_fail "the window came back at $(position), not $home"

# Full screen (the left column's second button), then the bar at the bottom.
xdotool mousemove $((wx + 16)) $((wy + 96)) click 1
full() { xprop -id "$win" _NET_WM_STATE | grep -q _NET_WM_STATE_FULLSCREEN; }
e2e_wait_until 10 full || e2e_fail "not in full screen: $(xprop -id "$win" _NET_WM_STATE)"
e2e_wait_until 10 at 0,0 || e2e_fail "full screen at $(position)"
read -r capture_x capture_y <<<"$(e2e_bar_button capture "$SCREEN_W" "$SCREEN_H")"
read -r resume_x resume_y <<<"$(e2e_bar_button resume "$SCREEN_W" "$SCREEN_H")"
bar_up() { shot "bar-$SCREEN_SIZE" 2>/dev/null && e2e_bar_shows "$E2E_DIR/bar-$SCREEN_SIZE.png" "$SCREEN_H"; }
xdotool mousemove "$capture_x" "$capture_y"
e2e_wait_until 10 bar_up || e2e_fail "the full-screen bar did not show"
# The bar's right end column and its bottom row show only the bar's light-blue gradient (no
# button cut off at the screen's edge), and both buttons show where the layout puts them.
# bar_only CROP: every pixel of that part of the bar picture is of the gradient.
bar_only() {
  convert "$E2E_DIR/bar-$SCREEN_SIZE.png" -crop "$1" +repage -depth 8 txt:- | awk '
    NR > 1 { split($2, c, /[(),]/); if (c[4] < 200 || c[2] < 100 || c[2] > 180) odd++ }
    END { exit odd > 0 }'
}
bar_top=$(awk -v h="$SCREEN_H" 'BEGIN { printf "%d\n", h / 1.1278 + 5 }')  # below its top edge
bar_only "1x$((SCREEN_H - bar_top))+$((SCREEN_W - 1))+$bar_top" ||
  e2e_fail "a button runs off the screen's right edge (see bar-$SCREEN_SIZE.png)"
bar_only "${SCREEN_W}x1+0+$((SCREEN_H - 1))" ||
  e2e_fail "a button runs off the screen's bottom edge (see bar-$SCREEN_SIZE.png)"
bar_only "5x5+$((capture_x - 2))+$((capture_y - 2))" && e2e_fail "no capture button at $capture_x,$capture_y"
bar_only "5x5+$((resume_x - 2))+$((resume_y - 2))" && e2e_fail "no resume button at $resume_x,$resume_y"

# Capture on a fresh install: the stored folder is no folder, so it is asked for; the picture
# lands in the folder chosen and the counter counts it.
captures="$E2E_DIR/captures"
mkdir "$captures"
xdotool click 1
chooser() { xdotool search --onlyvisible --name "抓图将被保存到" 2>/dev/null | head -n1; }
asked() { [ -n "$(chooser)" ]; }
e2e_wait_until 10 asked || { shot capture-click; e2e_fail "capture did not ask for a folder"; }
dialog=$(chooser)
xdotool windowactivate --sync "$dialog" 2>/dev/null || true
# The folder's name goes into the dialog's name field, which has the focus.
typed() { xdotool getactivewindow 2>/dev/null | grep -qx "$dialog"; }
e2e_wait_until 10 typed || e2e_fail "the folder dialog did not get the focus"
xdotool type --delay 20 "$captures"
xdotool key Return
one_picture() { [ "$(find "$captures" -type f | wc -l)" -eq 1 ]; }
e2e_wait_until 15 one_picture || {
  shot capture
  e2e_fail "no picture written to $captures: $(grep Text8 "$E2E_DIR/Settings.Tov"; find "$E2E_DIR" -name "*.bmp")"
}
e2e_wait_until 10 not viewable "$dialog" || e2e_fail "the folder dialog stayed"
picture=$(find "$captures" -type f)
size=$(identify -format "%wx%h" "$picture") || e2e_fail "$picture is no picture"
[ "$size" = "${SCREEN_W}x$(awk -v h="$SCREEN_H" 'BEGIN { printf "%d\n", h * 8 / 9 + 0.5 }')" ] ||
  e2e_fail "the picture is $size, not the screen's upper 8/9"

# The resume button at the right end of the first row leaves full screen.
e2e_wait_until 10 full || e2e_fail "full screen left with the capture"
xdotool mousemove "$resume_x" "$resume_y"
e2e_wait_until 10 bar_up || e2e_fail "the full-screen bar did not show again"
xdotool click 1
e2e_wait_until 10 not full || e2e_fail "the resume button did not leave full screen"
e2e_wait_until 10 at "$home" || e2e_fail "left full screen to $(position)"

kill -TERM "$E2E_APP_PID"
e2e_wait_exit "the program"
counter=$(sed -n 's/^Text3=//p' "$E2E_DIR/Settings.Tov" | tr -d '\r')
[ -n "$counter" ] && [ "$counter" != "Text3" ] || e2e_fail "the counter did not count the picture: '$counter'"
# The folder chosen is stored when the options window's play page is confirmed, not by the
# capture itself, so it is not looked for in the settings here.
echo "PASS"
