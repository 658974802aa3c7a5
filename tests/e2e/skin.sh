#!/usr/bin/env bash
# The real program under Xvfb: the main window's skin at its design size and at twice that
# size. Every button face is its bitmap at its place (doubled at 2x), hover and press swap the
# faces, the whole window has the same proportions at both sizes, and holding the enlarge and
# shrink buttons grows the window to the screen at (0, 0) and snaps it back to 5220 x 5325 twips.
source "$(dirname "$0")/lib.sh"
BIN_DIR=$1
BITMAPS=$2

e2e_start_x
e2e_start_pulse || e2e_fail "PulseAudio did not start"
e2e_app_folder "$BIN_DIR"

ZD_SPLASH_MS=0 "$E2E_DIR/zephyrdeck" &
E2E_APP_PID=$!
win=$(e2e_wait_for_window ZephyrDeck) || e2e_fail "main window never appeared"
sleep 1.5

shot() { import -window root "$E2E_DIR/$1.png"; }

# face SHOT ID X Y SCALE [SKIPX SKIPY]: the screen at (X, Y) shows bitmap ID enlarged SCALE
# times; the first SKIPX columns and SKIPY rows (at scale 1) lie under a neighbour and are left out.
face() {
  local shot=$1 id=$2 x=$3 y=$4 scale=$5 skipx=${6:-0} skipy=${7:-0}
  local w h
  w=$(identify -format "%w" "$BITMAPS/$id.bmp")
  h=$(identify -format "%h" "$BITMAPS/$id.bmp")
  local cw=$(((w - skipx) * scale)) ch=$(((h - skipy) * scale))
  local sx=$((skipx * scale)) sy=$((skipy * scale))
  convert "$BITMAPS/$id.bmp" -scale "$((scale * 100))%" -crop "${cw}x${ch}+${sx}+${sy}" +repage \
    "$E2E_DIR/want.png"
  convert "$E2E_DIR/$shot.png" -crop "${cw}x${ch}+$((x + sx))+$((y + sy))" +repage \
    "$E2E_DIR/got.png"
  local differ
  differ=$(compare -metric AE "$E2E_DIR/got.png" "$E2E_DIR/want.png" null: 2>&1 || true)
  [ "${differ%% *}" = "0" ] || e2e_fail "$shot: bitmap $id not at ($x, $y) x$scale ($differ pixels differ)"
}

# Design places in pixels (twips / 15; panel controls 360 twips lower). Neighbours overlap by
# two pixels: the maximise button lies on the close button, minimise on maximise, and the
# enlarge button on the shrink button.
faces() {
  local shot=$1 s=$2 close=$3
  face "$shot" 128 $((208 * s)) 0 "$s"
  face "$shot" 119 $((232 * s)) 0 "$s"
  face "$shot" 116 $((248 * s)) 0 "$s" 2
  face "$shot" "$close" $((264 * s)) 0 "$s" 2
  face "$shot" 131 $((8 * s)) $((64 * s)) "$s"
  face "$shot" 136 $((8 * s)) $((88 * s)) "$s"
  face "$shot" 134 $((8 * s)) $((112 * s)) "$s"
  face "$shot" 102 $((8 * s)) $((168 * s)) "$s"
  face "$shot" 104 $((8 * s)) $((184 * s)) "$s" 0 2
  face "$shot" 127 $((8 * s)) $((312 * s)) "$s"
  face "$shot" 125 $((8 * s)) $((328 * s)) "$s"
}

shot design
faces design 1 106
# Title bar and panel gradients in the options' design colours (sliders 90, 130, 190, + 50),
# brightest at the top; the title bar's bands are under a pixel high, so its top row shows the
# first or the second band.
[ "$(e2e_pixel "$E2E_DIR/design.png" 340 26)" = "140,180,240" ] ||
  e2e_fail "panel gradient starts at $(e2e_pixel "$E2E_DIR/design.png" 340 26)"
case "$(e2e_pixel "$E2E_DIR/design.png" 100 0)" in
  140,180,240 | 136,176,236) ;;
  *) e2e_fail "title bar gradient starts at $(e2e_pixel "$E2E_DIR/design.png" 100 0)" ;;
esac

# Hover: the close button lights up; the title bar puts it back. Press and release: stop.
xdotool mousemove 273 9
sleep 0.3
shot hover
face hover 108 264 0 1 2
xdotool mousemove 100 10
sleep 0.3
shot title
face title 106 264 0 1 2
xdotool mousemove 16 317 mousedown 1
sleep 0.3
shot pressed
face pressed 126 8 312 1
xdotool mouseup 1
sleep 0.3
shot released
face released 127 8 312 1
xdotool mousemove 300 200

# Twice the design size: every face doubled at its doubled place.
xdotool windowsize "$win" 700 706
sleep 1
shot double
faces double 2 106

# Same proportions: the doubled window halved matches the design one, except what keeps its
# own size by design (the panel's corner picture, the counter labels, 255 twips high whatever
# the size) and the scroll bars, whose one-pixel borders blur when halved.
mask=(-fill black -draw "rectangle 0,24 37,56" -draw "rectangle 0,270 25,306"
  -draw "rectangle 32,327 330,336" -draw "rectangle 255,337 330,346")
convert "$E2E_DIR/design.png" -crop 350x353+0+0 +repage "${mask[@]}" "$E2E_DIR/p1.png"
convert "$E2E_DIR/double.png" -crop 700x706+0+0 +repage -filter box -resize 350x353\! \
  "${mask[@]}" "$E2E_DIR/p2.png"
differ=$(compare -metric AE -fuzz 6% "$E2E_DIR/p1.png" "$E2E_DIR/p2.png" null: 2>&1 || true)
[ "${differ%% *}" -lt 250 ] || e2e_fail "proportions differ at 2x: $differ of 123550 pixels"

# Holding the enlarge button (at 2x: 16 + 2 x 9 = 34, 2 x 177 = 354) grows the window to the
# screen, at (0, 0).
xdotool windowmove "$win" 60 40
xdotool mousemove 94 394 mousedown 1
sleep 1.5
xdotool mouseup 1
sleep 0.3
geometry=$(xdotool getwindowgeometry "$win")
echo "$geometry" | grep -q "Position: 0,0" || e2e_fail "enlarged window not at (0,0): $geometry"
echo "$geometry" | grep -q "Geometry: 1024x768" || e2e_fail "enlarged window not screen-sized: $geometry"
# Holding the shrink button (now at 255 x 15360/5250, 2895 x 11520/5295 twips) snaps it to
# 5220 x 5325 twips.
xdotool mousemove 50 420 mousedown 1
sleep 1
xdotool mouseup 1
sleep 0.3
geometry=$(xdotool getwindowgeometry "$win")
echo "$geometry" | grep -q "Geometry: 348x355" || e2e_fail "shrunk window not 348x355: $geometry"

kill -TERM "$E2E_APP_PID"
e2e_wait_exit "the program"
echo "PASS"
