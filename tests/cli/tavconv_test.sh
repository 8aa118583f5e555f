#!/usr/bin/env bash
# Drives tavconv as a user would: tavconv_test.sh TAVCONV SAMPLES GOLDEN [windows]
# ($TAVCONV_RUNNER, e.g. wine, runs it; "windows" adds the Windows-only cases
# and leaves out those of POSIX file systems and signals.)
set -u
tavconv=$1 samples=$2 golden=$3 system=${4:-posix}
read -r -a runner <<<"${TAVCONV_RUNNER:-}"
tavconv=("${runner[@]}" "${tavconv[@]}")
source "$(dirname "${BASH_SOURCE[0]}")/../checks.sh"

# Help and usage.
check "--help in Italian" status_is 0 "${tavconv[@]}" --help
check "--help text" grep -q '^Uso: tavconv' "$work/stdout"
check "no operand" status_is 2 "${tavconv[@]}"
check "unknown option" status_is 2 "${tavconv[@]}" -z x
check "unknown long option" status_is 2 "${tavconv[@]}" --fast x
check "-h" status_is 0 "${tavconv[@]}" -h
check "long options in the help" grep -q -- '--dry-run' "$work/stdout"
check "--version" status_is 0 "${tavconv[@]}" --version
check "version text" grep -q '^tavconv (Tavrel Converter) [0-9]' "$work/stdout"

# A 3.6 file converts: 3.5 header, every other line unchanged.
mkdir "$work/a"
crlf "$h36" 'L 1 2' '' 'T x' >"$work/a/board.pcb"
check "3.6 converts" status_is 0 "${tavconv[@]}" "$work/a/board.pcb" "$work/a/OUT.PCB"
check "3.6 output" cmp -s "$work/a/OUT.PCB" <(crlf "$h35" 'L 1 2' '' 'T x')
check "prints format" grep -q 'Formato: TAVREL 3.6 per Dos' "$work/stdout"
check "prints outcome" grep -q 'Conversione: Rapida (modifica intestazione)' "$work/stdout"

# Without DEST the output goes beside the source under the proposed 8.3 name.
check "beside the source" status_is 0 "${tavconv[@]}" "$work/a/board.pcb"
check "proposed name" cmp -s "$work/a/3_BOARD.PCB" "$work/a/OUT.PCB"
cp "$work/a/board.pcb" "$work/a/schematic"
check "name without a dot" status_is 0 "${tavconv[@]}" "$work/a/schematic"
check "3_ and six characters" test -f "$work/a/3_SCHEMA"

# An existing DEST is kept without -f and replaced with it.
echo keep >"$work/a/KEEP.PCB"
check "existing DEST refused" status_is 2 "${tavconv[@]}" "$work/a/board.pcb" "$work/a/KEEP.PCB"
check "existing DEST intact" grep -qx keep "$work/a/KEEP.PCB"
check "-f replaces" status_is 0 "${tavconv[@]}" -f "$work/a/board.pcb" "$work/a/KEEP.PCB"
check "-f output" cmp -s "$work/a/KEEP.PCB" "$work/a/OUT.PCB"
check "--force replaces" status_is 0 "${tavconv[@]}" --force "$work/a/board.pcb" "$work/a/KEEP.PCB"
cp "$work/a/board.pcb" "$work/a/-x.pcb"
check "-- ends the options" status_is 0 "${tavconv[@]}" -- "$work/a/-x.pcb" "$work/a/DASH.PCB"
check "DEST is the source" status_is 2 "${tavconv[@]}" -f "$work/a/board.pcb" "$work/a/board.pcb"
check "source untouched" cmp -s "$work/a/board.pcb" <(crlf "$h36" 'L 1 2' '' 'T x')

if [ "$system" != windows ]; then  # POSIX file types, modes and signals
# -f replaces only a regular file the user may write, keeping its mode.
mkdir "$work/e"
mkfifo "$work/e/FIFO.PCB"
mknod "$work/e/NODE.PCB" c 1 3 || mkfifo "$work/e/NODE.PCB"  # a device needs root
for node in FIFO.PCB NODE.PCB; do
  check "-f refuses $node" status_is 2 "${tavconv[@]}" -f "$work/a/board.pcb" "$work/e/$node"
  check "$node message" grep -q 'non è un file ordinario' "$work/stderr"
