#!/usr/bin/env bash
# The windows of the real Ondrel.exe under Wine, opened and closed with real
# input (xdotool) the way a user does, and looked at from outside.
#
#   wine_windows.sh Ondrel.exe OndrelTestServer.exe
#
# The test server runs beside the program in the virtual desktop as the
# shell's window list, so that the program starts without its error box, and
# reports on the program's windows through its pipe. Checked:
#
#   1. the list of windows to close, chosen in the tray menu with a right
#      click and a click on its item, shows the entries of its file; a click
#      on its close box hides it;
#   2. a double click on the tray icon opens the options; a click ticks a
#      box, a click on OK closes the window and the registry holds the
#      box's setting;
#   3. the eraser, chosen in the tray menu, closes with a click on Cancel.
#
# Every wait is a bounded poll. Every Wine process of the prefix is killed
# and the folder removed whatever happens. Exit status 0 only when every
# check passed.
set -u

EXE=${1:-}
SERVER_EXE=${2:-}
HERE=$(cd "$(dirname "$0")" && pwd)
SOURCE_DIR=$(cd "$HERE/../.." && pwd)
TIME_LIMIT=200  # seconds for the whole test; CTest allows 240

failures=0
T0=$(date +%s%N)
secs() { local t=$((($(date +%s%N) - T0) / 1000000)); printf '%d.%d s' $((t / 1000)) $((t % 1000 / 100)); }
pass() { echo "PASS: $* [$(secs)]"; }
fail() { echo "FAIL: $* [$(secs)]"; failures=$((failures + 1)); }
check() {  # description command...: PASS or FAIL by the command's status
  local what=$1
  shift
  if "$@"; then pass "$what"; else fail "$what"; fi
}
note() { echo "---- $* [$(secs)]"; }

for f in "$EXE" "$SERVER_EXE"; do
  if [[ -z "$f" || ! -f "$f" ]]; then
    echo "FAIL: no program file '$f' (build both with: cmake --preset windows && cmake --build --preset windows)"
    exit 1
  fi
done
for tool in wine wineserver xvfb-run xdotool import python3; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed"; exit 1; }
done

. "$HERE/wine_session.sh"
. "$HERE/program_desktop.sh"
wine_session_begin ondrel-wine-windows

report() {
  [[ -f "$WORK/timed_out" ]] && failures=$((failures + 1))
  if ((failures)); then
    echo "---- Ondrel.LOG:"
    cat "$LOG" 2>/dev/null
    echo "wine windows test: $failures check(s) failed"
    exit 1
  fi
  echo "wine windows test: all checks passed"
  exit 0
}

note "creating the Wine prefix"
create_prefix
desktop_prepare "$EXE" "$SERVER_EXE" English
write_list "$PROG_DIR/closeit.ppe" 1 0 "*" "http://ads.example/*" "http://news.example/*" "http://popup.example/banner" \
  "*" "*.doubleclick.example/*"
KEY='HKCU\Software\Morvane\Ondrel'
# Allowed windows are not recorded: the options' box for it starts unticked.
wine reg add "$KEY" /v EnableBrowsedList /t REG_DWORD /d 1 /f >/dev/null 2>&1

note "starting the test server and Ondrel.exe"
if ! desktop_start; then
  report
fi
pass "the program runs with its tray icon"

# The close box of a window sits in the right end of its caption bar.
close_box() {  # CAPTION -> "X Y"
  ctl window "\"$1\""
  local client=$(get client)
  IFS=, read -r _ ct cr _ <<<"$client"
  echo $((cr - 8)) $((($(get top) + ct) / 2 + 1))
}

# ---- 1. a list window ------------------------------------------------------------
LIST="Windows to Close"
note "the list of windows to close, from the tray menu"
check "the tray menu opens and its item is chosen" menu_choose 3
check "the window '$LIST' is shown" wait_until 20 window_shown "$LIST"
rows_are() { control_report "$LIST" ListBox && [[ "$(get count)" == "$1" ]]; }
check "its list shows the file's three entries" wait_until 5 rows_are 3
click $(close_box "$LIST")
check "a click on its close box hides it" wait_until 20 window_gone "$LIST"

# ---- 2. the options --------------------------------------------------------------
BOX="Record allowed windows in the list of browsed windows"
note "the options, from a double click on the tray icon"
if tray_shows red; then
  read -r TX TY <<<"$TRAY"
  double_click "$TX" "$TY"
fi
check "a double click on the tray icon opens the options" wait_until 20 window_shown Options
box_checked() { control_report Options Button "$BOX" && [[ "$(get checked)" == "$1" ]]; }
check "the box '$BOX' starts unticked, as stored" wait_until 5 box_checked 0
control_report Options Button "$BOX"
# On the box's square, at the left end of the control.
click $(($(get left) + 7)) $((($(get top) + $(get bottom)) / 2))
check "a click ticks it" wait_until 5 box_checked 1
if control_report Options OndrelSpeedButton OK; then
  click $(control_middle)
fi
check "a click on OK closes the options" wait_until 20 window_gone Options
stored() { [[ "$(reg_value "$KEY" EnableBrowsedList)" == 0x2 ]]; }
check "the registry holds the ticked box (EnableBrowsedList = 2)" wait_until 10 stored
check "the double click leaves blocking on" wait_until 5 tray_shows red

# ---- 3. the eraser ---------------------------------------------------------------
ERASER="Web Traces Eraser"
note "the eraser, from the tray menu"
check "the tray menu opens and its item is chosen" menu_choose 1
check "the window '$ERASER' is shown" wait_until 20 window_shown "$ERASER"
if control_report "$ERASER" Button Cancel; then
  click $(control_middle)
fi
check "a click on Cancel closes it" wait_until 20 window_gone "$ERASER"
check "the program still runs" program_running 'ondrel\.exe$'

# ---- clean-up ----------------------------------------------------------------------
ctl shutdown
no_wine_left
note "done"
report
