#!/usr/bin/env bash
# The real program under Xvfb with a tray host (trayer): the association written at the start
# (xdg-mime names our entry), the tray button, the icon's left click and menu, the floating
# window's menu, real drag and drop (our drag source driven by xdotool) of files and text on the
# floating window and of files on the main panel, leaving through the tray menu; then the
# program moved to a folder with a blank and started through its desktop entry with a path
# that has a blank.
# Screenshots stay in $ZD_E2E_SHOTS when that is set.
source "$(dirname "$0")/lib.sh"
BIN_DIR=$1
MOVIE=$2
DRAG=$3

for tool in trayer xdg-mime; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool missing"; exit 77; }
done

# The tray is the X11 one trayer hosts, not one on a session bus.
unset DBUS_SESSION_BUS_ADDRESS XDG_CURRENT_DESKTOP
e2e_start_x
e2e_start_pulse || e2e_fail "PulseAudio did not start"
e2e_app_folder "$BIN_DIR"
mkdir -p "$E2E_DIR/movies"
for name in first second third "with blank"; do cp "$MOVIE" "$E2E_DIR/movies/$name.swf"; done

trayer --edge top --align right --widthtype pixel --width 100 --height 24 >/dev/null 2>&1 &
TRAYER_PID=$!
stop_trayer() { kill "$TRAYER_PID" 2>/dev/null || true; e2e_cleanup || true; }
trap stop_trayer EXIT
xdotool search --sync --limit 1 --class trayer >/dev/null 2>&1 || true

shot() {
  import -window root "$E2E_DIR/$1.png"
  if [ -n "${ZD_E2E_SHOTS:-}" ]; then mkdir -p "$ZD_E2E_SHOTS" && cp "$E2E_DIR/$1.png" "$ZD_E2E_SHOTS/"; fi
}
viewable() { xwininfo -id "$1" 2>/dev/null | grep -q "IsViewable"; }
# wait_until CONDITION...: up to 5 s.
wait_until() {
  for _ in $(seq 1 50); do "$@" && return 0; sleep 0.1; done
  return 1
}
not() { ! "$@"; }
# floating_shown [X Y]: the floating window (49 x 50 pixels) is shown at (X, Y), by default at
# the top middle of the screen, (512, 0).
floating_shown() {
  local id
  for id in $(xdotool search --onlyvisible --class zephyrdeck 2>/dev/null); do
    xdotool getwindowgeometry "$id" | grep -q "Position: ${1:-512},${2:-0} " && return 0
  done
  return 1
}
# The tray icon's window: the program's window inside trayer's panel (top right corner).
tray_icon() {
  local id x y
  for id in $(xdotool search --class zephyrdeck 2>/dev/null); do
    eval "$(xdotool getwindowgeometry --shell "$id")"
    x=$X y=$Y
    if [ "$x" -ge 924 ] && [ "$y" -lt 24 ] && [ "$WIDTH" -le 24 ] && viewable "$id"; then
      echo "$((x + WIDTH / 2)) $((y + HEIGHT / 2))"
      return 0
    fi
  done
  return 1
}
# drag ARGS... -- X Y: starts our drag source at (600, 600) with ARGS and drags it to (X, Y).
drag_to() {
  local args=() x y out
  while [ "$1" != "--" ]; do args+=("$1"); shift; done
  x=$2 y=$3
  out="$E2E_DIR/drag.out"
  "$DRAG" --at 600,600 "${args[@]}" >"$out" &
  e2e_wait_for_window zephyrdeck-dragsource >/dev/null || e2e_fail "drag source never appeared"
  xdotool mousemove 660 640 mousedown 1
  sleep 0.2
  for step in 1 2 3 4; do
    xdotool mousemove $((660 + (x - 660) * step / 4)) $((640 + (y - 640) * step / 4))
    sleep 0.1
  done
  xdotool mousemove "$x" "$y"
  sleep 0.3
  xdotool mouseup 1
  # The source serves the data for a while after the drop, then ends by itself.
  for _ in $(seq 1 50); do [ -s "$out" ] && break; sleep 0.1; done
  grep -q dropped "$out" || e2e_fail "the drop on ($x, $y) was refused: $(cat "$out")"
}
list2() { cat "$E2E_DIR/List2.Tov" 2>/dev/null || true; }

ZD_SPLASH_MS=0 "$E2E_DIR/zephyrdeck" &
E2E_APP_PID=$!
win=$(e2e_wait_for_window ZephyrDeck) || e2e_fail "main window never appeared"
sleep 1

# Registered at the start.
default=$(xdg-mime query default application/x-shockwave-flash)
[ "$default" = "MyPlayer.desktop" ] || e2e_fail "xdg-mime names '$default'"
grep -qx "Exec=$E2E_DIR/zephyrdeck %f" "$XDG_DATA_HOME/applications/MyPlayer.desktop" ||
  e2e_fail "desktop entry: $(cat "$XDG_DATA_HOME/applications/MyPlayer.desktop")"

# To the tray: the main window goes, the floating window and the icon come.
xdotool mousemove 217 9 click 1
wait_until not viewable "$win" || e2e_fail "main window still shown after the tray button"
wait_until floating_shown || e2e_fail "floating window not shown"
icon=$(wait_until tray_icon && tray_icon) || e2e_fail "no icon in the tray"
shot tray
read -r icon_x icon_y <<<"$icon"

# The left button drags the floating window (it follows the mouse from the first move on),
# and back.
xdotool mousemove 530 25 mousedown 1 sleep 0.1 mousemove 531 26 sleep 0.1 mousemove 431 126 \
  sleep 0.1 mouseup 1