done
check "FIFO kept" test -p "$work/e/FIFO.PCB"
check "node kept" test -c "$work/e/NODE.PCB" -o -p "$work/e/NODE.PCB"
echo old >"$work/e/RO.PCB"
chmod 0444 "$work/e/RO.PCB"
check "-f refuses a read-only file" status_is 2 "${tavconv[@]}" -f "$work/a/board.pcb" "$work/e/RO.PCB"
check "read-only: error 70" grep -q 'Autorizzazione negata' "$work/stderr"
check "read-only file kept" grep -qx old "$work/e/RO.PCB"
echo old >"$work/e/PRIV.PCB"
chmod 0600 "$work/e/PRIV.PCB"
check "-f over a 0600 file" status_is 0 "${tavconv[@]}" -f "$work/a/board.pcb" "$work/e/PRIV.PCB"
check "0600 kept" test "$(stat -c %a "$work/e/PRIV.PCB")" = 600
long=$(printf 'L%.0s' $(seq 255))
check "a 255-byte name" status_is 0 "${tavconv[@]}" "$work/a/board.pcb" "$work/e/$long"
check "nothing else left" test "$(ls -A "$work/e" | wc -l)" -eq 5
fi

# Sources whose proposals coincide get names that tell them apart.
mkdir "$work/v" "$work/v/out"
crlf "$h36" 'uno' >"$work/v/scheda_v1.pcb"
crlf "$h36" 'due' >"$work/v/scheda_v2.pcb"
check "same 8.3 proposal twice" status_is 0 "${tavconv[@]}" "$work/v/scheda_v1.pcb" "$work/v/scheda_v2.pcb" "$work/v/out"
check "the first as 3_SCHED1" cmp -s "$work/v/out/3_SCHED1.PCB" <(crlf "$h35" uno)
check "the second as 3_SCHED2" cmp -s "$work/v/out/3_SCHED2.PCB" <(crlf "$h35" due)
check "a batch's closing line" grep -q '^Convertiti 2, già 3.5 0, non convertibili 0, errori 0' "$work/stdout"

if [ "$system" != windows ]; then  # POSIX file types, modes and signals
# Names a DOS program cannot open are not proposed.
crlf "$h36" x >"$work/v/R&D <1>.pcb"
check "proposed DOS name" status_is 0 "${tavconv[@]}" "$work/v/R&D <1>.pcb"
check "characters replaced" test -f "$work/v/3_R&D__1.PCB"

# An interrupted run leaves nothing; the source is a pipe that never ends.
mkdir "$work/i"
for signal in TERM HUP; do
  mkfifo "$work/i/src.pcb"
  "${tavconv[@]}" "$work/i/src.pcb" "$work/i/OUT.PCB" >"$work/bg.log" 2>&1 &
  pid=$!
  exec 3>"$work/i/src.pcb"
  crlf "$h40" '-gz1' >&3
  sleep 0.3
  kill -$signal $pid
  { wait $pid; } 2>>"$work/bg.log"
  check "$signal ends the run" test $? -eq $((128 + $(kill -l $signal)))
  exec 3>&-
  rm "$work/i/src.pcb"
  check "$signal leaves nothing" test -z "$(ls -A "$work/i")"
done
{ crlf "$h36"; for i in $(seq 3000); do crlf 'A 1 2 3 4 5 6 7 8 9'; done; } >"$work/big.pcb"
check "a file-size limit is a full disk" status_is 2 bash -c 'ulimit -f 20; exec "$@"' - "${tavconv[@]}" "$work/big.pcb" "$work/i/OUT.PCB"
check "file-size limit message" grep -q 'errore 61' "$work/stderr"
check "file-size limit leaves nothing" test -z "$(ls -A "$work/i")"
fi

