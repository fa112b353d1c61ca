#!/usr/bin/env bash
# The Windows renderer of the control layer under Wine, with real input.
#
#   wine_controls.sh path/to/ondrel-gallery.exe [screenshot-folder]
#
# The test window (tests/wine/gallery) runs in a virtual desktop on Xvfb with
# a private Wine prefix; xdotool clicks, types and drags as a user would, and
# every event the window's components get is read back from its log: a
# button and a check box clicked, text typed into an edit, Tab to the next
# edit, Enter and Escape pressing the default and the cancel button, an Alt
# shortcut, an up-down arrow, a tab changed (the hidden tab not shown), rows
# selected with Ctrl-click and dragged onto another list (the selection of
# several rows surviving the press), a key reaching the list, a header
# divider dragged, the list's pop-up menu, a modal window that holds the
# other one, Alt+F4 (also without a close box), the window resized. Then the window once more on
# a screen of 144 DPI: scaled sizes, events in 96-DPI pixels. With a
# second argument, screenshots of both pages are left there. Every Wine
# process of the prefix is killed and the folder removed whatever happens.
# Exit status 0 only when every check passed.
set -u

EXE=${1:-}
SHOTS=${2:-}
DESKTOP="gallery,1024x768"
TIME_LIMIT=140  # seconds at most: it takes 60-110 s, a third of it the new prefix
STEP_TIMEOUT=8  # seconds for an event to reach the log

failures=0
pass() { echo "PASS: $*"; }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
T0=$(date +%s)
note() { echo "---- $* ($(($(date +%s) - T0)) s)"; }

if [[ -z "$EXE" || ! -f "$EXE" ]]; then
  echo "FAIL: no test window '$EXE' (build it with: cmake --preset windows && cmake --build --preset windows)"
  exit 1
fi
for tool in wine wineserver xvfb-run xdotool import; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed"; exit 1; }
done

HERE=$(cd "$(dirname "$0")" && pwd)
. "$HERE/wine_session.sh"
wine_session_begin ondrel-controls

note "creating the Wine prefix"
create_prefix

DIR="$WINEPREFIX/drive_c/gallery"
mkdir -p "$DIR"
cp "$EXE" "$DIR/ondrel-gallery.exe"
LOG="$DIR/gallery.log"

# Starts the test window and reads where its controls are.
declare -A L T R B
start_gallery() {
  [[ -f "$LOG" ]] && mv "$LOG" "$WORK/earlier.log"
  start_in_desktop "$DIR" "$DESKTOP" 'C:\gallery\ondrel-gallery.exe'
  for _ in $(seq 1 120); do
    [[ -f "$LOG" ]] && grep -qx ready "$LOG" && break
    kill -0 "$XVFB_PID" 2>/dev/null || break
    sleep 0.5
  done
  if ! grep -qx ready "$LOG" 2>/dev/null; then
    fail "the test window did not come up"
    [[ -f "$LOG" ]] && cat "$LOG"
    cat "$WORK/run.log"
    exit 1
  fi
  read_display
  local kind name l t r b
  while read -r kind name l t r b; do
    case "$kind" in
      at) L[$name]=$l T[$name]=$t R[$name]=$r B[$name]=$b ;;
      tab) L[tab$name]=$l T[tab$name]=$t R[tab$name]=$r B[tab$name]=$b ;;
      row) L[row$name]=$l ;;
    esac
  done <"$LOG"
}
note "starting the test window"
start_gallery
note "the window is up"

centre() { echo $(((L[$1] + R[$1]) / 2)) $(((T[$1] + B[$1]) / 2)); }
# The middle of row $2 of list $1.
row_at() { echo $((L[$1] + 40)) $((T[$1] + ${L[row$1]} * $2 + ${L[row$1]} / 2)); }
click() {  # name [button]
  read -r cx cy <<<"$(centre "$1")"
  x11 xdotool mousemove "$cx" "$cy" click "${2:-1}"
}

# Waits until the log has gained a line matching $1 (an extended regular
# expression) after line $2; the line number goes to $FOUND.
FOUND=0
wait_line() {
  local i n
  for i in $(seq 1 $((STEP_TIMEOUT * 10))); do
    n=$(tail -n +"$(($2 + 1))" "$LOG" | grep -nE -m1 -- "$1" | cut -d: -f1)
    [[ -n "$n" ]] && { FOUND=$(($2 + n)); return 0; }
    sleep 0.1
  done
  return 1
}
mark() { wc -l <"$LOG"; }
expect() {  # what line-regex
  local what=$1 re=$2
  if wait_line "$re" "$M"; then pass "$what"; else fail "$what: no line /$re/ in the log"; fi
}

wait_line '^measure ' 0 && echo "NOTE: $(sed -n "${FOUND}p" "$LOG")"
tabs=$(grep -c '^tab ' "$LOG")
[[ "$tabs" == 3 ]] && pass "the page control shows its three visible tabs, not the hidden one" ||
  fail "the page control shows $tabs tabs, expected 3"

