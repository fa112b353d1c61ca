# What the Wine tests share, sourced by each: a private Wine prefix in a
# temporary folder, a virtual desktop on Xvfb, and a clean end whatever
# happens (every Wine process of the prefix killed, the folder removed).
#
#   TIME_LIMIT=150; . wine_session.sh; wine_session_begin ondrel-wine
#   create_prefix; start_in_desktop "$DIR" "ondrel,1024x768" 'C:\Ondrel\Ondrel.exe'
#   ... wait for the program ...; read_display; x11 xdotool ...

# Wine processes of our prefix: Wine starts each with the environment it was
# given, so the prefix in it tells ours from anybody else's. The test script
# and its helpers carry the prefix too; Wine's own processes are those run
# by a Wine binary.
prefix_pids() {
  local p env IFS=$'\n'
  # Read without a process per entry: the machine may run many.
  for p in /proc/[0-9]*; do
    [[ "$(readlink "$p/exe" 2>/dev/null)" == *wine* ]] || continue
    mapfile -d '' -t env 2>/dev/null <"$p/environ" || continue
    [[ $'\n'"${env[*]}"$'\n' == *$'\n'"WINEPREFIX=$WINEPREFIX"$'\n'* ]] && echo "${p#/proc/}"
  done
}

wine_session_cleanup() {
  if [[ -n "$WATCHDOG_PID" ]]; then
    kill "$WATCHDOG_PID" 2>/dev/null
    wait "$WATCHDOG_PID" 2>/dev/null
  fi
  wineserver -k >/dev/null 2>&1
  stop_desktop
  rm -rf "$WORK"
}

# Makes the folder and the prefix's environment, and starts the watchdog:
# the test must end well within CTest's limit, which kills without clean-up.
# A hung Wine command holds the script, so the watchdog kills the prefix's
# processes itself after $TIME_LIMIT seconds: whatever waited on them then
# fails at once, and $WORK/timed_out tells the script.
wine_session_begin() {  # name of the temporary folder
  WORK=$(mktemp -d "${TMPDIR:-/tmp}/$1.XXXXXX")
  export WINEPREFIX="$WORK/prefix"
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="winemenubuilder.exe=d"
  unset DISPLAY XAUTHORITY
  XVFB_PID=""
  WATCHDOG_PID=""
  trap wine_session_cleanup EXIT
  trap 'exit 2' INT TERM
  (
    trap 'kill "$sleeper" 2>/dev/null; exit 0' TERM
    sleep "$TIME_LIMIT" &
    sleeper=$!
    wait "$sleeper"
    touch "$WORK/timed_out"
    echo "FAIL: the test ran out of its $TIME_LIMIT s; killing the prefix's Wine processes"
    wineserver -k >/dev/null 2>&1
  ) &
  WATCHDOG_PID=$!
}

# A new prefix without prompts and without sound, and one server for the
# whole test: a server that ends by itself between two steps (after a
# session end, say) can drop the next query.
create_prefix() {
  local try
  for try in 1 2; do
    wine wineboot -i >"$WORK/wineboot.log" 2>&1
    wineserver -w
    # On a heavily loaded machine wineboot has once left a prefix without
    # its system files; a second try starts afresh.
    [[ -f "$WINEPREFIX/drive_c/windows/system32/kernel32.dll" ]] && break
    echo "---- the new prefix has no kernel32.dll (try $try)"
    rm -rf "$WINEPREFIX"
  done
  wineserver -p
  wine reg add 'HKCU\Software\Wine\Drivers' /v Audio /d "" /f >/dev/null 2>&1
}

# Starts a program in a virtual desktop on a new Xvfb screen, from its own
# folder; its output goes to $WORK/run.log, the X display's name and key to
# $WORK/display once the screen is up. The explorer that was started may end
# long before the program it started (another explorer process can hold the
# desktop), and xvfb-run stops its X server as soon as its command ends: so
# the command waits for the word of stop_desktop before it ends.
start_in_desktop() {  # folder desktop windows-path-of-the-program
  rm -f "$WORK/stop_x"
  (
    cd "$1" &&
      exec xvfb-run -a -e "$WORK/xvfb.log" -s "-screen 0 1024x768x24" sh -c \
        'echo "$DISPLAY" >"$1.tmp"; echo "$XAUTHORITY" >>"$1.tmp"; mv "$1.tmp" "$1"; wine explorer /desktop="$2" "$3"; while [ ! -e "$4" ]; do sleep 0.2; done' \
        sh "$WORK/display" "$2" "$3" "$WORK/stop_x"
  ) >"$WORK/run.log" 2>&1 &
  XVFB_PID=$!
}

