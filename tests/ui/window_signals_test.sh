#!/usr/bin/env bash
# The window ended by a termination or a hang-up (a logout): its temporary
# file and its lock go as Exit would remove them, and it ends by the signal.
# It is started with a file whose name is not UTF-8 (Latin-1 bytes), which
# it must open as a click would: its temporary file then holds the
# conversion, the point at which the signal is sent.
#   window_signals_test.sh TAVREL-CONVERTER
set -u
window=$1
source "$(dirname "${BASH_SOURCE[0]}")/../checks.sh"

runtime=$work/runtime
mkdir -m 700 "$runtime"
mkdir "$work/disegni"
name=$(printf 'lat\xe9in.pcb')
crlf "$h36" A >"$work/disegni/$name"

converted() { [ "$(cat "$runtime/PEMBLIX.TMP" 2>>"$work/discard")" = "$(crlf "$h35" A)" ]; }

for signal in TERM HUP; do
  number=$(kill -l "$signal")
  QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$runtime "$window" "$work/disegni/$name" \
    >>"$work/discard" 2>&1 &
  pid=$!
  check "$signal: the Latin-1 name opened and converted" wait_for converted
  check "$signal: its lock held" test -e "$runtime/PEMBLIX.LCK"
  kill -s "$signal" "$pid"
  got=0
  { wait "$pid"; } 2>>"$work/discard" || got=$?
  check "$signal: ended by the signal" test "$got" -eq $((128 + number))
  check "$signal: nothing left in the runtime folder" test -z "$(ls -A "$runtime")"
done

report