wait_until floating_shown 412 100 || e2e_fail "the floating window was not dragged"
xdotool mousemove 430 125 mousedown 1 sleep 0.1 mousemove 431 126 sleep 0.1 mousemove 531 26 \
  sleep 0.1 mouseup 1
wait_until floating_shown || e2e_fail "the floating window was not dragged back"

# The floating window's menu (right button at (20, 20) of it): "打开主窗口" comes back.
xdotool mousemove 532 20 click 3
sleep 0.5
shot floating-menu
xdotool mousemove 582 46 click 1
wait_until viewable "$win" || e2e_fail "the floating menu did not bring the main window back"
wait_until not floating_shown || e2e_fail "floating window still shown"

# To the tray again; a left click on the icon comes back.
xdotool mousemove 217 9 click 1
wait_until not viewable "$win" || e2e_fail "main window still shown (second time)"
xdotool mousemove "$icon_x" "$icon_y" click 1
wait_until viewable "$win" || e2e_fail "the icon's left click did not bring the main window back"
wait_until not floating_shown || e2e_fail "floating window still shown after the icon's click"

# To the tray again; a double click on the floating window comes back.
xdotool mousemove 217 9 click 1
wait_until floating_shown || e2e_fail "floating window not shown (third time)"
xdotool mousemove 530 25 click --repeat 2 --delay 80 1
wait_until viewable "$win" || e2e_fail "the double click did not bring the main window back"
wait_until not floating_shown || e2e_fail "floating window still shown after the double click"

# A file dropped on the floating window loads and lists it; the ready movie brings the main
# window back.
xdotool mousemove 217 9 click 1
wait_until not viewable "$win" || e2e_fail "main window still shown (fourth time)"
wait_until floating_shown || e2e_fail "floating window not shown (fourth time)"
drag_to --file "$E2E_DIR/movies/first.swf" -- 530 25
wait_until viewable "$win" || e2e_fail "the movie dropped on the floating window did not come up"
list2 | grep -q "=$E2E_DIR/movies/first.swf$" || e2e_fail "first.swf not listed: $(list2)"
shot dropped-on-floating

# Three files dropped on the main panel: the first plays and only it is listed.
drag_to --file "$E2E_DIR/movies/second.swf" --file "$E2E_DIR/movies/third.swf" -- 4 250
wait_until bash -c "grep -q 'second.swf' '$E2E_DIR/List2.Tov'" ||
  e2e_fail "second.swf not listed: $(list2)"
list2 | grep -q "third.swf" && e2e_fail "third.swf listed too"
shot dropped-on-panel

# Text dropped on the floating window loads the movie and lists nothing.
before=$(list2)
xdotool mousemove 217 9 click 1
wait_until floating_shown || e2e_fail "floating window not shown (fifth time)"
drag_to --text "$E2E_DIR/movies/with blank.swf" -- 530 25
wait_until viewable "$win" || e2e_fail "the text dropped on the floating window did not load"
[ "$(list2)" = "$before" ] || e2e_fail "the dropped text changed the list"

# The icon's menu (right button): "退出" ends the program, the icon goes with it.
xdotool mousemove "$icon_x" "$icon_y" click 3
sleep 0.5
shot tray-menu
xdotool mousemove 903 702 click 1
for _ in $(seq 1 50); do kill -0 "$E2E_APP_PID" 2>/dev/null || break; sleep 0.1; done
kill -0 "$E2E_APP_PID" 2>/dev/null && e2e_fail "the tray menu's exit did not end the program"
e2e_wait_exit "the program"
not tray_icon || e2e_fail "the icon outlived the program"

# Moved to a folder with a blank and opened through its entry with a path that has a blank.
moved="$E2E_DIR/moved away"
mkdir -p "$moved"
cp "$E2E_DIR/zephyrdeck" "$moved/"
(cd "$moved" && ZD_SPLASH_MS=0 ./zephyrdeck >/dev/null 2>&1 &
  echo $! >"$E2E_DIR/moved.pid")
for _ in $(seq 1 50); do
  [ "$(readlink "$XDG_DATA_HOME/zephyrdeck/zephyrdeck")" = "$moved/zephyrdeck" ] && break
  sleep 0.1
done
kill "$(cat "$E2E_DIR/moved.pid")" 2>/dev/null || true
exec_line=$(sed -n 's/^Exec=//p' "$XDG_DATA_HOME/applications/MyPlayer.desktop")
# The folder's name has a blank: the entry starts a link to the program.
[ "$exec_line" = "$XDG_DATA_HOME/zephyrdeck/zephyrdeck %f" ] || e2e_fail "moved: Exec=$exec_line"
[ "$(readlink "$XDG_DATA_HOME/zephyrdeck/zephyrdeck")" = "$moved/zephyrdeck" ] ||
  e2e_fail "moved: the link leads to $(readlink "$XDG_DATA_HOME/zephyrdeck/zephyrdeck")"
default=$(xdg-mime query default application/x-shockwave-flash)
[ "$default" = "MyPlayer.desktop" ] || e2e_fail "moved: xdg-mime names '$default'"
# The desktop's way: the value's escapes undone, the file as one argument for %f.
movie="$E2E_DIR/movies/with blank.swf"
command=${exec_line//\\\\/\\}
command=${command//%f/\"\$movie\"}
eval "ZD_SPLASH_MS=0 $command &"
E2E_APP_PID=$!
for _ in $(seq 1 50); do
  grep -q "=$movie$" "$moved/List2.Tov" 2>/dev/null && break
  sleep 0.1
done
grep -q "=$movie$" "$moved/List2.Tov" || e2e_fail "opened through the entry: $(cat "$moved/List2.Tov")"
echo "PASS"