# ---- buttons, check box, edits ---------------------------------------------------
M=$(mark); click ButtonOK
expect "a click on a button" '^Click ButtonOK$'
M=$(mark); click CheckBoxDebug
expect "a click on a check box toggles it" '^Click CheckBoxDebug checked=1$'
M=$(mark); click EditName; x11 xdotool type --delay 30 hello
expect "text typed into an edit" '^Change EditName text=hello$'
M=$(mark); x11 xdotool key Tab; x11 xdotool type --delay 30 xy
expect "Tab goes on to the next edit" '^Change EditOther text=xy$'
M=$(mark); x11 xdotool key alt+n; x11 xdotool type n
expect "Alt and a label's letter go to the edit after it, its text selected" '^Change EditName text=n$'
M=$(mark); x11 xdotool key Return
expect "Enter reaches the form as a key" '^Key FormGallery key=13$'
expect "Enter presses the default button" '^Click ButtonOK$'
M=$(mark); x11 xdotool key Escape
expect "Escape presses the cancel button" '^Click ButtonCancel$'
M=$(mark); x11 xdotool key alt+w
expect "an Alt shortcut of a check box's caption clicks it" '^Click CheckBoxDebug checked=0$'
M=$(mark)
read -r ux uy <<<"$(centre UpDown1)"
x11 xdotool mousemove "$ux" $((T[UpDown1] + 4)) click 1
expect "the up-down's upper arrow asks for the next position" '^Changing UpDown1 position=6$'
M=$(mark); x11 xdotool mousemove "$ux" $((B[UpDown1] - 4)) click 1
expect "and the lower one for the one below" '^Changing UpDown1 position=5$'
grep -q '^Change EditCount' "$LOG" && fail "the program's own change of an edit's text came back as the user's" ||
  pass "the program's own change of an edit's text reports nothing"
M=$(mark); x11 xdotool key alt+m
expect "an Alt shortcut of a tab's caption shows its page" '^Select Pages page=3$'
M=$(mark); x11 xdotool key ctrl+shift+Tab
expect "Ctrl+Shift+Tab shows the page before" '^Select Pages page=1$'
M=$(mark); x11 xdotool key ctrl+Tab
expect "Ctrl+Tab the next page" '^Select Pages page=3$'
M=$(mark); x11 xdotool key alt+c
expect "and Alt+C the first page again" '^Select Pages page=0$'
[[ -n "$SHOTS" ]] && { mkdir -p "$SHOTS"; x11 import -window root "$SHOTS/controls.png"; }

# ---- page control, lists, header -------------------------------------------------
M=$(mark); click tab1
expect "a click on the second tab shows its page" '^Select Pages page=1$'
sleep 0.3
M=$(mark); read -r rx ry <<<"$(row_at ListLeft 1)"; x11 xdotool mousemove "$rx" "$ry" click 1
expect "a click on a row selects it" '^Selection ListLeft rows=1 caret=1$'
M=$(mark); read -r rx ry <<<"$(row_at ListLeft 3)"
x11 xdotool mousemove "$rx" "$ry" keydown ctrl click 1 keyup ctrl
expect "Ctrl-click adds a row to the selection" '^Selection ListLeft rows=1,3 caret=3$'
expect "the mouse over a list reports the row under it" '^MouseMove ListLeft row=3 below=0 outside=0$'

# Drag both rows from a press on the first of them onto the other list.
M=$(mark); read -r sx sy <<<"$(row_at ListLeft 1)"; read -r tx ty <<<"$(row_at ListRight 0)"
x11 xdotool mousemove "$sx" "$sy" mousedown 1
for f in 1 2 3 4 5 6 7 8; do
  x11 xdotool mousemove $((sx + (tx - sx) * f / 8)) $((sy + (ty - sy) * f / 8))
  sleep 0.05
done
sleep 0.2
x11 xdotool mouseup 1
expect "the list under a drag is asked whether it takes the rows" '^DragOver ListRight from ListLeft$'
expect "rows dropped onto another list, both of the selection" \
  '^DragDrop ListRight from ListLeft row=-1 below=1 outside=0 rows=1,3$'
if tail -n +"$((M + 1))" "$LOG" | grep -qE '^Selection ListLeft rows=1 caret='; then
  fail "the press that began the drag collapsed the selection"
else
  pass "the press that began the drag kept the selection"
fi
M=$(mark); x11 xdotool key Delete
expect "a key pressed in a list reaches its component (the menu's Del shortcut)" '^Click MenuDelete$'
M=$(mark); x11 xdotool key Insert
expect "other keys reach the list's key handler" '^Key ListLeft key=45 ctrl=0$'
M=$(mark); read -r rx ry <<<"$(row_at ListLeft 2)"; x11 xdotool mousemove "$rx" "$ry" click 3
sleep 0.5; x11 xdotool key a
expect "the list's pop-up menu opens at a right click, its items chosen by their keys" '^Click MenuSelectAll$'
M=$(mark); x11 xdotool key shift+F10; sleep 0.5; x11 xdotool key d
expect "and at Shift+F10" '^Click MenuDelete$'