# 3.5, library and unknown files are refused with status 1 and leave nothing.
mkdir "$work/b"
crlf "$h35" 'x' >"$work/b/GIA.PCB"
crlf 'TAVREL VERSION 3.5 -- SOURCE LIBRARY FILE' 'x' >"$work/b/LIB.SCH"
crlf 'Appunti' >"$work/b/NOTE.TXT"
: >"$work/b/EMPTY.PCB"
for f in GIA.PCB LIB.SCH NOTE.TXT EMPTY.PCB; do
  check "$f refused" status_is 1 "${tavconv[@]}" "$work/b/$f" "$work/b/OUT"
  check "$f leaves no DEST" test ! -e "$work/b/OUT"
done
check "library text" status_is 1 "${tavconv[@]}" -n "$work/b/LIB.SCH"
check "library outcome" grep -q 'Conversione: Non convertibile' "$work/stdout"

# Several sources into a folder: a failing file does not stop the others.
mkdir "$work/c" "$work/out"
crlf "$h40" '-gz1' >"$work/c/good.sch"
{ crlf "$h40" '-gd' ; printf '4'; for i in $(seq 2 101); do printf ' 1'; done; printf '\r\n'; } >"$work/c/bad.sch"
cp "$work/b/NOTE.TXT" "$work/c/note.txt"
check "mixed batch fails" status_is 2 "${tavconv[@]}" "$work/c/bad.sch" "$work/c/good.sch" "$work/c/note.txt" "$work/out"
check "error number and line" grep -q 'errore 9 = .*(riga 3)' "$work/stderr"
check "good one converted" cmp -s "$work/out/3_GOOD.SCH" <(crlf "$h35" '-gz0,0')
check "no DEST for the failed one" test ! -e "$work/out/3_BAD.SCH"
check "no temporary file left" test "$(ls -A "$work/out")" = 3_GOOD.SCH
rm "$work/out/3_GOOD.SCH"
check "batch with an unknown file" status_is 1 "${tavconv[@]}" "$work/c/good.sch" "$work/c/note.txt" "$work/out"
check "many sources need a folder" status_is 2 "${tavconv[@]}" "$work/c/good.sch" "$work/c/note.txt" "$work/nofolder"

# -n analyses only.
mkdir "$work/d"
cp "$work/c/good.sch" "$work/d/"
check "-n converts nothing" status_is 0 "${tavconv[@]}" -n "$work/d/good.sch"
check "-n writes nothing" test "$(ls -A "$work/d")" = good.sch
check "missing source" status_is 2 "${tavconv[@]}" "$work/d/none.sch" "$work/d/x"
check "missing source message" grep -q 'errore 53' "$work/stderr"
check "missing folder" status_is 2 "${tavconv[@]}" "$work/nofolder/none.sch" "$work/d/x"
check "missing folder is error 53" grep -q 'errore 53 = ' "$work/stderr"
"${tavconv[@]}" "$work/nofolder/none.sch" "$work/d/x" >"$work/both" 2>&1
check "the error comes last" grep -q 'errore 53' <(tail -n 1 "$work/both")
check "no stale waiting text" lacks 'Attendere' "$work/both"
crlf "$h36" x >"$work/d/full.pcb"
if mknod "$work/full" c 1 7; then  # a node of our own that is always full (needs root)
  check "a full standard output fails" status_is 2 sh -c 'exec "$@" >"$0"' "$work/full" "${tavconv[@]}" -n "$work/d/full.pcb"
  check "a full standard output is said" grep -q 'standard output' "$work/stderr"
  rm "$work/full"
fi
rm "$work/d/full.pcb"

