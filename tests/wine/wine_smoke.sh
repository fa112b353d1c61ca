#!/usr/bin/env bash
# Starts the real Ondrel.exe under Wine and ends it the way a log-off does.
#
#   wine_smoke.sh path/to/Ondrel.exe path/to/OndrelTestServer.exe
#
# A private Wine prefix in a temporary folder, a virtual desktop on Xvfb, the
# program in a folder of its own with the language files and a closed-windows
# list holding one stale and one fresh entry.
#
# Wine's shell window list cannot count its windows, so the program cannot
# attach to the browsers: the error is shown in a message box once the rest of
# the main window's creation has run (the browser's script debugger setting
# is forced), and the program goes on running. Checked: the log beside the
# program has the start banner and the version line, the settings key exists,
# the error message box comes up and holds the start until a user answers it
# with Return; then the lists are loaded, the tray icon appears and answers a
# click, and the first timer ticks save the closed-windows list without the
# stale entry while the program runs. Checked after the session end: the
# program has ended by itself, the browser setting is put back, and the list
# is still saved as it should be.
# Every Wine process of the prefix is killed and the folder removed whatever
# happens. Exit status 0 only when every check passed.
set -u

# Now and then Wine's virtual desktop goes away under the running program
# (at the start-up error, whose shell window list Wine's explorer serves;
# see docs/wine-popups.md). The program's windows are gone with it, and the
# run says so with status 3: the test is then run again from the start, up
# to three times in all.
if [[ -z "${SMOKE_TRY:-}" ]]; then
  for try in 1 2 3; do
    SMOKE_TRY=$try bash "$0" "$@"
    status=$?
    ((status == 3)) || exit "$status"
    echo "---- Wine's desktop went away under the program (try $try)"
  done
  exit 1
fi

EXE=${1:-}
SERVER=${2:-}
HERE=$(cd "$(dirname "$0")" && pwd)
SOURCE_DIR=$(cd "$HERE/../.." && pwd)
DESKTOP="ondrel,1024x768"
START_TIMEOUT=60   # seconds until the log shows the start
END_TIMEOUT=40     # seconds for the session end and the program's exit
TIME_LIMIT=150     # seconds for the whole test

failures=0
pass() { echo "PASS: $*"; }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
note() { echo "---- $* ($(( $(date +%s) - T0 )) s)"; }
T0=$(date +%s)

for file in "$EXE" "$SERVER"; do
  if [[ -z "$file" || ! -f "$file" ]]; then
    echo "FAIL: no program file '$file' (build it with: cmake --preset windows && cmake --build --preset windows)"
    exit 1
  fi
done
for tool in wine wineserver xvfb-run python3 xdotool; do
  if ! command -v "$tool" >/dev/null; then
    echo "FAIL: $tool is not installed"
    exit 1
  fi
done

. "$HERE/wine_session.sh"
wine_session_begin ondrel-wine

ondrel_running() { program_running 'ondrel\.exe$'; }

# ---- prefix ------------------------------------------------------------------
note "creating the Wine prefix"
create_prefix
IE_MAIN='HKCU\Software\Microsoft\Internet Explorer\Main'
wine reg add "$IE_MAIN" /v "Disable Script Debugger" /d no /f >/dev/null 2>&1
if [[ "$(reg_value "$IE_MAIN" "Disable Script Debugger")" != "no" ]]; then
  fail "could not prepare 'Disable Script Debugger' = no"
  exit 1
fi

