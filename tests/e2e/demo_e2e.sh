#!/usr/bin/env bash
# The demo in a real X window: starts a virtual X server, starts zant-demo on it, clicks
# its buttons with xdotool as a user would, and checks screenshots region by region.
# Finally closes the window the way a window manager's close button does and expects
# the program to exit with 0.
#
# Usage: demo_e2e.sh <zant-demo> <zant-wm-close> <work folder for screenshots>
set -euo pipefail

demo=$1
wm_close=$2
work=$3
mkdir -p "$work"
rm -f "$work"/*.png "$work"/*.txt "$work"/*.previous

for tool in Xvfb xdotool import convert; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is not installed (script/bootstrap installs it)"
    exit 77
  fi
done

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

xvfb_pid=
demo_pid=
cleanup() {
  [[ -n "$demo_pid" ]] && kill "$demo_pid" 2>/dev/null || true
  # Wait until the server is gone: a test that starts next may take the same display
  # number, and a server still going down would remove its socket.
  if [[ -n "$xvfb_pid" ]]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
}
trap cleanup EXIT

# A virtual X server on a display number it picks itself. -noreset: by default it resets
# whenever its last client leaves, refusing connections meanwhile.
exec 3>"$work/display.txt"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
exec 3>&-
for _ in $(seq 1 100); do
  [[ -s "$work/display.txt" ]] && break
  sleep 0.1
done
[[ -s "$work/display.txt" ]] || { echo "FAIL: Xvfb did not start"; cat "$work/xvfb.log"; exit 1; }
export DISPLAY=":$(tr -d '[:space:]' <"$work/display.txt")"
echo "display $DISPLAY"
# Use the display only once a client can connect to it.
for _ in $(seq 1 50); do
  xdpyinfo >/dev/null 2>&1 && break
  sleep 0.1
done
xdpyinfo >/dev/null 2>&1 || { echo "FAIL: the virtual display does not answer"; exit 1; }

"$demo" >"$work/demo.log" 2>&1 &
demo_pid=$!

win=
for _ in $(seq 1 100); do
  win=$(xdotool search --onlyvisible --name '^Zant Layer Demo$' 2>/dev/null | head -n 1 || true)
  [[ -n "$win" ]] && break
  kill -0 "$demo_pid" 2>/dev/null || break
  sleep 0.1
done
if [[ -z "$win" ]]; then
  echo "FAIL: the demo window did not appear"
  cat "$work/demo.log"
  exit 1
fi
eval "$(xdotool getwindowgeometry --shell "$win")"
echo "window $win at $X,$Y size ${WIDTH}x$HEIGHT"
# The X window holds what the layer draws: a menu bar, if the demo has one, above a
# 400x300 client area. The window manager would draw the frame and title around it.
if [[ "$WIDTH" != 400 ]] || ((HEIGHT < 300 || HEIGHT > 340)); then
  echo "FAIL: window size: expected 400 wide and 300 high (plus a menu bar), got ${WIDTH}x$HEIGHT"
  exit 1
fi
# Screen position of the client area; everything below is in client coordinates.
menu_h=$((HEIGHT - 300))
win_x=$X
win_y=$((Y + menu_h))

# shot NAME: a screenshot of the screen, and the window's part of it as "r g b" lines,
# row by row (line 1 + y * 400 + x holds pixel x, y).
shot() {
  import -window root "$work/$1.png"
  loaded=
  convert "$work/$1.png" -crop "400x300+$win_x+$win_y" +repage -depth 8 rgb:- |
    od -An -v -tu1 -w3 >"$work/$1.txt"
}
# at NAME X Y: sets rgb to "r g b" of one pixel of the window. Not to be called in a
# subshell: the screenshot is read once and kept for the next calls.
loaded=
pixels=()
rgb=
at() {
  if [[ "$loaded" != "$1" ]]; then
    mapfile -t pixels < <(awk '{ print $1, $2, $3 }' "$work/$1.txt")
    loaded=$1
  fi
  rgb=${pixels[$(($3 * 400 + $2))]:-}
}
# in_box: the awk condition for "this line's pixel lies in the box x0, y0, x1, y1".
in_box='(x = (NR - 1) % 400) >= x0 && x < x1 && (y = int((NR - 1) / 400)) >= y0 && y < y1'
# count NAME X0 Y0 X1 Y1 R G B: how many pixels of the box [X0,X1) x [Y0,Y1) have that colour.
count() {
  awk -v x0="$2" -v y0="$3" -v x1="$4" -v y1="$5" -v r="$6" -v g="$7" -v b="$8" "
    $in_box"' && $1 == r && $2 == g && $3 == b { n++ }
    END { print n + 0 }' "$work/$1.txt"
}
# dark NAME X0 Y0 X1 Y1: how many pixels of the box are dark (text ink, smoothed or not).
dark() {
  awk -v x0="$2" -v y0="$3" -v x1="$4" -v y1="$5" "$in_box"' && $1 + $2 + $3 < 240 { n++ }
    END { print n + 0 }' "$work/$1.txt"
}
# span NAME X0 Y0 X1 Y1 R G B: the left and right x of the pixels of that colour in the box.
span() {
  awk -v x0="$2" -v y0="$3" -v x1="$4" -v y1="$5" -v r="$6" -v g="$7" -v b="$8" "
    $in_box"' && $1 == r && $2 == g && $3 == b {
      if (lo == "" || x < lo) lo = x
      if (hi == "" || x > hi) hi = x
    }
    END { print (lo == "" ? -1 : lo), (hi == "" ? -1 : hi) }' "$work/$1.txt"
}
expect_rgb() {  # expect_rgb NAME X Y R G B TOLERANCE WHAT
  local got r g b
  at "$1" "$2" "$3"
  got=$rgb
  read -r r g b <<<"$got"
  local d=$7
  if ((r < $4 - d || r > $4 + d || g < $5 - d || g > $5 + d || b < $6 - d || b > $6 + d)); then
    fail "$8 at ($2,$3) in $1: expected about ($4,$5,$6), got ($got)"
  fi
}
bright=
brightness() {  # brightness NAME X Y: sets bright to the pixel's mean of r, g and b
  local r g b
  at "$1" "$2" "$3"
  read -r r g b <<<"$rgb"
  bright=$(((r + g + b) / 3))
}

# Where the demo puts things (client coordinates).
button_left=(22 148 274)
button_top=244
button_w=104
button_h=32
status=(0 176 400 206)
status_rgb=(0 224 96)
caption_rgb=(160 160 160)

# picture_ready NAME: the title is drawn and all three button faces are grey.
picture_ready() {
  local l
  for l in "${button_left[@]}"; do
    at "$1" $((l + 5)) $((button_top + 5))
    [[ "$rgb" == "192 192 192" ]] || return 1
  done
  (($(count "$1" 20 10 300 42 255 255 255) > 0))
}
check_buttons() {  # check_buttons NAME: three raised grey buttons with their labels
  local name=$1 i
  for i in 0 1 2; do
    local l=${button_left[$i]} t=$button_top
    local r=$((l + button_w - 1)) b=$((t + button_h - 1))  # right and bottom edges
    expect_rgb "$name" $((l + 5)) $((t + 5)) 192 192 192 8 "face of button $((i + 1))"
    expect_rgb "$name" $((r - 5)) $((b - 5)) 192 192 192 8 "face of button $((i + 1))"
    # Raised: the top and left edges are lit, the bottom and right ones in shadow.
    local face top left bottom right
    brightness "$name" $((l + 5)) $((t + 5)) && face=$bright
    brightness "$name" $((l + button_w / 2)) "$t" && top=$bright
    brightness "$name" "$l" $((t + button_h / 2)) && left=$bright
    brightness "$name" $((l + button_w / 2)) "$b" && bottom=$bright
    brightness "$name" "$r" $((t + button_h / 2)) && right=$bright
    ((top > face && left > face)) ||
      fail "button $((i + 1)) in $name: top/left edge ($top/$left) not lighter than its face ($face)"
    ((bottom < face && right < face)) ||
      fail "button $((i + 1)) in $name: bottom/right edge ($bottom/$right) not darker than its face ($face)"
    # The label: dark text in the middle of the face.
    local ink
    ink=$(dark "$name" $((l + 20)) $((t + 6)) $((r - 20)) $((b - 6)))
    ((ink >= 20)) || fail "button $((i + 1)) in $name: expected its label in dark text, found $ink dark pixels"
  done
}

check_picture() {  # check_picture NAME: the parts of the picture that never change
  local name=$1
  local -a black_points=("5 5" "395 5" "200 160" "390 220" "5 295" "395 295" "200 238")
  for p in "${black_points[@]}"; do
    # shellcheck disable=SC2086
    expect_rgb "$name" $p 0 0 0 0 "background"
  done
  expect_rgb "$name" 200 46 255 200 0 0 "rule under the title"
  expect_rgb "$name" 70 70 0 128 255 0 "filled box"
  expect_rgb "$name" 30 104 0 128 255 0 "filled box"
  local title
  title=$(count "$name" 20 10 300 42 255 255 255)
  ((title >= 100)) || fail "title in $name: expected white text, found $title white pixels"
  local caption
  caption=$(count "$name" 140 64 395 140 "${caption_rgb[@]}")
  ((caption >= 100)) || fail "caption in $name: expected grey text, found $caption grey pixels"
}

# click BUTTON_INDEX: a press and release in the middle of a button.
click() {
  local cx=$((${button_left[$1]} + button_w / 2)) cy=$((button_top + button_h / 2))
  xdotool mousemove --window "$win" "$cx" $((cy + menu_h)) click 1
}
# shot_when NAME CONDITION...: screenshots until the condition holds and the window has
# settled (two screenshots in a row alike: the layer shows each drawing step at once, so
# a screenshot may otherwise catch a control half drawn). At most about 10 s.
shot_when() {
  local name=$1
  shift
  rm -f "$work/$name.txt"
  for _ in $(seq 1 50); do
    [[ -f "$work/$name.txt" ]] && mv "$work/$name.txt" "$work/$name.previous"
    shot "$name"
    if "$@" "$name" && cmp -s "$work/$name.txt" "$work/$name.previous" 2>/dev/null; then
      return 0
    fi
    sleep 0.2
  done
  return 0
}
status_ink() { count "$1" "${status[@]}" "${status_rgb[@]}"; }
has_status_ink() { (($(status_ink "$1") > 0)); }

# --- Before any click -------------------------------------------------------------
shot_when before picture_ready
check_picture before
check_buttons before
n=$(status_ink before)
((n == 0)) || fail "before any click the status line should not be in the clicked colour ($n pixels are)"
n=$(count before "${status[@]}" "${caption_rgb[@]}")
((n >= 50)) || fail "before any click the status line should say 'Click a button' in grey ($n grey pixels)"

# --- Click "Two" ----------------------------------------------------------------------
click 1
shot_when after_two has_status_ink
check_picture after_two
check_buttons after_two
two_ink=$(status_ink after_two)
read -r two_lo two_hi <<<"$(span after_two "${status[@]}" "${status_rgb[@]}")"
echo "after Two: $two_ink status pixels, x $two_lo..$two_hi"
((two_ink >= 50)) || fail "after clicking Two the status line should be drawn in the clicked colour ($two_ink pixels)"
n=$(count after_two "${status[@]}" "${caption_rgb[@]}")
((n == 0)) || fail "after clicking Two the grey 'Click a button' should be gone ($n grey pixels left)"

# --- Press on "One", release outside it: no click ----------------------------------
# one_sunken NAME: button One looks pressed in (its top edge is in shadow, not lit).
one_sunken() {
  local top face
  brightness "$1" $((${button_left[0]} + button_w / 2)) "$button_top" && top=$bright
  brightness "$1" $((${button_left[0]} + 5)) $((button_top + 5)) && face=$bright
  ((top < face))
}
one_raised() { ! one_sunken "$1"; }
xdotool mousemove --window "$win" $((${button_left[0]} + 50)) $((button_top + 16 + menu_h)) mousedown 1
shot_when pressed one_sunken
one_sunken pressed || fail "a pressed button should look sunken (its top edge in shadow)"
xdotool mousemove --window "$win" 200 $((120 + menu_h)) mouseup 1
shot_when released one_raised
n=$(status_ink released)
((n == two_ink)) || fail "releasing outside the button must not click it (status pixels $two_ink -> $n)"
check_buttons released

# --- Click "Three": a longer line -----------------------------------------------------
click 2
three_longer() {
  read -r three_lo three_hi <<<"$(span "$1" "${status[@]}" "${status_rgb[@]}")"
  ((three_hi > two_hi))
}
shot_when after_three three_longer
read -r three_lo three_hi <<<"$(span after_three "${status[@]}" "${status_rgb[@]}")"
echo "after Three: x $three_lo..$three_hi"
((three_lo == two_lo)) || fail "the status line should start where it did ($two_lo), starts at $three_lo"
((three_hi > two_hi + 10)) ||
  fail "'Clicked: Three' should reach further right than 'Clicked: Two' ($two_hi), reaches $three_hi"
check_picture after_three
check_buttons after_three

# --- Close through the window manager's protocol --------------------------------------
"$wm_close" "$win" || fail "could not ask the window to close"
code=
for _ in $(seq 1 100); do
  if ! kill -0 "$demo_pid" 2>/dev/null; then
    set +e
    wait "$demo_pid"
    code=$?
    set -e
    demo_pid=
    break
  fi
  sleep 0.1
done
if [[ -z "$code" ]]; then
  fail "the demo did not exit within 10 s of closing its window"
elif ((code != 0)); then
  fail "the demo exited with $code, expected 0"
  cat "$work/demo.log"
fi

if ((failures > 0)); then
  echo "$failures check(s) failed; screenshots in $work"
  exit 1
fi
echo "demo e2e: all checks passed; screenshots in $work"