# Stops the X screen of start_in_desktop, once the programs on it are ended.
stop_desktop() {
  local i
  [[ -n "$XVFB_PID" ]] || return 0
  touch "$WORK/stop_x"
  for i in $(seq 1 40); do
    kill -0 "$XVFB_PID" 2>/dev/null || break
    sleep 0.25
  done
  kill "$XVFB_PID" 2>/dev/null
  wait "$XVFB_PID" 2>/dev/null
  XVFB_PID=""
}

# Ends the desktop that start_in_desktop began, with its X screen, before
# another one starts: the server keeps a desktop by its name as long as any
# process holds it, and a second desktop of that name would draw into the X
# window of the first screen. The server is started afresh for what follows.
end_desktop() {
  wineserver -k >/dev/null 2>&1
  stop_desktop
  wineserver -w
  wineserver -p
}

# After the program is up: x11 runs an X client on its screen.
read_display() {
  { read -r DISPLAY_NAME; read -r XAUTH_FILE; } <"$WORK/display"
}
x11() { DISPLAY="$DISPLAY_NAME" XAUTHORITY="$XAUTH_FILE" "$@"; }

# Waits for the prefix's processes to end after `wineserver -k`; says which are left.
no_wine_left() {
  local left="" i
  wineserver -k >/dev/null 2>&1
  for i in $(seq 1 20); do
    left=$(prefix_pids)
    [[ -z "$left" ]] && break
    sleep 0.5
  done
  [[ -z "$left" ]] && pass "no Wine process is left" || fail "Wine processes left: $left"
}

# Wine gives a program the Windows path of its file as its first argument.
# Asked often, on a machine that may run many processes, so the first
# argument of each is read without starting a program for it.
program_running() {  # extended pattern of that path -> whether such a program runs
  local p first found=1
  local nocase
  nocase=$(shopt -p nocasematch)
  shopt -s nocasematch
  for p in /proc/[0-9]*; do
    first=""
    { read -r -d '' first <"$p/cmdline"; } 2>/dev/null
    [[ "$first" =~ $1 ]] || continue
    if grep -qxzF "WINEPREFIX=$WINEPREFIX" "$p/environ" 2>/dev/null; then
      found=0
      break
    fi
  done
  $nocase
  return $found
}

# The tray icon, found by its colours in the task bar at the bottom right:
# the red cross while blocking is on, the green tick while it is off. On the
# screen of read_display, else on $DISPLAY.
tray_spot() {  # red|green -> "X Y", or nothing
  local screen=()
  [[ -n "${DISPLAY_NAME:-}" ]] && screen=(env DISPLAY="$DISPLAY_NAME" XAUTHORITY="$XAUTH_FILE")
  "${screen[@]}" import -window root -crop 224x40+800+728 +repage -depth 8 "rgb:$WORK/tray.rgb" 2>/dev/null || return 1
  python3 - "$WORK/tray.rgb" "$1" <<'EOF'
import sys
data, want = open(sys.argv[1], "rb").read(), sys.argv[2]
hits = []
for i in range(0, len(data) - 2, 3):
    r, g, b = data[i], data[i + 1], data[i + 2]
    red = r > 170 and g < 90 and b < 90
    green = g > 130 and r < 110 and b < 110
    if (red if want == "red" else green):
        hits.append(((i // 3) % 224 + 800, (i // 3) // 224 + 728))
if len(hits) >= 20:
    print(sum(x for x, _ in hits) // len(hits), sum(y for _, y in hits) // len(hits))
EOF
}
# TRAY: where it was seen.
tray_shows() { TRAY=$(tray_spot "$1"); [[ -n "$TRAY" ]]; }

# Repeats a command every 0.2 s until it succeeds or SECONDS have passed.
wait_until() {
  local seconds=$1 i
  shift
  for ((i = 0; i < seconds * 5; i++)); do
    "$@" && return 0
    sleep 0.2
  done
  return 1
}

reg_value() {  # key value -> its data as reg prints it, or nothing
  wine reg query "$1" /v "$2" 2>/dev/null | reg_data "$2"
}
reg_data() {  # value, with the output of reg query on standard input -> its data
  # A line is the value's name, its type and its data; the name may itself
  # end another value's name (UninstallString, QuietUninstallString).
  tr -d '\r' | awk -v name="$1" '{
    line = $0
    sub(/^[ \t]+/, "", line)
    rest = substr(line, length(name) + 1)
    if (substr(line, 1, length(name)) == name && rest ~ /^[ \t]+REG_[A-Z_]+/) {
      sub(/^[ \t]+REG_[A-Z_]+[ \t]*/, "", rest)
      print rest
    }
  }'
}
