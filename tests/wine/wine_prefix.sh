# Sourced by the Wine tests: a private Wine prefix whose processes all end
# with the test, and the questions the tests ask of it.
#
#   wine_prefix_start WORK TIME_LIMIT   exports WINEPREFIX=WORK/prefix, starts the watchdog
#   wine_prefix_boot                    creates the prefix and keeps its server up
#   wine_prefix_stop                    in the test's clean-up: the watchdog and every Wine process
#   wine_prefix_timed_out               whether the watchdog had to act

wine_prefix_start() {
  WINE_PREFIX_WORK=$1
  export WINEPREFIX="$1/prefix"
  export WINEDEBUG=-all
  # No menu entries or file associations on the host for what a program
  # registers inside the prefix.
  export WINEDLLOVERRIDES="winemenubuilder.exe=d"
  # The test must end well within CTest's limit, which kills without
  # clean-up. A hung Wine command holds the script, so the watchdog kills the
  # prefix's processes itself: whatever waited on them then fails at once.
  (
    trap 'kill "$sleeper" 2>/dev/null; exit 0' TERM
    sleep "$2" &
    sleeper=$!
    wait "$sleeper"
    touch "$WINE_PREFIX_WORK/timed_out"
    echo "FAIL: the test ran out of its $2 s; killing the prefix's Wine processes"
    wineserver -k >/dev/null 2>&1
  ) &
  WINE_WATCHDOG_PID=$!
}

wine_prefix_boot() {
  wine wineboot -i >"$WINE_PREFIX_WORK/wineboot.log" 2>&1
  wineserver -w
  # One server for the whole test: a server that ends by itself between two
  # steps (after a session end, say) can drop the next query.
  wineserver -p
  wine reg add 'HKCU\Software\Wine\Drivers' /v Audio /d "" /f >/dev/null 2>&1
}

wine_prefix_stop() {
  if [[ -n "${WINE_WATCHDOG_PID:-}" ]]; then
    kill "$WINE_WATCHDOG_PID" 2>/dev/null
    wait "$WINE_WATCHDOG_PID" 2>/dev/null
    WINE_WATCHDOG_PID=""
  fi
  [[ -n "${WINEPREFIX:-}" ]] && wineserver -k >/dev/null 2>&1
}

wine_prefix_timed_out() { [[ -f "$WINE_PREFIX_WORK/timed_out" ]]; }

# Processes of our prefix: Wine starts each with the environment it was
# given, so the prefix in it tells ours from anybody else's.
# The test script and its helpers carry the prefix too; Wine's own processes
# are those run by a Wine binary.
prefix_pids() {
  local p
  for p in /proc/[0-9]*; do
    case "$(readlink "$p/exe" 2>/dev/null)" in
      *wine*) ;;
      *) continue ;;
    esac
    # (A process may end while it is looked at: the redirection of errors
    # comes first, so that its vanished files print nothing.)
    if tr '\0' '\n' 2>/dev/null <"$p/environ" | grep -qxF "WINEPREFIX=$WINEPREFIX"; then
      echo "${p#/proc/}"
    fi
  done
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