# The samples convert to their checked-in forms under either locale.
for expected in "$golden"/*.out; do
  [ -e "$expected" ] || continue
  name=$(basename "$expected" .out)
  for lang in C it_IT.UTF-8; do
    rm -f "$work/golden.out"
    check "$name ($lang)" status_is 0 env LANG=$lang LC_ALL=$lang "${tavconv[@]}" "$samples/$name" "$work/golden.out"
    check "$name ($lang) byte for byte" cmp "$work/golden.out" "$expected"
  done
done

# Windows only: native paths, names Windows reserves, names beyond the ANSI
# code page, UTF-8 when redirected.
if [ "$system" = windows ]; then
  mkdir "$work/e"
  cd "$work"
  crlf "$h36" 'L 1 2' >"e/board.pcb"
  native() { printf 'Z:%s' "${1//\//\\}"; }  # the path as Wine's Z: drive shows it
  check "backslash path" status_is 0 "${tavconv[@]}" 'e\board.pcb'
  check "beside it, proposed name" test -f e/3_BOARD.PCB
  check "prints the native path" grep -q 'e\\3_BOARD.PCB' "$work/stdout"
  check "drive letter paths" status_is 0 "${tavconv[@]}" -f "$(native "$work/e/board.pcb")" \
    "$(native "$work/e")"
  check "into that folder" cmp -s e/3_BOARD.PCB <(crlf "$h35" 'L 1 2')
  for name in CON nul.pcb Com1.txt 'LPT9.SCH' 'aux .pcb' 'x.pcb:flusso'; do
    check "$name refused" status_is 2 "${tavconv[@]}" 'e\board.pcb' "e\\$name"
    check "$name: a clear message" grep -q 'Nome di file' "$work/stderr"
  done
  check "nothing written for them" test "$(ls -A e | tr '\n' ' ')" = "3_BOARD.PCB board.pcb "
  cp e/board.pcb 'e/łódź.sch'
  check "name beyond the code page" status_is 0 "${tavconv[@]}" 'e\łódź.sch'
  check "its DOS-safe proposed name" test -f 'e/3___D_.SCH'
  check "printed in UTF-8" grep -q 'łódź.sch' "$work/stdout"
  check "analysis only" status_is 1 "${tavconv[@]}" -n "$samples/GIA35.SCH"
  check "accents in UTF-8, CR LF lines" grep -q $'File già nel formato 3.5\r$' "$work/stdout"

  # cmd.exe leaves wildcards to the program.
  mkdir g g/out
  crlf "$h36" uno >g/uno.pcb
  crlf "$h36" due >g/due.PCB
  crlf 'Appunti' >g/note.txt
  check "wildcards expanded" status_is 0 "${tavconv[@]}" 'g\*.pcb' 'g\out'
  check "every match converted" test "$(ls g/out | tr '\n' ' ')" = "3_DUE.PCB 3_UNO.PCB "
  check "an operand without matches" status_is 2 "${tavconv[@]}" 'g\*.xyz' 'g\out'
  check "named in the message" grep -q 'xyz: nessun file corrisponde' "$work/stderr"
  # Two source folders whose destinations Windows takes for one.
  mkdir -p h/src/Sub h/src/sub
  crlf "$h36" primo >h/src/Sub/x.pcb
  crlf "$h36" secondo >h/src/sub/x.pcb
  check "one folder in two spellings" status_is 2 "${tavconv[@]}" -r -f -j1 'h\src' 'h\out'
  check "its file written once" grep -q 'è già stato scritto in questa esecuzione' "$work/stderr"
  check "the first drawing kept" cmp -s h/out/Sub/3_X.PCB <(crlf "$h35" primo)

  # Ctrl-C (Wine turns SIGINT into it) while the hidden sibling is written.
  mkdir f
  { printf '%s\r\n' "$h40"; for i in $(seq 1 5000); do printf '0 12  0.025,1.25,2.5,3.75\r\n'; done; } >f/big.pcb
  for i in $(seq 1 9); do cat f/big.pcb f/big.pcb >f/twice && mv f/twice f/big.pcb; done
  # A conversion that ends before the signal reaches it proves nothing: it
  # is tried again.
  for _ in 1 2 3 4 5; do
    rm -f f/OUT.PCB
    "${tavconv[@]}" 'f\big.pcb' 'f\OUT.PCB' >"$work/stdout" 2>&1 &
    pid=$!
    for i in $(seq 1 300); do
      [ -n "$(ls -A f | grep '^\.')" ] && break
      sleep 0.1
    done
    kill -INT "$pid"
    wait "$pid"
    [ -e f/OUT.PCB ] || break
  done
  check "Ctrl-C during the conversion" test ! -e f/OUT.PCB
  # Wine's server removes a file marked for deletion once it has seen the
  # program end, which may be a moment after the program's own end.
  only_the_source() { test "$(ls -A f)" = big.pcb; }
  check "Ctrl-C leaves no hidden file" wait_for only_the_source
fi

report
