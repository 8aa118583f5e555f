# Sourced by the test scripts: a private folder $work removed at the end
# (a script that needs more at its end sets its own EXIT trap), the checks
# and their count, and the data files' headers.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0 failed=0

check() {  # check DESCRIPTION COMMAND...
  local what=$1; shift
  if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL: $what"; fi
}
status_is() {  # status_is EXPECTED COMMAND...: standard output and error in $work
  local expected=$1; shift
  "$@" >"$work/stdout" 2>"$work/stderr"
  local got=$?
  [ "$got" -eq "$expected" ] && return 0
  echo "  exit status $got, expected $expected: $*"
  sed 's/^/  stdout: /' "$work/stdout"
  sed 's/^/  stderr: /' "$work/stderr"
  return 1
}
crlf() { printf '%s\r\n' "$@"; }
# wait_for COMMAND...: true once COMMAND succeeds (checked every 20 ms, for
# at most 30 s).
wait_for() {
  local tries=1500
  until "$@"; do
    tries=$((tries - 1))
    [ "$tries" -gt 0 ] || return 1
    sleep 0.02
  done
}
lacks() { ! grep -q "$@"; }
# The end of a script: the counts, and its status.
report() {
  echo "$passed passed, $failed failed"
  [ "$failed" -eq 0 ]
}

h36='TAVREL Version 3.6 -- DATA FILE'
h40='TAVREL Version 4.0 -- Data File.'
h35='TAVREL Version 3.5 -- DATA FILE'
