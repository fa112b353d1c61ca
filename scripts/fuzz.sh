#!/usr/bin/env bash
# Runs the fuzz targets for longer than the test suite does (default 600 s
# each), JOBS at a time (default 1), and prints what each run did. The
# targets run exactly as their tests in build/fuzz do, with a longer time.
# New inputs stay in build/fuzz/fuzz-corpus, findings go to
# build/fuzz/fuzz-artifacts.
# Usage: scripts/fuzz.sh [-t SECONDS] [-j JOBS] [TARGET...]   (TARGET: list_file, format, ...)
set -euo pipefail
cd "$(dirname "$0")/.."
secs=600
jobs=1
while getopts t:j: opt; do
  case $opt in
    t) secs=$OPTARG ;;
    j) jobs=$OPTARG ;;
    *) exit 2 ;;
  esac
done
shift $((OPTIND - 1))
scripts/deps.sh sanitize
export CMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER:-ccache}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j 2 >/dev/null

# Each target's command line, as its test has it.
commands=$(ctest --test-dir build/fuzz -L fuzz --show-only=json-v1 | python3 -c '
import json, shlex, sys
for t in json.load(sys.stdin)["tests"]:
    print(t["name"][len("fuzz."):], shlex.join(t["command"]))')
want=" $* "
named=$#
logs=build/fuzz/fuzz-logs
tmp=${TMPDIR:-/tmp}
[ -d /dev/shm ] && tmp=/dev/shm  # the simulated drives are faster in memory
mkdir -p "$logs"
run() {  # NAME COMMAND...
  local name=$1
  shift
  local status=0 cpu
  # The processor time the run had: on a shared machine it may be far less than its length.
  cpu=$({ TIMEFORMAT='%U %S'; time TMPDIR=$tmp "$@" -max_total_time="$secs" </dev/null >"$logs/$name.log" 2>&1; } 2>&1) ||
    status=$?
  cpu=$(awk '{printf "%d", $1 + $2}' <<<"${cpu##*$'\n'}")
  local execs cov
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$logs/$name.log")
  cov=$(grep -E '^#[0-9]+.*(DONE|pulse|NEW|REDUCE)' "$logs/$name.log" | tail -1 | grep -oE 'cov: [0-9]+ ft: [0-9]+ corp: [0-9]+/[^ ]+')
  printf '%-14s %s s (%s s of processor)  executions %-10s %s  %s\n' "$name" "$secs" "$cpu" "${execs:-?}" "${cov:-?}" \
    "$([ $status -eq 0 ] && echo ok || echo "FAILED, see $logs/$name.log")"
  return $status
}
failed=0
while read -r name command; do
  [ "$named" -eq 0 ] || [[ $want == *" $name "* ]] || continue
  eval "set -- $command"
  run "$name" "$@" &
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n || failed=1; done
done <<<"$commands"
while [ "$(jobs -rp | wc -l)" -gt 0 ]; do wait -n || failed=1; done
exit $failed