M=$(mark); dx=$((L[Header1] + 200)); dy=$(((T[Header1] + B[Header1]) / 2))
x11 xdotool mousemove "$dx" "$dy" mousedown 1
for f in 10 20 30 40; do x11 xdotool mousemove $((dx + f)) "$dy"; sleep 0.05; done
x11 xdotool mouseup 1
expect "dragging a header divider resizes its section" '^SectionResize Header1 section=0 width=2[1-4][0-9]$'
[[ -n "$SHOTS" ]] && x11 import -window root "$SHOTS/lists.png"

# ---- a modal window ---------------------------------------------------------------
M=$(mark); click ButtonAsk
expect "a button opens a modal window" '^Click ButtonAsk$'
shown=""
for _ in $(seq 1 20); do
  shown=$(x11 xdotool search --onlyvisible --name '^Question$' 2>/dev/null | head -n 1)
  [[ -n "$shown" ]] && break
  sleep 0.2
done
[[ -n "$shown" ]] && pass "the modal window is shown" || fail "no modal window 'Question'"
M2=$(mark); click ButtonOK; sleep 0.5
if tail -n +"$((M2 + 1))" "$LOG" | grep -q '^Click ButtonOK$'; then
  fail "the window under the modal one took a click"
else
  pass "the window under the modal one waits"
fi
x11 xdotool key Escape
expect "Escape ends the modal window with Cancel" '^Modal FormAsk result=2$'
M=$(mark); click ButtonAsk; sleep 1; x11 xdotool key alt+F4
expect "Alt+F4 closes a window without a close box" '^Modal FormAsk result=2$'

# ---- resizing ---------------------------------------------------------------------
M=$(mark); cx=$((R[FormGallery] + 2)); cy=$((B[FormGallery] + 2))
sleep 0.5
x11 xdotool mousemove "$cx" "$cy"
sleep 0.3
x11 xdotool mousedown 1
for d in 10 20 30 40; do x11 xdotool mousemove $((cx + d)) $((cy + d)); sleep 0.05; done
x11 xdotool mouseup 1
expect "dragging the window's corner resizes it (the client size in 96-DPI pixels)" \
  '^Resize FormGallery (5[7-9][0-9]|6[0-9][0-9])x(4[3-9][0-9])$'

# ---- closing ----------------------------------------------------------------------
M=$(mark); click PanelTop; x11 xdotool key alt+F4
expect "Alt+F4 asks the form to close" '^Close FormGallery$'
expect "and the program ends" '^end$'

# ---- the same window on a screen of 144 DPI ------------------------------------
# Sizes and positions grow by half on the screen; the events still speak of
# 96-DPI pixels and of the rows under the mouse.
note "again at 144 DPI"
end_desktop
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1
start_gallery
grep -qx 'dpi 144' "$LOG" && pass "the window sees the screen's 144 DPI" || fail "no 'dpi 144' in the log"
size="$((R[FormGallery] - L[FormGallery]))x$((B[FormGallery] - T[FormGallery]))"
[[ "$size" == 840x630 ]] && pass "the client area of 560 x 420 is scaled to 840 x 630" ||
  fail "the client area is $size at 144 DPI, expected 840x630"
[[ "${L[rowListLeft]}" == 24 ]] && pass "rows of 16 are 24 pixels high" || fail "rows are ${L[rowListLeft]} high"
M=$(mark); click tab1
expect "the second tab at its scaled place" '^Select Pages page=1$'
sleep 0.3
M=$(mark); read -r rx ry <<<"$(row_at ListLeft 4)"; x11 xdotool mousemove "$rx" "$ry" click 1
expect "a click selects the row drawn under it" '^Selection ListLeft rows=4 caret=4$'
M=$(mark); dx=$((L[Header1] + 300)); dy=$(((T[Header1] + B[Header1]) / 2))
x11 xdotool mousemove "$dx" "$dy" mousedown 1
for f in 10 20 30; do x11 xdotool mousemove $((dx + f)) "$dy"; sleep 0.05; done
x11 xdotool mouseup 1
expect "a divider dragged by 30 screen pixels widens its section by 20" '^SectionResize Header1 section=0 width=2(19|20|21)$'
[[ -n "$SHOTS" ]] && x11 import -window root "$SHOTS/lists-144dpi.png"
M=$(mark); click PanelTop; x11 xdotool key alt+F4
expect "the window at 144 DPI closes too" '^end$'

no_wine_left
note "done"
[[ -f "$WORK/timed_out" ]] && failures=$((failures + 1))

if ((failures)); then
  [[ -f "$WORK/earlier.log" ]] && { echo "---- log of the first run:"; cat "$WORK/earlier.log"; }
  echo "---- log:"
  cat "$LOG"
  echo "wine controls test: $failures check(s) failed"
  exit 1
fi
echo "wine controls test: all checks passed"
exit 0
