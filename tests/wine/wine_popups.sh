#!/usr/bin/env bash
# The pop-up blocker of the real Ondrel.exe under Wine, end to end.
#
#   wine_popups.sh [--work DIR] [--shots DIR] Ondrel.exe OndrelTestServer.exe
#
# The browser windows come from our own COM server (tests/wine/comserver): a
# stand-in for the shell's window list and for the browser, reached the way
# Windows reaches the real ones, through TreatAs entries of the test's private
# Wine prefix; the program is told nothing. The script plays a story in a
# virtual desktop on Xvfb with real input (xdotool) and checks it from
# outside: the log beside the program, its list files, the Wine registry, and
# the windows' positions, visibility and event sinks as the server reports
# them through its control pipe.
#
#   1. two browsers open before the start are attached;
#   2. a page opens a window with no click before it: parked at -30000,
#      -30000 and hidden, entered in the closed list, told to quit about 9 s
#      later and gone;
#   3. a real click in a document, then a new window within the click delay:
#      shown on screen and entered in the browsed list;
#   4. the allow list lets a window through without a click; the close list
#      closes one in spite of a click (a browser that never says OnQuit);
#   5. a browser window that another program opens is closed (setting on);
#   6. a click on the tray icon switches blocking off and the next window is
#      let through; another click switches it on again;
#   7. a second server process is killed while its window is being closed:
#      the program logs the failed quit ("-EOleSys") and blocks on for the
#      other windows;
#   8. the exit from the tray menu with real clicks: every event sink is
#      given back, the lists are saved, the browser settings are put back.
#
# --work DIR is the work folder (default: a new temporary one): the prefix,
# removed at the end, and the logs, kept in DIR/logs for a look after a
# failure; an earlier run's folder is emptied first, any other refused.
# --shots DIR photographs the virtual desktop at the steps into
# DIR/popups-*.png (scripts/wine-screenshots-popups.sh). Every Wine process
# of the prefix is killed whatever happens. Exit status 0 only when every
# check passed.
set -u

WORK=""
SHOTS=""
while [[ $# -gt 0 ]]; do
  case "$1" in
    --work) WORK=$2; shift 2 ;;
    --shots) SHOTS=$2; shift 2 ;;
    *) break ;;
  esac
done
EXE=${1:-}
SERVER_EXE=${2:-}
HERE=$(cd "$(dirname "$0")" && pwd)
SOURCE_DIR=$(cd "$HERE/../.." && pwd)
# The helpers the Wine tests share (only functions; this test keeps its own
# session: its work folder stays for a look after a failure).
. "$HERE/wine_session.sh"
DESKTOP="ondrel,1024x768"
TIME_LIMIT=280  # seconds for the whole test; CTest allows 300

failures=0
T0=$(date +%s%N)
ms() { echo $(( ($(date +%s%N) - T0) / 1000000 )); }
secs() { local t; t=$(ms); printf '%d.%d s' $((t / 1000)) $((t % 1000 / 100)); }
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
if [[ -n "$SHOTS" ]]; then
  mkdir -p "$SHOTS" && SHOTS=$(cd "$SHOTS" && pwd)
fi

# A work folder is emptied only when an earlier run made it, so that a
# mistyped --work never wipes anything else.
MARK=.ondrel-wine-popups
[[ -n "$WORK" ]] || WORK=$(mktemp -d "${TMPDIR:-/tmp}/ondrel-wine-popups.XXXXXX")
if [[ -d "$WORK" && -n "$(ls -A "$WORK")" && ! -e "$WORK/$MARK" ]]; then
  echo "FAIL: $WORK holds files of something else; give an empty or new folder"
  exit 1
fi
rm -rf "$WORK"
mkdir -p "$WORK"
touch "$WORK/$MARK"
WORK=$(cd "$WORK" && pwd)
export WINEPREFIX="$WORK/prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe=d"
unset DISPLAY XAUTHORITY
XVFB_PID=""
WATCHDOG_PID=""
CLIENT_PID=""

