#!/usr/bin/env bash
# tavconv ended by signals, closed pipes and limits, and run by many threads
# at once: nothing is left behind, no mode is loosened, the exit status is
# the signal's (or 2, with an Italian message).  The signals are sent at a
# point the test sees: tavconv waiting on its standard input, blocked on its
# standard output, or holding hidden files.
#   tavconv_signals_test.sh TAVCONV
set -u
tavconv=$1
source "$(dirname "${BASH_SOURCE[0]}")/../checks.sh"

uid=$(id -u)
tmp=$work/tmp
mkdir "$tmp"
export TMPDIR=$tmp

# Whether process $1 holds a file with no name left (an unnamed spool).
holds_unnamed() { ls -l "/proc/$1/fd" 2>>"$work/discard" | grep -q '(deleted)'; }
# Whether $1 files named like $2 exist below folder $3.
has_files() { [ "$(find "$3" -name "$2" -type f 2>>"$work/discard" | wc -l)" -ge "$1" ]; }
# Nothing of tavconv's anywhere in the test's folder.
nothing_left() {
  local left
  left=$(find "$work" \( -name '.tavconv*' -o -name 'tavconv-*' -o -name 'PEMBLIX*' \) -print)
  [ -z "$left" ] || { echo "  left: $left"; return 1; }
}
# The exit status of the background job $1 is $2.
ended_with() {
  local got=0
  { wait "$1"; } 2>>"$work/discard" || got=$?
  [ "$got" -eq "$2" ] || { echo "  exit status $got, expected $2"; return 1; }
}

# A 4.0 file of about 8 MB.
big=$work/big.pcb
{ crlf "$h40"; yes $'S 1 2 3 4\r' | head -c 8000000; } >"$big"

# --- Signals ---------------------------------------------------------------

fifo=$work/fifo
mkfifo "$fifo"
for named in 0 1; do
  if [ "$named" = 1 ]; then export TAVREL_UNNAMED_FILES=0; else unset TAVREL_UNNAMED_FILES; fi
  spooled() {  # the spool of process $1 exists
    if [ "$named" = 1 ]; then has_files 1 'tavconv-*' "$tmp"; else holds_unnamed "$1"; fi
  }
  for signal in INT TERM HUP; do
    number=$(kill -l "$signal")
    # Waiting on standard input, the input spool made.
    for mode in "- -" "-n --report -" "- $work/dest.pcb"; do
      # shellcheck disable=SC2086
      env --default-signal=INT "$tavconv" $mode <"$fifo" >"$work/stdout" 2>"$work/stderr" &
      pid=$!
      exec 3>"$fifo"
      head -c 200000 "$big" >&3
      check "$signal, $mode (named $named): spool made" wait_for spooled "$pid"
      kill -s "$signal" "$pid"
      check "$signal, $mode (named $named): status" ended_with "$pid" $((128 + number))
      exec 3>&-
      check "$signal, $mode (named $named): nothing left" nothing_left
      check "$signal, $mode (named $named): nothing written" test ! -s "$work/stdout"
    done
    # Blocked on a standard output no one reads: both spools made.
    mkfifo "$work/out-fifo"
    env --default-signal=INT "$tavconv" - - <"$big" >"$work/out-fifo" 2>"$work/stderr" &
    pid=$!
    exec 4<"$work/out-fifo"
    head -c 10 <&4 >>"$work/discard"
    kill -s "$signal" "$pid"
    check "$signal, blocked output (named $named): status" ended_with "$pid" $((128 + number))
    exec 4<&-
    rm "$work/out-fifo"
    check "$signal, blocked output (named $named): nothing left" nothing_left
  done

  # A closed pipe is a failed output, not the end of the program.
  "$tavconv" - - <"$big" 2>"$work/stderr" | head -c 10 >>"$work/discard"
  check "closed pipe (named $named): status 2" test "${PIPESTATUS[0]}" -eq 2
  check "closed pipe (named $named): Italian message" \
    grep -q 'tavconv: standard output: errore 57 = Errore di I/O della periferica' "$work/stderr"
  check "closed pipe (named $named): nothing left" nothing_left
done

# A tree converted by eight threads, its hidden files removed on a signal
# whichever thread writes them.
export TAVREL_UNNAMED_FILES=0
src=$work/tree
mkdir -p "$src/a" "$src/b"
for i in 1 2 3 4 5 6 7 8; do
  head -c 4000000 "$big" >"$src/a/f$i.pcb"
  head -c 4000000 "$big" >"$src/b/g$i.pcb"
done
for signal in TERM INT; do
  number=$(kill -l "$signal")
  env --default-signal=INT "$tavconv" -r -f -j8 "$src" "$work/out" >>"$work/discard" 2>&1 &
  pid=$!
  check "-r, $signal: hidden files made" wait_for has_files 2 '.tavconv-*' "$work/out"
  kill -s "$signal" "$pid"
  check "-r, $signal: status" ended_with "$pid" $((128 + number))
  check "-r, $signal: nothing left" nothing_left
