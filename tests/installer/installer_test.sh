#!/usr/bin/env bash
# The Windows artefacts as a user gets them: the portable zip, the stripped
# program, and the installer and uninstaller run silently under Wine.
#
#   installer_test.sh WINDOWS_BUILD_DIR VERSION
#
# Checked without Wine: the zip holds exactly the program, the language
# files, the icons (and the help file, when the build made one); the program
# has no debug information and names its separate debug file.
# Checked under Wine, in a private prefix on a virtual desktop: installing
# into a folder that cannot be written fails and leaves nothing behind; a
# second installer stops while one runs; the default silent install puts the
# files in place with the "Uninstall" entry and the shortcut, and no
# autostart; the installed program starts and writes its log beside itself;
# while it runs, neither the installer nor the uninstaller touches anything;
# installing again keeps the user's lists and settings; the silent uninstall
# removes the program, the shortcut and the entry and keeps the lists, the
# log, the settings and another copy's autostart; an install into a folder
# with a blank writes the quoted autostart value, which its uninstall
# removes with the whole folder. No Wine process is left.
set -u

BUILD_DIR=${1:-}
VERSION=${2:-}
HERE=$(cd "$(dirname "$0")" && pwd)
SOURCE_DIR=$(cd "$HERE/../.." && pwd)
TIME_LIMIT=270  # seconds for the whole test: about 100 on a quiet machine, 190 on a busy one
STEP_TIMEOUT=30 # seconds for one program to start or one uninstall to finish

if [[ -z "$BUILD_DIR" || -z "$VERSION" ]]; then
  echo "usage: $0 WINDOWS_BUILD_DIR VERSION"
  exit 1
fi
BUILD_DIR=$(cd "$BUILD_DIR" 2>/dev/null && pwd) || { echo "FAIL: no folder $1"; exit 1; }
SETUP="$BUILD_DIR/OndrelSetup-$VERSION.exe"
ZIP="$BUILD_DIR/Ondrel-$VERSION-portable.zip"
EXE="$BUILD_DIR/Ondrel.exe"
DEBUG_FILE="$BUILD_DIR/Ondrel.debug"
for f in "$SETUP" "$ZIP" "$EXE" "$DEBUG_FILE"; do
  if [[ ! -f "$f" ]]; then
    echo "FAIL: no $f (build it with: cmake --preset windows && cmake --build --preset windows)"
    exit 1
  fi
done
for tool in wine wineserver xvfb-run xdotool unzip x86_64-w64-mingw32-objdump; do
  if ! command -v "$tool" >/dev/null; then
    echo "FAIL: $tool is not installed"
    exit 1
  fi
done

# The installer's windows need a display; everything runs inside one Xvfb.
if [[ -z "${ONDREL_INSTALLER_TEST_DISPLAY:-}" ]]; then
  unset DISPLAY XAUTHORITY
  exec env ONDREL_INSTALLER_TEST_DISPLAY=1 xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$@"
fi

failures=0
pass() { echo "PASS: $*"; }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
check() {  # description command... -> pass or fail by the command's status
  local what=$1
  shift
  if "$@"; then pass "$what"; else fail "$what"; fi
}
T0=$(date +%s)
note() { echo "---- $* ($(($(date +%s) - T0)) s)"; }