# Our prefix's process of the program file PATH (Wine gives a program the
# Windows path of its file as its first argument), with ARG among the others.
wine_pid_of() {  # PATH [ARG]
  local pid args
  for pid in $(prefix_pids); do
    # A process may end while it is looked at: then it has no arguments.
    mapfile -d '' -t args 2>/dev/null <"/proc/$pid/cmdline" || continue
    ((${#args[@]})) || continue
    [[ "${args[0],,}" == "${1,,}" ]] || continue
    [[ -z "${2:-}" || " ${args[*]:1} " == *" $2 "* ]] && { echo "$pid"; return 0; }
  done
  return 1
}
ondrel_running() { wine_pid_of 'C:\Ondrel\Ondrel.exe' >/dev/null; }
ondrel_ended() { ! ondrel_running; }

x_server_ended() {  # xvfb-run has ended (gone, or waiting to be reaped)
  local state
  read -r _ _ state _ 2>/dev/null <"/proc/$XVFB_PID/stat" || return 0
  [[ $state == Z ]]
}
cleanup() {
  [[ -n "$CLIENT_PID" ]] && kill "$CLIENT_PID" 2>/dev/null
  if [[ -n "$WATCHDOG_PID" ]]; then
    kill "$WATCHDOG_PID" 2>/dev/null
    wait "$WATCHDOG_PID" 2>/dev/null
  fi
  wineserver -k >/dev/null 2>&1
  # xvfb-run stops its X server when its command ends, which it does once
  # told to (a signal would wait for the command, and leave the server).
  if [[ -n "$XVFB_PID" ]]; then
    touch "$WORK/stop_x"
    wait_until 10 x_server_ended
    kill "$XVFB_PID" 2>/dev/null
    wait "$XVFB_PID" 2>/dev/null
  fi
  # The logs stay in the work folder for a look after a failure; the prefix goes.
  mkdir -p "$WORK/logs"
  cp "$WINEPREFIX"/drive_c/Ondrel/*.LOG "$WINEPREFIX"/drive_c/test/*.log "$WORK/logs/" 2>/dev/null
  rm -rf "$WINEPREFIX"
}
trap cleanup EXIT
trap 'exit 2' INT TERM

# A hung Wine call would hold the script past CTest's limit, which kills
# without clean-up: the watchdog ends the prefix's processes itself.
(
  trap 'kill "$sleeper" 2>/dev/null; exit 0' TERM
  sleep "$TIME_LIMIT" &
  sleeper=$!
  wait "$sleeper"
  touch "$WORK/timed_out"
  echo "FAIL: the test ran out of its $TIME_LIMIT s; killing the prefix's Wine processes"
  wineserver -k >/dev/null 2>&1
  touch "$WORK/stop_x"
) &
WATCHDOG_PID=$!

# ---- prefix ----------------------------------------------------------------------
note "creating the Wine prefix"
wine wineboot -i >"$WORK/wineboot.log" 2>&1
wineserver -w
# One server for the whole test, so that no query meets a server shutting down.
wineserver -p

PROG_DIR="$WINEPREFIX/drive_c/Ondrel"
TEST_DIR="$WINEPREFIX/drive_c/test"
mkdir -p "$PROG_DIR" "$TEST_DIR"
cp "$EXE" "$PROG_DIR/Ondrel.exe"
cp "$SOURCE_DIR"/lang/*.lcl "$PROG_DIR/"
cp "$SERVER_EXE" "$TEST_DIR/OndrelTestServer.exe"
LOG="$PROG_DIR/Ondrel.LOG"

# The shell's window list and the browser application, each pointed at a
# class of our server; the browser settings that the program forces while it
# runs; the setting that closes other programs' browser windows.
cat >"$WORK/setup.reg" <<'EOF'
REGEDIT4

[HKEY_CLASSES_ROOT\CLSID\{9BA05972-F6A8-11CF-A442-00A0C90A8F39}\TreatAs]
@="{682020D5-76C9-462C-82EB-FBC6F115A27E}"

[HKEY_CLASSES_ROOT\CLSID\{0002DF01-0000-0000-C000-000000000046}\TreatAs]
@="{F086E7F4-4D1D-4EAE-BFA7-E8B513052519}"

[HKEY_CLASSES_ROOT\CLSID\{682020D5-76C9-462C-82EB-FBC6F115A27E}\LocalServer32]
@="C:\\test\\OndrelTestServer.exe"

[HKEY_CLASSES_ROOT\CLSID\{F086E7F4-4D1D-4EAE-BFA7-E8B513052519}\LocalServer32]
@="C:\\test\\OndrelTestServer.exe"

[HKEY_CURRENT_USER\Software\Wine\Drivers]
"Audio"=""

[HKEY_CURRENT_USER\Software\Microsoft\Internet Explorer\Main]
"Disable Script Debugger"="no"
"Error Dlg Displayed On Every Error"="yes"

[HKEY_CURRENT_USER\Software\Morvane\Ondrel]
"Language"="English"
"OtherApps"=dword:00000002
EOF
wine regedit /s 'Z:'"${WORK//\//\\}"'\setup.reg' >/dev/null 2>&1

IE_MAIN='HKCU\Software\Microsoft\Internet Explorer\Main'
treat_as() { wine reg query "HKCR\\CLSID\\$1\\TreatAs" /ve 2>/dev/null | grep -qF "$2"; }
check "the prefix leads the shell's window list to the test server" \
  treat_as "{9BA05972-F6A8-11CF-A442-00A0C90A8F39}" "{682020D5-76C9-462C-82EB-FBC6F115A27E}"
check "the prefix leads the browser application to the test server" \
  treat_as "{0002DF01-0000-0000-C000-000000000046}" "{F086E7F4-4D1D-4EAE-BFA7-E8B513052519}"
check "the browser settings are prepared" test "$(reg_value "$IE_MAIN" "Disable Script Debugger")" = no

# The allow list lets offers through, the close list closes banners. An entry
# line: reserved text, referrer and address masks, elapsed, flags, number, time.
python3 - "$PROG_DIR" <<'EOF'
import struct, sys
def save(name, entries):
    with open(f"{sys.argv[1]}/{name}", "wb") as f:
        f.write(struct.pack("<ii", 1, len(entries)))
        for ref, url in entries:
            line = b"\x01" + ref + b"\x01" + url + b"\x01\x011\x010\x010"
            f.write(struct.pack("<h", len(line)) + line)
save("allowit.ppe", [(b"*", b"http://allowed.example/*")])
save("closeit.ppe", [(b"*", b"http://ads.example/*")])
EOF
in_list() { grep -aqF -- "$2" "$PROG_DIR/$1.ppe" 2>/dev/null; }
logged() { grep -aqF -- "$1" "$LOG" 2>/dev/null; }

# ---- desktop, server, control ------------------------------------------------------
# The X server lives while its command waits for the clean-up's word.
xvfb-run -a -s "-screen 0 1024x768x24" sh -c \
  'echo "$DISPLAY" >"$1.tmp"; echo "$XAUTHORITY" >>"$1.tmp"; mv "$1.tmp" "$1"; while [ ! -e "$2" ]; do sleep 0.2; done' \
  sh "$WORK/display" "$WORK/stop_x" >"$WORK/xvfb.log" 2>&1 </dev/null &
XVFB_PID=$!
wait_until 10 test -f "$WORK/display"
{ read -r DISPLAY; read -r XAUTHORITY; } <"$WORK/display"
export DISPLAY XAUTHORITY

in_desktop() {  # windows-path args...: a program started in our virtual desktop
  wine explorer /desktop="$DESKTOP" "$@" >>"$WORK/run.log" 2>&1 &
}
note "starting the test server"
in_desktop 'C:\test\OndrelTestServer.exe' --log 'C:\test\server.log'

# One client for the whole test: a command a line in, a reply a line out.
coproc CTL { exec wine 'C:\test\OndrelTestServer.exe' --ctl 2>>"$WORK/ctl.log"; }
CLIENT_PID=$CTL_PID
REPLY_LINE=""
ctl() {
  echo "$*" >&"${CTL[1]}"
  IFS= read -r -t 40 REPLY_LINE <&"${CTL[0]}" || REPLY_LINE="err no reply"
  REPLY_LINE=${REPLY_LINE%$'\r'}
}
# A window's report from its server ("@second NAME" for the second one);
# then get KEY reads one of its fields.
win() {
  if [[ $1 == @second ]]; then ctl "@second info $2"; else ctl "info $1"; fi
}
get() { sed -n "s/.* $1=\([^ ]*\).*/\1/p" <<<"$REPLY_LINE"; }
# The window is open, visible or not, at that position: "NAME 1 120 80".
window_is() {  # NAME... VISIBLE LEFT TOP
  local n=$# visible=${*: -3:1} left=${*: -2:1} top=${*: -1}
  win "${@:1:n-3}"
  [[ "$(get open)" == 1 && "$(get visible)" == "$visible" && "$(get left)" == "$left" && "$(get top)" == "$top" ]]
}
window_gone() { win "$@"; [[ "$(get open)" == 0 ]]; }
sinks_are() {  # NAME... COUNT
  win "${@:1:$#-1}"
  [[ "$(get sinks)" == "${*: -1}" ]]
}
server_answers() { ctl "$1clock"; [[ $REPLY_LINE == clock* ]]; }
check "the test server answers on its pipe" wait_until 30 server_answers ""

# Real input: a press held over more than one 50 ms tick of the program.
LAST_CLICK=0
click() {  # X Y [BUTTON]
  xdotool mousemove "$1" "$2" mousedown "${3:-1}"
  sleep 0.3
  xdotool mouseup "${3:-1}"
  LAST_CLICK=$(ms)
}
shot() {  # NAME: the virtual desktop as DIR/popups-NAME.png
  [[ -n "$SHOTS" ]] || return 0
  sleep 0.3
  import -window root "$SHOTS/popups-$1.png" 2>/dev/null
}

# ---- 1. two browsers, then the program --------------------------------------------------
# Side by side, so that a click in one does not land in the other; new
# windows open across both at 120,80.
ctl browser A url=http://news.example/ rect=10,10,505,700
ctl browser B url=http://shop.example/ rect=519,10,1014,700
loaded() { win "$1"; [[ "$(get url)" == "$2" ]]; }
check "browser A shows its page" wait_until 10 loaded A http://news.example/
check "browser B shows its page" wait_until 10 loaded B http://shop.example/
win A; WND_A=$(get hwnd)
win B; WND_B=$(get hwnd)

note "starting Ondrel.exe"
START_MS=$(ms)
(cd "$PROG_DIR" && in_desktop 'C:\Ondrel\Ondrel.exe')
attached() { logged "Wnd=$WND_A Connect to C:\\Program Files\\Internet Explorer\\IEXPLORE.EXE" &&
  logged "Wnd=$WND_B Connect to C:\\Program Files\\Internet Explorer\\IEXPLORE.EXE"; }
check "the program attaches to both browsers (\"Connect to\" lines)" wait_until 60 attached
ATTACHED_MS=$(ms)
check "the log counts the two windows of the shell's list" logged "ShellWin Created(2)"
check "browser A's events go to the program" sinks_are A 1
check "browser B's events go to the program" sinks_are B 1
ctl shell
check "the shell's list reports to the program" test "$(get sinks)" = 1
check "the tray icon shows blocking on" wait_until 10 tray_shows red
check "no start-up error is shown" test -z "$(xdotool search --onlyvisible --name '^Ondrel$' 2>/dev/null)"
check "the browser setting is forced while the program runs" test "$(reg_value "$IE_MAIN" "Disable Script Debugger")" = yes
shot 1-attached
note "attached after $(( (ATTACHED_MS - START_MS) )) ms"

# ---- 2. a pop-up without a click -----------------------------------------------------------
note "a page opens a window without a click"
ctl open A http://popup.example/ad as P1
REQUEST_MS=$(ms)
check "the new window is parked at -30000,-30000 and hidden" wait_until 5 window_is P1 0 -30000 -30000
check "the closed list gets the pop-up" wait_until 5 in_list closed http://popup.example/ad
sleep 0.5
check "the pop-up stays parked and hidden" window_is P1 0 -30000 -30000
shot 2-blocked

# ---- 3. a click, then a new window ---------------------------------------------------------
note "a click in A's document, then a new window"
click 250 400
ctl open A http://news.example/story as S1
check "the window the user clicked for is shown at its place" wait_until 5 window_is S1 1 120 80
check "the browsed list gets it" wait_until 5 in_list browsed http://news.example/story
shot 3-clicked
ctl close S1

# ---- 4. the allow and the close list -------------------------------------------------------
note "the allow list and the close list"
ctl open B http://allowed.example/offer as W1
check "a window on the allow list is shown without a click" wait_until 5 window_is W1 1 120 80
check "the browsed list gets it" wait_until 5 in_list browsed http://allowed.example/offer
shot 4-allowed
ctl close W1
wait_until 5 window_gone W1
click 965 400
ctl open B http://ads.example/banner as K1
check "a window on the close list is parked and hidden in spite of the click" wait_until 5 window_is K1 0 -30000 -30000
check "the closed list gets it" wait_until 5 in_list closed http://ads.example/banner
# This browser will close without the OnQuit that the program waits for.
ctl fault K1 no-onquit

# The first pop-up's quit came about 9 s after its request.
check "the pop-up is told to quit and is gone" wait_until 15 window_gone P1
win P1
QUIT_AFTER=$(( $(get quit) - $(get handed) ))
note "P1: the program's NewWindow2 took $(( $(get handed) - $(get requested) )) ms"

check "the pop-up was told to quit 8.5 to 10.5 s after its request (${QUIT_AFTER} ms)" \
  test "$QUIT_AFTER" -ge 8500 -a "$QUIT_AFTER" -le 10500
check "a window that quits without OnQuit is gone all the same" wait_until 15 window_gone K1

# ---- 5. a browser window of another program -----------------------------------------------
# Windows of the first ten seconds and those within the click delay (4 s) of
# the last press are left alone.
note "another program opens a browser window"
since_start_and_click() { (( $(ms) - START_MS > 12000 && $(ms) - LAST_CLICK > 5000 )); }
wait_until 20 since_start_and_click
ctl browser O url=http://other.example/ rect=300,200,700,500
check "the other program's window is closed" wait_until 5 window_gone O
check "the closed list says so" wait_until 5 in_list closed "New IE window has been stopped"

# ---- 6. blocking off and on from the tray -------------------------------------------------
note "a click on the tray icon switches blocking off"
spot=$(tray_spot red)
if [[ -n "$spot" ]]; then
  read -r TX TY <<<"$spot"
  click "$TX" "$TY"
  check "the tray icon shows blocking off" wait_until 5 tray_shows green
  ctl open A http://popup.example/second as P2
  check "the next window is let through without a click" wait_until 5 window_is P2 1 120 80
  check "the browsed list gets it" wait_until 5 in_list browsed http://popup.example/second
  shot 5-blocking-off
  ctl close P2
  sleep 0.6  # no double click
  click "$TX" "$TY"
  check "another click switches blocking on" wait_until 5 tray_shows red
else
  fail "no tray icon to click"
fi

# ---- 7. a browser's process dies ------------------------------------------------------------
note "a second server process, killed while its window is being closed"
in_desktop 'C:\test\OndrelTestServer.exe' --second --log 'C:\test\second.log'
check "the second server answers" wait_until 30 server_answers "@second "
SECOND_PID=$(wine_pid_of 'C:\test\OndrelTestServer.exe' --second)
# The user opens it with a click (on the desktop, say): no other program's
# window, which the program would close.
click 512 724
ctl @second browser K url=http://kiosk.example/ rect=300,150,800,550
check "the program attaches to its window" wait_until 10 sinks_are @second K 1
win @second K; WND_K=$(get hwnd)
ctl @second navigate K http://ads.example/kiosk
check "its window is hidden for the close list" wait_until 5 window_is @second K 0 300 150
[[ -n "$SECOND_PID" ]] && kill -9 "$SECOND_PID"
second_gone() { [[ -n "$SECOND_PID" ]] && ! kill -0 "$SECOND_PID" 2>/dev/null; }
check "the second server is killed (pid ${SECOND_PID:-none})" wait_until 5 second_gone
# A's next page opens a pop-up as it loads.
ctl navigate A http://news.example/page2
wait_until 5 loaded A http://news.example/page2
ctl open A http://popup.example/third as P3
check "blocking goes on for the other windows" wait_until 5 window_is P3 0 -30000 -30000
check "the closed list gets that pop-up" wait_until 5 in_list closed http://popup.example/third
check "the failed quit of the killed window is logged" wait_until 15 logged "Wnd=$WND_K QuitIE-EOleSys"
check "the program still runs" ondrel_running

# ---- 8. the exit from the tray menu --------------------------------------------------------
note "the exit from the tray menu"
menu_open() { ctl menu; [[ $REPLY_LINE != "menu none" ]]; }
spot=$(tray_spot red)
if [[ -n "$spot" ]]; then
  read -r TX TY <<<"$spot"
  click "$TX" "$TY" 3
  if wait_until 5 menu_open; then
    read -r _ ML MT MR MB <<<"$REPLY_LINE"
    # Exit is the menu's last item.
    xdotool mousemove $((ML + 30)) $((MB - 10))
    shot 6-menu
    click $((ML + 30)) $((MB - 10))
  else
    fail "no tray menu"
  fi
else
  fail "no tray icon to click"
fi
check "Ondrel.exe has ended" wait_until 20 ondrel_ended
ctl names
for name in ${REPLY_LINE#names}; do
  check "the program's records end: $name has no sink left" sinks_are "$name" 0
done
ctl shell
check "the shell's list has no sink left" test "$(get sinks)" = 0
for entry in http://popup.example/ad http://ads.example/banner "New IE window has been stopped" \
  http://popup.example/third http://ads.example/kiosk; do
  check "the closed list is saved with $entry" in_list closed "$entry"
done
for entry in http://news.example/story http://allowed.example/offer http://popup.example/second; do
  check "the browsed list is saved with $entry" in_list browsed "$entry"
done
check "'Disable Script Debugger' is put back" test "$(reg_value "$IE_MAIN" "Disable Script Debugger")" = no
check "'Error Dlg Displayed On Every Error' is put back" \
  test "$(reg_value "$IE_MAIN" "Error Dlg Displayed On Every Error")" = yes

# ---- clean-up -------------------------------------------------------------------------------
ctl shutdown
kill "$CLIENT_PID" 2>/dev/null
CLIENT_PID=""
wineserver -k >/dev/null 2>&1
check "no Wine process is left" wait_until 10 test -z "$(prefix_pids)"
touch "$WORK/stop_x"
check "the X server has ended" wait_until 10 x_server_ended
[[ -f "$WORK/timed_out" ]] && failures=$((failures + 1))
note "done"

if ((failures)); then
  echo "---- Ondrel.LOG:"
  cat "$LOG" 2>/dev/null
  for f in server second; do
    echo "---- $f.log (the test server's, last lines):"
    tail -n 60 "$TEST_DIR/$f.log" 2>/dev/null
  done
  echo "wine pop-up test: $failures check(s) failed"
  exit 1
fi
echo "wine pop-up test: all checks passed"
exit 0
