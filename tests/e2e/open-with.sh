#!/usr/bin/env bash
# A movie opened with xdg-open on a desktop without a desktop environment (xdg-open's generic
# mode) starts the program through the desktop entry it wrote at its first start, also when the
# program's folder has a percent sign, blanks and quotes in its name: the program runs from its
# own folder and puts the movie in its play list.
source "$(dirname "$0")/lib.sh"
BIN_DIR=$1
MOVIE=$2

command -v xdg-open >/dev/null || { echo "SKIP: xdg-open missing"; exit 77; }
command -v file >/dev/null || { echo "SKIP: file missing"; exit 77; }
e2e_start_x
e2e_start_pulse || e2e_fail "PulseAudio did not start"
e2e_app_folder "$BIN_DIR"

# No desktop environment to be detected, no session bus: xdg-open falls back to the desktop
# entries named in mimeapps.list.
unset XDG_CURRENT_DESKTOP DESKTOP_SESSION KDE_FULL_SESSION GNOME_DESKTOP_SESSION_ID \
  MATE_DESKTOP_SESSION_ID DBUS_SESSION_BUS_ADDRESS BROWSER
export XDG_DATA_DIRS=/usr/local/share:/usr/share

app="$E2E_DIR/100% \"Zephyr\" \$Deck's"
mkdir "$app"
mv "$E2E_DIR/zephyrdeck" "$E2E_DIR/sound" "$app/"
mkdir "$E2E_DIR/movies"
movie="$E2E_DIR/movies/my 50% movie.swf"
cp "$MOVIE" "$movie"

# The first start writes the desktop entry.
ZD_SPLASH_MS=0 "$app/zephyrdeck" &
E2E_APP_PID=$!
e2e_wait_for_window ZephyrDeck >/dev/null || e2e_fail "main window never appeared (first start)"
entry="$XDG_DATA_HOME/applications/MyPlayer.desktop"
e2e_wait_until 10 test -s "$entry" || e2e_fail "no desktop entry written"
kill -TERM "$E2E_APP_PID"
e2e_wait_exit "the first start"
rm -f "$app/List.Tov" "$app/List2.Tov"

[ "$(xdg-mime query filetype "$movie")" = "application/x-shockwave-flash" ] ||
  e2e_fail "the movie's type is $(xdg-mime query filetype "$movie")"
[ "$(xdg-mime query default application/x-shockwave-flash)" = "MyPlayer.desktop" ] ||
  e2e_fail "MyPlayer.desktop is not the default: $(xdg-mime query default application/x-shockwave-flash)"

# xdg-open waits for the program it starts; it ends with the program.
xdg-open "$movie" >"$E2E_DIR/xdg-open.log" 2>&1 &
opener=$!
started() { pgrep -P "$opener" -f zephyrdeck >/dev/null; }
e2e_wait_until 20 started || {
  wait "$opener" || true
  e2e_fail "xdg-open did not start the program ($(grep '^Exec=' "$entry")): $(cat "$E2E_DIR/xdg-open.log")"
}
program=$(pgrep -P "$opener" -f zephyrdeck | head -n1)
[ "$(readlink -f "/proc/$program/exe")" = "$(readlink -f "$app/zephyrdeck")" ] ||
  e2e_fail "xdg-open started $(readlink -f "/proc/$program/exe")"
e2e_wait_for_window ZephyrDeck >/dev/null || e2e_fail "main window never appeared (xdg-open)"
kill -TERM "$program"
status=0
e2e_wait_until 30 bash -c "! kill -0 $opener 2>/dev/null" || e2e_fail "the program did not end"
wait "$opener" || status=$?
[ "$status" -eq 0 ] || e2e_fail "xdg-open ended with $status: $(cat "$E2E_DIR/xdg-open.log")"
grep -qxF "List2=$movie" <(tr -d '\r' <"$app/List2.Tov") ||
  e2e_fail "the movie is not in the play list of the program's folder: $(cat "$app/List2.Tov" 2>&1)"
echo "PASS"