# ---- the artefacts -----------------------------------------------------------
note "checking the zip and the program file"
expected_files() {
  echo Ondrel.exe
  local f
  for f in "$SOURCE_DIR"/lang/*.lcl "$SOURCE_DIR"/res/*.ico; do basename "$f"; done
  [[ -f "$BUILD_DIR/Ondrel.chm" ]] && echo Ondrel.chm
}
source_of() {  # shipped file name -> the file it was made from
  case "$1" in
    Ondrel.exe | Ondrel.chm) echo "$BUILD_DIR/$1" ;;
    *.lcl) echo "$SOURCE_DIR/lang/$1" ;;
    *.ico) echo "$SOURCE_DIR/res/$1" ;;
  esac
}
zip_list=$(unzip -Z1 "$ZIP" | sort)
want_list=$(expected_files | sort)
if [[ "$zip_list" == "$want_list" ]]; then
  pass "the zip holds exactly: $(echo $want_list)"
else
  fail "the zip holds: $(echo $zip_list); expected: $(echo $want_list)"
fi
zip_same=1
for name in $want_list; do
  unzip -p "$ZIP" "$name" 2>/dev/null | cmp -s - "$(source_of "$name")" || zip_same=0
done
check "every file in the zip is the one the build made" test "$zip_same" = 1

has_section() {  # file section -> whether the file has it
  x86_64-w64-mingw32-objdump -h "$1" | awk '$1 ~ /^[0-9]+$/ { print $2 }' | grep -qx -- "$2"
}
no_debug_sections() { ! has_section "$EXE" '\.debug_.*'; }
check "Ondrel.exe has no debug sections" no_debug_sections
check "Ondrel.exe names its debug file" has_section "$EXE" .gnu_debuglink
check "Ondrel.debug holds the debug information" has_section "$DEBUG_FILE" .debug_info

# ---- Wine prefix ---------------------------------------------------------------
. "$SOURCE_DIR/tests/wine/wine_session.sh"
# The session starts without a display of its own; this test brought its Xvfb.
display=$DISPLAY xauthority=${XAUTHORITY:-}
wine_session_begin installer-test
export DISPLAY=$display XAUTHORITY=$xauthority

note "creating the Wine prefix"
create_prefix
# Every program in one virtual desktop, so that the installer sees the
# windows of the program it installs.
wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1

# Each Wine program takes a while to start, so the paths are worked out here:
# drive C: is the prefix's drive_c, drive Z: the host's root.
unix_path() {  # Windows path on drive C: -> host path, or nothing
  local p=${1//\\//}
  case "$p" in
    [Cc]:/*) echo "$WINEPREFIX/drive_c/${p:3}" ;;
  esac
}
SETUP_WIN="Z:${SETUP//\//\\}"
{ read -r LOCALAPPDATA; read -r APPDATA; read -r PROFILE; } < <(
  wine cmd /c 'echo %LOCALAPPDATA%& echo %APPDATA%& echo %USERPROFILE%' 2>/dev/null | tr -d '\r' | sed 's/ *$//')
SHORTCUT=$(unix_path "$APPDATA\\Microsoft\\Windows\\Start Menu\\Programs\\Ondrel.lnk")
UNINSTALL_KEY='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Ondrel'
RUN_KEY='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
SETTINGS_KEY='HKCU\Software\Morvane\Ondrel'

setup() { wine "$SETUP" "$@" >>"$WORK/wine.log" 2>&1; }
# A command line as typed at a Windows prompt, where /D= takes the rest of the
# line, blanks and all: Wine would put an argument with a blank in quotes.
win_run() {  # command line -> its exit status
  printf '@echo off\r\n%s\r\nexit /b %%ERRORLEVEL%%\r\n' "$1" >"$WINEPREFIX/drive_c/run.cmd"
  wine cmd /c 'C:\run.cmd' >>"$WORK/wine.log" 2>&1
}
has_key() { wine reg query "$1" >/dev/null 2>&1; }
no_entry() { ! has_key "$UNINSTALL_KEY"; }
# The uninstaller hands over to a copy of itself in the temporary folder and
# returns at once; the copy does the work.
uninstall_done() { ! program_running '\\~nsu[^\\]*\.tmp\\'; }
# The copy may not show yet when the first one has returned: the entry, taken
# away near the end, tells that it ran.
uninstall_finished() { no_entry && uninstall_done; }
quiet_uninstall() {
  local line status
  line=$(reg_value "$UNINSTALL_KEY" QuietUninstallString)
  if [[ -z "$line" ]]; then
    echo "---- the entry has no QuietUninstallString"
    return 1
  fi
  win_run "$line"
  status=$?
  if ((status != 0)); then
    echo "---- '$line' ended with status $status; the end of the Wine output:"
    tail -n 20 "$WORK/wine.log"
    return 1
  fi
  wait_until "$STEP_TIMEOUT" uninstall_finished
}
# Checksums of the named files in a folder (a missing one as "missing").
snapshot() {  # folder name... -> one line a file
  local dir=$1 f
  shift
  for f in "$@"; do
    if [[ -f "$dir/$f" ]]; then echo "$f $(sha1sum <"$dir/$f")"; else echo "$f missing"; fi
  done
}
PROGRAM_FILES=$(expected_files)
LIST_FILES="allowit.ppe closeit.ppe closed.ppe browsed.ppe"
nothing_installed_in() {  # unix folder -> whether no program file is there
  local f
  for f in $PROGRAM_FILES Uninstall.exe; do [[ -f "$1/$f" ]] && return 1; done
  return 0
}

# ---- a folder that cannot be written ---------------------------------------------
# Each one fails with nothing left behind: no program file, no "Uninstall"
# entry, no shortcut. In the last one a folder stands where ondrel.ico
# belongs: Ondrel.exe, copied first, has to be taken back.
note "installing into folders that cannot be written"
touch "$WINEPREFIX/drive_c/blocker"
mkdir -p "$WINEPREFIX/drive_c/partial/ondrel.ico"
# The cases are read from descriptor 3: Wine's programs read standard input.
while IFS='|' read -r -u 3 folder why; do
  setup /S "/D=$folder"
  status=$?
  dir=$(unix_path "$folder")
  if ((status != 0)) && nothing_installed_in "$dir" && no_entry && [[ ! -e "$SHORTCUT" ]]; then
    pass "$why: the install fails (status $status) and leaves nothing"
  else
    fail "$why: status $status, files: $(ls "$dir" 2>/dev/null | tr '\n' ' ')"
  fi
done 3<<'EOF'
C:\blocker\Ondrel|a path through a file
Q:\Ondrel|a drive that does not exist
C:\partial|a folder where one file cannot be written
EOF

# ---- one installer at a time ------------------------------------------------------
note "starting a second installer while one runs"
wine "$SETUP" >>"$WORK/wine.log" 2>&1 &
gui_pid=$!
setup_window() { xdotool search --onlyvisible --name '^Ondrel Setup$' >/dev/null 2>&1; }
if wait_until "$STEP_TIMEOUT" setup_window; then
  setup /S '/D=C:\second'
  status=$?
  if ((status != 0)) && [[ ! -e "$WINEPREFIX/drive_c/second" ]]; then
    pass "a second installer stops (status $status) while one runs, and installs nothing"
  else
    fail "a second installer ran beside the first: status $status"
  fi
else
  fail "the installer's window did not come up"
fi
kill "$gui_pid" 2>/dev/null
wait "$gui_pid" 2>/dev/null

# ---- the default silent install -----------------------------------------------------
note "installing silently into the default folder"
INSTDIR_WIN="$LOCALAPPDATA\\Programs\\Ondrel"
INSTDIR=$(unix_path "$INSTDIR_WIN")
setup /S
check "the silent install succeeds" test $? = 0
same=1
for name in $PROGRAM_FILES; do
  cmp -s "$INSTDIR/$name" "$(source_of "$name")" || { same=0; echo "  differs or missing: $name"; }
done
check "the program files are in $INSTDIR_WIN" test "$same" = 1
check "the uninstaller is beside them" test -f "$INSTDIR/Uninstall.exe"

entry_ok=1
entry=$(wine reg query "$UNINSTALL_KEY" 2>/dev/null)
while IFS='|' read -r -u 3 name want; do
  got=$(reg_data "$name" <<<"$entry")
  [[ "$got" == "$want" ]] || { entry_ok=0; echo "  $name: '$got', expected '$want'"; }
done 3<<EOF
DisplayName|Ondrel
DisplayVersion|$VERSION
Publisher|Morvane
DisplayIcon|$INSTDIR_WIN\\Ondrel.exe,0
InstallLocation|$INSTDIR_WIN
UninstallString|"$INSTDIR_WIN\\Uninstall.exe"
QuietUninstallString|"$INSTDIR_WIN\\Uninstall.exe" /S
EOF
size=$(reg_data EstimatedSize <<<"$entry")
((size > 0)) 2>/dev/null || { entry_ok=0; echo "  EstimatedSize: '$size'"; }
check "the \"Uninstall\" entry has name, version, publisher, icon, size and location" test "$entry_ok" = 1
check "the Start-menu shortcut starts the installed program" grep -aqF "$INSTDIR_WIN\\Ondrel.exe" "$SHORTCUT"
check "no autostart unless asked for" test -z "$(reg_value "$RUN_KEY" Ondrel)"

# ---- the installed program ------------------------------------------------------------
note "starting the installed Ondrel.exe"
# The user's data: two lists (empty ones: their bytes are what counts), and
# a settings value of the user's own.
for name in allowit.ppe closeit.ppe; do
  printf '\001\000\000\000\000\000\000\000' >"$INSTDIR/$name"
done
wine reg add "$SETTINGS_KEY" /v InstallerTest /d kept /f >/dev/null 2>&1
wine "$INSTDIR_WIN\\Ondrel.exe" >>"$WORK/wine.log" 2>&1 &
ondrel_pid=$!
LOG="$INSTDIR/Ondrel.LOG"
log_written() { grep -aqF -- "File Ondrel.exe Version($VERSION)" "$LOG" 2>/dev/null; }
check "Ondrel.exe starts from the installed folder and writes its log beside itself" wait_until "$STEP_TIMEOUT" log_written
ondrel_running() { program_running '\\ondrel\.exe$'; }
ondrel_ended() { ! ondrel_running; }
check "Ondrel.exe is running" ondrel_running

program_state() { snapshot "$INSTDIR" $PROGRAM_FILES Uninstall.exe; has_key "$UNINSTALL_KEY" && echo entry; }
before=$(program_state)
refused_unchanged() {  # status -> whether it is a refusal and nothing changed
  local now
  now=$(program_state)
  [[ "$1" != 0 && "$now" == "$before" ]] && return 0
  diff <(echo "$before") <(echo "$now") | sed 's/^/  /'
  return 1
}
setup /S
status=$?
check "while Ondrel runs, the installer stops (status $status) and changes nothing" refused_unchanged $status
wine "$INSTDIR/Uninstall.exe" /S "_?=$INSTDIR_WIN" >>"$WORK/wine.log" 2>&1
status=$?
check "while Ondrel runs, the uninstaller stops (status $status) and removes nothing" refused_unchanged $status
check "Ondrel.exe still runs" ondrel_running

# The user ends the program; here it is simply stopped.
kill "$ondrel_pid" 2>/dev/null
wait "$ondrel_pid" 2>/dev/null
wait_until "$STEP_TIMEOUT" ondrel_ended

# ---- installing again ---------------------------------------------------------------------
note "installing again over the same version"
user_data=$(snapshot "$INSTDIR" $LIST_FILES Ondrel.LOG)
setup /S
check "installing again succeeds" test $? = 0
check "installing again keeps the lists and the log" test "$(snapshot "$INSTDIR" $LIST_FILES Ondrel.LOG)" == "$user_data"
check "installing again keeps the settings" test "$(reg_value "$SETTINGS_KEY" InstallerTest)" == kept

# ---- the silent uninstall -----------------------------------------------------------------
note "uninstalling silently"
OTHER_COPY='C:\Portable\Ondrel\Ondrel.exe'
wine reg add "$RUN_KEY" /v Ondrel /d "$OTHER_COPY" /f >/dev/null 2>&1
check "the quiet uninstall command of the entry runs to its end" quiet_uninstall
check "the program files and the uninstaller are removed" nothing_installed_in "$INSTDIR"
check "the shortcut is removed" test ! -e "$SHORTCUT"
check "the \"Uninstall\" entry is removed" no_entry
check "the lists and the log are kept" test "$(snapshot "$INSTDIR" $LIST_FILES Ondrel.LOG)" == "$user_data"
check "the settings are kept" test "$(reg_value "$SETTINGS_KEY" InstallerTest)" == kept
check "another copy's autostart is kept" test "$(reg_value "$RUN_KEY" Ondrel)" == "$OTHER_COPY"

# ---- a folder with a blank, with autostart ---------------------------------------------------
note "installing into a folder with a blank, with autostart"
BLANK_WIN="$PROFILE\\My Programs\\Ondrel"
BLANK_DIR=$(unix_path "$BLANK_WIN")
win_run "\"$SETUP_WIN\" /S /AUTOSTART /D=$BLANK_WIN"
check "the install into '$BLANK_WIN' succeeds" test $? = 0 -a -f "$BLANK_DIR/Ondrel.exe"
check "the autostart value is the program's path in quotes" \
  test "$(reg_value "$RUN_KEY" Ondrel)" == "\"$BLANK_WIN\\Ondrel.exe\""
check "its quiet uninstall runs to its end" quiet_uninstall
check "its autostart value is removed" test -z "$(reg_value "$RUN_KEY" Ondrel)"
check "its folder, holding no lists, is removed" test ! -e "$BLANK_DIR"

# ---- clean-up --------------------------------------------------------------------------------
wineserver -k >/dev/null 2>&1
no_wine_processes() { [[ -z "$(prefix_pids)" ]]; }
check "no Wine process is left" wait_until "$STEP_TIMEOUT" no_wine_processes
note "done"
[[ -f "$WORK/timed_out" ]] && failures=$((failures + 1))

if ((failures)); then
  echo "installer test: $failures check(s) failed"
  exit 1
fi
echo "installer test: all checks passed"
exit 0
