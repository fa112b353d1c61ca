# The real Ondrel.exe in a virtual desktop, with the test server beside it
# as the shell's window list (so that the program starts without its error
# box) and as an inspector of the program's windows through its pipe. For
# the scripts that drive the program's windows with real input and look at
# them from outside; sourced after wine_session.sh, with pass and fail defined.
#
#   wine_session_begin NAME; create_prefix
#   desktop_prepare Ondrel.exe OndrelTestServer.exe English
#   desktop_start || exit 1
#   menu_choose 3; wait_until 20 window_shown "Windows to Close"; ...
#
# A language other than English means the German texts' file as well; the
# captions to look for are then the scripts' business.

DESKTOP="ondrel,1024x768"
CLIENT_PID=""


# The program and its language files in C:\Ondrel, the server in C:\test,
# the shell's window list led to the server, and the language to start in.
desktop_prepare() {  # Ondrel.exe OndrelTestServer.exe LANGUAGE
  PROG_DIR="$WINEPREFIX/drive_c/Ondrel"
  TEST_DIR="$WINEPREFIX/drive_c/test"
  LOG="$PROG_DIR/Ondrel.LOG"
  mkdir -p "$PROG_DIR" "$TEST_DIR"
  cp "$1" "$PROG_DIR/Ondrel.exe"
  cp "$SOURCE_DIR"/lang/*.lcl "$PROG_DIR/"
  cp "$2" "$TEST_DIR/OndrelTestServer.exe"
  cat >"$WORK/setup.reg" <<EOF
REGEDIT4

[HKEY_CLASSES_ROOT\\CLSID\\{9BA05972-F6A8-11CF-A442-00A0C90A8F39}\\TreatAs]
@="{682020D5-76C9-462C-82EB-FBC6F115A27E}"

[HKEY_CLASSES_ROOT\\CLSID\\{682020D5-76C9-462C-82EB-FBC6F115A27E}\\LocalServer32]
@="C:\\\\test\\\\OndrelTestServer.exe"

[HKEY_CURRENT_USER\\Software\\Morvane\\Ondrel]
"Language"="$3"
EOF
  wine regedit /s 'Z:'"${WORK//\//\\}"'\setup.reg' >/dev/null 2>&1
}

# A list file of the program: entries of (referrer, address) with those kind
# flags, one a line of reserved text, referrer and address masks, elapsed,
# flags, number and time. The time is 0, or with "fresh" a minute ago (the
# closed and browsed lists drop old entries); stamps count seconds of local
# time since 1969-12-31 00:00.
write_list() {  # FILE FLAGS 0|fresh REFERRER URL [REFERRER URL]...
  python3 - "$@" <<'EOF_PY'
import struct, sys, time
path, flags, when, pairs = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4:]
stamp = int(time.time() + time.localtime().tm_gmtoff) + 86400 - 60 if when == "fresh" else 0
with open(path, "wb") as f:
    f.write(struct.pack("<ii", 1, len(pairs) // 2))
    for ref, url in zip(pairs[::2], pairs[1::2]):
        line = f"\x01{ref}\x01{url}\x01\x01{flags}\x010\x01{stamp}".encode()
        f.write(struct.pack("<h", len(line)) + line)
EOF_PY
}

# One client of the server's pipe for the whole run: a command a line in, a
# reply a line out; get KEY reads a field of the last reply.
ctl() {
  echo "$*" >&"${CTL[1]}"
  IFS= read -r -t 40 REPLY_LINE <&"${CTL[0]}" || REPLY_LINE="err no reply"
  REPLY_LINE=${REPLY_LINE%$'\r'}
}
get() { sed -n "s/.* $1=\([^ ]*\).*/\1/p" <<<"$REPLY_LINE"; }
server_answers() { ctl clock; [[ $REPLY_LINE == clock* ]]; }

window_shown() { ctl window "\"$1\""; [[ "$(get visible)" == 1 ]]; }  # CAPTION
window_gone() { ctl window "\"$1\""; [[ $REPLY_LINE == "window none" || "$(get visible)" == 0 ]]; }
control_report() { ctl control "\"$1\"" "$2" ${3:+"\"$3\""}; [[ $REPLY_LINE != "control none" ]]; }  # CAPTION CLASS [TEXT]
menu_open() { ctl menu; [[ $REPLY_LINE != "menu none" ]]; }
menu_closed() { ! menu_open; }

# The middle of a control of a window, from the last control report: "X Y".
control_middle() { echo $((($(get left) + $(get right)) / 2)) $((($(get top) + $(get bottom)) / 2)); }

# Real input. A press is held over more than one 50 ms tick of the program,
# which reads the mouse buttons on its timer as well.
click() {  # X Y [BUTTON]
  x11 xdotool mousemove "$1" "$2" mousedown "${3:-1}"
  sleep 0.3
  x11 xdotool mouseup "${3:-1}"
}
double_click() { x11 xdotool mousemove "$1" "$2" click --repeat 2 --delay 120 1; }
key() { x11 xdotool key --delay 100 "$@"; }


# The server in a new virtual desktop, the pipe's client, then the program;
# ready once its tray icon shows. Says what failed.
desktop_start() {
  rm -f "$WORK/display"
  start_in_desktop "$TEST_DIR" "$DESKTOP" 'C:\test\OndrelTestServer.exe'
  if ! wait_until 60 test -f "$WORK/display"; then
    fail "the X screen did not start"
    return 1
  fi
  read_display
  coproc CTL { exec wine 'C:\test\OndrelTestServer.exe' --ctl 2>>"$WORK/ctl.log"; }
  CLIENT_PID=$CTL_PID
  if ! wait_until 60 server_answers; then
    fail "the test server does not answer on its pipe"
    return 1
  fi
  (cd "$PROG_DIR" && x11 wine explorer /desktop="$DESKTOP" 'C:\Ondrel\Ondrel.exe' >>"$WORK/run.log" 2>&1 &)
  if ! wait_until 60 tray_shows red; then
    fail "the program's tray icon did not show"
    return 1
  fi
}

# The middle of each item of the open menu, top to bottom, from its picture:
# the rows that hold dark text pixels, in groups. The keys do not reach a
# tray menu under Wine, and the item heights depend on the font.
menu_items() {  # -> "X Y" a line
  ctl menu
  local l t r b
  read -r _ l t r b <<<"$REPLY_LINE"
  [[ -n "$b" ]] || return 1
  x11 import -window root -crop "$((r - l))x$((b - t))+$l+$t" +repage -depth 8 "rgb:$WORK/menu.rgb" 2>/dev/null || return 1
  python3 - "$WORK/menu.rgb" "$l" "$t" "$((r - l))" "$((b - t))" <<'EOF_PY'
import sys
data = open(sys.argv[1], "rb").read()
left, top, w, h = (int(a) for a in sys.argv[2:])
def dark(x, y):
    i = (y * w + x) * 3
    return max(data[i:i + 3]) < 100
rows = [y for y in range(h) if any(dark(x, y) for x in range(4, w - 4))]
groups = []
for y in rows:
    if groups and y - groups[-1][-1] <= 2:
        groups[-1].append(y)
    else:
        groups.append([y])
for g in groups:
    print(left + w // 2, top + (g[0] + g[-1]) // 2)
EOF_PY
}

# The tray menu with a real right click on the icon, then a real click on
# its Nth item (separators not counted): 1 Eraser, 2-5 the lists, 6 Help,
# 7 Options, 8 About, 9 Exit.
MENU_ITEMS=9
menu_drawn() { mapfile -t MENU_SPOTS < <(menu_items); ((${#MENU_SPOTS[@]} == MENU_ITEMS)); }
menu_choose() {  # N
  tray_shows red || tray_shows green || return 1
  read -r TX TY <<<"$TRAY"
  click "$TX" "$TY" 3
  wait_until 10 menu_open || return 1
  # Off the menu, so that no item is lit when it is photographed; a loaded
  # machine may take a while to draw all of it.
  x11 xdotool mousemove 400 300
  if ! wait_until 5 menu_drawn; then
    echo "---- the menu shows ${#MENU_SPOTS[@]} items, not $MENU_ITEMS"
    click 400 300  # a click beside the menu closes it
    return 1
  fi
  click ${MENU_SPOTS[$1 - 1]}
  wait_until 10 menu_closed
}

# The window of that caption cut out of the screen into FILE, 8-bit colours.
window_shot() {  # CAPTION FILE
  ctl window "\"$1\""
  [[ "$(get visible)" == 1 ]] || return 1
  local l=$(get left) t=$(get top) r=$(get right) b=$(get bottom)
  x11 import -window root -crop "$((r - l))x$((b - t))+$l+$t" +repage -colors 255 "PNG8:$2" 2>/dev/null
}