PROG_DIR="$WINEPREFIX/drive_c/Ondrel"
mkdir -p "$PROG_DIR"
cp "$EXE" "$PROG_DIR/Ondrel.exe"
shopt -s nullglob
for lcl in "$SOURCE_DIR"/lang/*.lcl; do cp "$lcl" "$PROG_DIR/"; done
shopt -u nullglob

# The closed-windows list: one entry ten days old, one a minute old. Stamps
# count seconds of local time since 1969-12-31 00:00.
python3 - "$PROG_DIR/closed.ppe" "$WORK/fresh_line" <<'EOF'
import struct, sys, time
now = int(time.time() + time.localtime().tm_gmtoff) + 86400
def line(url, stamp):
    return b"\x01ref\x01" + url + b"\x01\x011\x010\x01" + str(stamp).encode()
old = line(b"http://old.example/popup", now - 10 * 86400)
fresh = line(b"http://fresh.example/popup", now - 60)
with open(sys.argv[1], "wb") as f:
    f.write(struct.pack("<ii", 1, 2))
    for l in (old, fresh):
        f.write(struct.pack("<h", len(l)) + l)
with open(sys.argv[2], "wb") as f:
    f.write(fresh)
EOF

# The closed-windows list as the program saves it: the fresh entry alone.
closed_list_saved() {
  python3 - "$PROG_DIR/closed.ppe" "$WORK/fresh_line" <<'EOF_PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
fresh = open(sys.argv[2], "rb").read()
version, count = struct.unpack_from("<ii", data, 0)
pos, lines = 8, []
for _ in range(max(count, 0)):
    (n,) = struct.unpack_from("<h", data, pos)
    pos += 2
    if n > 0:
        lines.append(data[pos:pos + n])
        pos += n
if lines != [fresh] or pos != len(data):
    print(f"closed.ppe holds {lines!r} ({len(data)} bytes)")
    sys.exit(1)
EOF_PY
}

# ---- start -------------------------------------------------------------------
note "starting Ondrel.exe"
start_in_desktop "$PROG_DIR" "$DESKTOP" 'C:\Ondrel\Ondrel.exe'

LOG="$PROG_DIR/Ondrel.LOG"
banner=0 version=0
for _ in $(seq 1 $((START_TIMEOUT * 2))); do
  if [[ -f "$LOG" ]]; then
    grep -aqF -- "------ Start --- " "$LOG" && banner=1
    grep -aqF -- "File Ondrel.exe Version(1.0.10.103)" "$LOG" && version=1
  fi
  ((banner && version)) && break
  kill -0 "$XVFB_PID" 2>/dev/null || break
  sleep 0.5
done
((banner)) && pass "the log has the start banner" || fail "no start banner in $LOG"
((version)) && pass "the log has the version line" || fail "no line 'File Ondrel.exe Version(1.0.10.103)' in the log"
if ! ((banner && version)); then
  [[ -f "$LOG" ]] && { echo "---- log:"; cat "$LOG"; }
  echo "---- Xvfb and Wine output:"
  cat "$WORK/run.log"
  exit 1
fi
note "started"
read_display

if wine reg query 'HKCU\Software\Morvane\Ondrel' >/dev/null 2>&1; then
  pass "the settings key HKCU\\Software\\Morvane\\Ondrel exists"
else
  fail "no settings key HKCU\\Software\\Morvane\\Ondrel"
fi

# ---- start-up error ----------------------------------------------------------
# The message box carries the program's title; the hidden host window has the
# same title but is never visible.
error_box() { x11 xdotool search --onlyvisible --name '^Ondrel$' 2>/dev/null | head -n 1; }
box=""
for _ in $(seq 1 60); do
  box=$(error_box)
  [[ -n "$box" ]] && break
  kill -0 "$XVFB_PID" 2>/dev/null || break
  sleep 0.5
done
if [[ -n "$box" ]]; then
  pass "the start-up error is shown in a message box"
else
  fail "no start-up error message box"
fi
grep -aqF "ShellWin Created" "$LOG" && fail "the log says the shell window list was counted" ||
  pass "the shell window list could not be counted"
# The box holds the start: nothing after the main window's creation has run yet.
sleep 1
grep -aqF "Load From" "$LOG" && fail "the lists were loaded while the error box was still up" ||
  pass "the start waits for the user to answer the error"

# The user reads it and presses Return: the box has the keyboard focus.
x11 xdotool key Return
gone=0
for _ in $(seq 1 20); do
  sleep 0.5
  [[ -z "$(error_box)" ]] && { gone=1; break; }
done
((gone)) && pass "Return dismisses the error message box" || fail "the error message box is still up after Return"

loaded=0
for _ in $(seq 1 20); do
  grep -aqF "Load From C:\Ondrel\closed.ppe" "$LOG" && { loaded=1; break; }
  sleep 0.5
done
((loaded)) && pass "the start goes on after the error: the lists are loaded" ||
  fail "no 'Load From C:\Ondrel\closed.ppe' in the log after the error"

# The steps after the failed one still ran: the browser setting is forced.
forced=$(reg_value "$IE_MAIN" "Disable Script Debugger")
[[ "$forced" == "yes" ]] && pass "'Disable Script Debugger' is forced to yes (the steps after the error still run)" ||
  fail "'Disable Script Debugger' reads '$forced' while running, expected yes"

if ondrel_running; then pass "Ondrel.exe is running"; else fail "Ondrel.exe is not running"; fi

# ---- tray ----------------------------------------------------------------------
# The tray icon sits in the virtual desktop's task bar at the bottom of the
# screen: the red cross while blocking is on, the green tick once a click
# has switched it off, found by colour (tray_spot).
if command -v import >/dev/null && command -v xdotool >/dev/null; then
  spot=""
  for _ in $(seq 1 20); do
    spot=$(tray_spot red)
    [[ -n "$spot" ]] && break
    sleep 0.5
  done
  if [[ -n "$spot" ]]; then
    pass "the tray shows the blocking icon (at $spot)"
    read -r sx sy <<<"$spot"
    DISPLAY="$DISPLAY_NAME" XAUTHORITY="$XAUTH_FILE" xdotool mousemove "$sx" "$sy" click 1
    off=""
    for _ in $(seq 1 10); do
      sleep 0.5
      off=$(tray_spot green)
      [[ -n "$off" && -z "$(tray_spot red)" ]] && break
      off=""
    done
    [[ -n "$off" ]] && pass "a click on the tray icon switches it to the off icon" ||
      fail "the tray icon did not turn to the off icon after a click"
  else
    fail "no blocking icon in the tray"
  fi
else
  echo "SKIP: tray checks (ImageMagick's import or xdotool is missing)"
fi

# The stale entry was dropped at load; the first half tick of the timer saves
# the changed list while the program runs.
saved=0
for _ in $(seq 1 10); do
  closed_list_saved >/dev/null && { saved=1; break; }
  sleep 0.5
done
((saved)) && pass "the timer runs: closed.ppe was saved without the stale entry while running" ||
  fail "closed.ppe was not saved while the program runs"

# ---- session end -------------------------------------------------------------
if ondrel_running; then pass "Ondrel.exe still runs before the session end"; else fail "Ondrel.exe ended before the session end"; fi
# The messages of a log-off, to every window of the program: the test
# server asks them on the program's desktop. (Wine's own session end asks
# the desktop's explorer too, which can take the desktop away first.)
note "ending the session"
cp "$SERVER" "$WORK/prefix/drive_c/OndrelTestServer.exe"
DISPLAY="$DISPLAY_NAME" XAUTHORITY="$XAUTH_FILE" timeout "$END_TIMEOUT" \
  wine explorer /desktop="$DESKTOP" 'C:\OndrelTestServer.exe' --end-session OndrelHost >"$WORK/end.log" 2>&1
# The explorer that started the server may return before the server is done.
for _ in $(seq 1 60); do
  grep -q "^end-session:" "$WORK/end.log" 2>/dev/null && break
  sleep 0.25
done
cat "$WORK/end.log" >>"$WORK/run.log"
# The program runs, but its window is not on its desktop any more.
desktop_lost=0
grep -q "no window of class" "$WORK/end.log" && ondrel_running && desktop_lost=1
exited=0
for _ in $(seq 1 $((END_TIMEOUT * 2))); do
  if ! ondrel_running; then exited=1; break; fi
  ((desktop_lost)) && break
  sleep 0.5
done
((exited)) && pass "Ondrel.exe has ended with the session" || fail "Ondrel.exe still runs after the session end"
note "ended"

restored=""
for _ in $(seq 1 10); do
  restored=$(reg_value "$IE_MAIN" "Disable Script Debugger")
  [[ -n "$restored" ]] && break
  sleep 0.5
done
[[ "$restored" == "no" ]] && pass "'Disable Script Debugger' is put back to no after the end" ||
  fail "'Disable Script Debugger' reads '$restored' after the end, expected no"

if closed_list_saved; then
  pass "closed.ppe is saved with the fresh entry only after the end"
else
  fail "closed.ppe does not hold just the fresh entry after the end"
fi

# ---- clean-up ------------------------------------------------------------------
no_wine_left
note "done"
[[ -f "$WORK/timed_out" ]] && failures=$((failures + 1))

if ((failures && desktop_lost)); then
  echo "wine smoke test: $failures check(s) failed, with the desktop gone under the program"
  exit 3
fi
if ((failures)); then
  echo "---- log:"
  cat "$LOG"
  echo "---- output of Wine:"
  cat "$WORK/run.log"
  echo "---- output of the X server:"
  cat "$WORK/xvfb.log"
  echo "wine smoke test: $failures check(s) failed"
  exit 1
fi
echo "wine smoke test: all checks passed"
exit 0