done
unset TAVREL_UNNAMED_FILES
rm -r "$src" "$work/out"

# --- Limits ----------------------------------------------------------------

# A file-size limit: a clean file error, whatever is written.
for target in "- -" "$big $work/o.pcb"; do
  # shellcheck disable=SC2086
  (ulimit -f 1000 && exec "$tavconv" $target <"$big" >"$work/o" 2>"$work/stderr")
  check "file-size limit, $target: status 2" test $? -eq 2
  check "file-size limit, $target: message" \
    grep -q 'File troppo grande per la destinazione' "$work/stderr"
  check "file-size limit, $target: nothing left" nothing_left
  check "file-size limit, $target: no output file" test ! -e "$work/o.pcb"
  rm -f "$work/o"
done

# Threads that cannot start (address space short): converted with fewer, or
# a clean error 7; never a crash.  (A build with AddressSanitizer cannot start
# in so small an address space at all: not tried there.)
limits="40000 60000 120000"
{ (ulimit -v 120000 && exec "$tavconv" --version >>"$work/discard" 2>&1); } 2>>"$work/discard" || limits=
for limit in $limits; do
  (ulimit -v "$limit" && exec "$tavconv" -f -j8 "$big" "$work/o.pcb" >>"$work/discard" 2>"$work/stderr")
  status=$?
  check "address space $limit: status 0 or 2" test "$status" -eq 0 -o "$status" -eq 2
  if [ "$status" -eq 2 ]; then
    check "address space $limit: error 7" grep -q 'errore 7 = Memoria esaurita' "$work/stderr"
    check "address space $limit: no output" test ! -e "$work/o.pcb"
  fi
  check "address space $limit: nothing left" nothing_left
  rm -f "$work/o.pcb"
done

# --- Temporary places --------------------------------------------------------

# Standard input is spooled beside a destination file (where there is room
# for it), else in TMPDIR; never in the runtime folder.
runtime=$work/runtime
mkdir -m 700 "$runtime"
export XDG_RUNTIME_DIR=$runtime
mkdir "$work/dest"
for to in "$work/dest/D.PCB" -; do
  "$tavconv" - "$to" <"$fifo" >>"$work/discard" 2>&1 &
  pid=$!
  exec 3>"$fifo"
  head -c 100000 "$big" >&3
  where=$work/dest
  [ "$to" = - ] && where=$tmp
  spool_in() { ls -l "/proc/$pid/fd" 2>>"$work/discard" | grep -q "$where/.*(deleted)"; }
  check "spool for $to in $where" wait_for spool_in
  exec 3>&-
  wait "$pid"
done
check "nothing in the runtime folder" test -z "$(ls -A "$runtime")"
unset XDG_RUNTIME_DIR

# A private folder planted by another user (or open to others): a fresh one.
if [ "$uid" -eq 0 ]; then
  planted=$tmp/pemblix-$uid
  rm -rf "$planted"
  mkdir -m 755 "$planted"
  chown 65534:65534 "$planted"
  crlf "$h40" 'S 1' >"$work/s.pcb"
  check "planted folder: converted" status_is 0 env TAVREL_UNNAMED_FILES=0 "$tavconv" - - <"$work/s.pcb"
  check "planted folder: untouched and alone" test "$(ls -A "$tmp")" = "pemblix-$uid" -a \
    "$(stat -c %u "$planted")" = 65534
  check "planted folder: empty" test -z "$(ls -A "$planted")"
  rm -r "$planted"
fi

# --- Races -----------------------------------------------------------------

# Under umask 077 every output of a parallel run is 0600.
mkdir "$work/many"
for i in $(seq 1 500); do crlf "$h40" "S $i" >"$work/many/f$i.pcb"; done
(umask 077 && exec "$tavconv" -r -j8 "$work/many" "$work/many-out" >>"$work/discard")
check "umask 077: 500 outputs" test "$(find "$work/many-out" -type f | wc -l)" -eq 500
check "umask 077: all 0600" test -z "$(find "$work/many-out" -type f ! -perm 600)"
rm -r "$work/many" "$work/many-out"

# Replacing as the administrator keeps the owner and group; no set-user or
# set-group bit is carried onto the converted file.
if [ "$uid" -eq 0 ]; then
  crlf "$h40" 'S 1' >"$work/s.pcb"
  crlf old >"$work/o.pcb"
  chown 65534:65534 "$work/o.pcb"
  chmod 6750 "$work/o.pcb"
  check "owner kept: converted" status_is 0 "$tavconv" -f "$work/s.pcb" "$work/o.pcb"
  check "owner kept: owner, group, mode" test "$(stat -c '%u %g %a' "$work/o.pcb")" = "65534 65534 750"
fi
check "nothing left at the end" nothing_left

report
