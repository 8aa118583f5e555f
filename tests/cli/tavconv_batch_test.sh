#!/usr/bin/env bash
# tavconv on archives as people have them: numbered series, dry runs that
# predict the real run, resumed runs, drawings never replaced, odd entries.
#   tavconv_batch_test.sh TAVCONV
set -u
tavconv=$1
source "$(dirname "${BASH_SOURCE[0]}")/../checks.sh"

# A tree of numbered drawings with subfolders.
s=$work/archivio
mkdir -p "$s/sub/deeper"
for i in 01 02 03 04 05 06 07 08 09 10 11 12; do
  crlf "$h40" "-gz$i" >"$s/SCHEMA$i.SCH"
  crlf "$h36" "scheda $i" >"$s/sub/scheda_$i.pcb"
done
crlf "$h40" '-gz1' >"$s/sub/deeper/board_top.pcb"
crlf "$h40" '-gz2' >"$s/sub/deeper/board_bot.pcb"
listing() { (cd "$1" && find . -type f | sort | tr '\n' ' '); }

check "-n of the whole tree" status_is 0 "$tavconv" -n -rj2 "$s" "$work/out"
grep -- ' -> ' "$work/stdout" | sed 's/ (-n: non scritto)$//' >"$work/predicted"
tail -n 1 "$work/stdout" >"$work/predicted.closing"
check "-n makes no folder" test ! -e "$work/out"
check "the whole tree converts" status_is 0 "$tavconv" -rj2 "$s" "$work/out"
check "-n named the same destinations" diff "$work/predicted" <(grep -- ' -> ' "$work/stdout")
check "-n closed the same way" diff "$work/predicted.closing" <(tail -n 1 "$work/stdout")
check "every drawing written" test "$(find "$work/out" -type f | wc -l)" -eq 26
check "numbered series told apart" test -f "$work/out/3_SCHE01.SCH" -a -f "$work/out/3_SCHE12.SCH"
check "series in a subfolder" test -f "$work/out/sub/3_SCHE01.PCB" -a -f "$work/out/sub/3_SCHE12.PCB"
check "namesakes by their ends" test -f "$work/out/sub/deeper/3_BOARDP.PCB" -a -f "$work/out/sub/deeper/3_BOARDT.PCB"
check "contents follow their sources" cmp -s "$work/out/3_SCHE07.SCH" <(crlf "$h35" '-gz0,0')
check "every name a valid upper-case 8.3 name" test -z "$(find "$work/out" -type f -printf '%f\n' |
  grep -vE '^[A-Z0-9_~]{1,8}(\.[A-Z0-9_]{1,3})?$')"
first=$(listing "$work/out")
check "-n over existing destinations" status_is 2 "$tavconv" --dry-run --recursive --jobs=2 "$s" "$work/out"
cp "$work/stdout" "$work/predicted"
check "the real run refuses them too" status_is 2 "$tavconv" -r "$s" "$work/out"
check "-n said the same, line for line" diff <(sed 's/ (-n: non scritto)$//' "$work/predicted") "$work/stdout"
check "-n -f: each replacement foretold" test "$("$tavconv" -n -r -f "$s" "$work/out" | grep -c 'sostituirebbe il file esistente)$')" -eq 26
check "-f: a second run gives the same names" status_is 0 "$tavconv" -r -f -q "$s" "$work/out"
check "same names" test "$(listing "$work/out")" = "$first"
check "-q: only the closing line" test "$(cat "$work/stdout")" = \
  "Convertiti 26, già 3.5 0, non convertibili 0, errori 0 (0,0 MB)"

# -u resumes an interrupted run: only what is missing or older.
rm "$work/out/3_SCHE05.SCH"
touch -d '2000-01-01' "$work/out/sub/3_SCHE03.PCB"
check "-u resumes" status_is 0 "$tavconv" -r -u "$s" "$work/out"
check "-u: the closing line" test "$(tail -n 1 "$work/stdout")" = \
  "Convertiti 2, già 3.5 0, già aggiornati 24, non convertibili 0, errori 0 (0,0 MB)"
check "-u: the missing one back" test -f "$work/out/3_SCHE05.SCH"
check "-u: the older one replaced" test "$work/out/sub/3_SCHE03.PCB" -nt "$s/sub/scheda_03.pcb"
check "-n -u predicts nothing to do" status_is 0 "$tavconv" -n -r -u "$s" "$work/out"
check "-n -u: all up to date" grep -q 'già aggiornati 26,' "$work/stdout"

# -f never replaces a drawing that still needs converting.
mkdir "$work/d"
crlf "$h36" uno >"$work/d/A.PCB"
crlf "$h40" '-gz1' >"$work/d/B.PCB"
cp "$work/d/B.PCB" "$work/d/B.keep"
check "-f onto a 4.0 drawing" status_is 2 "$tavconv" -f "$work/d/A.PCB" "$work/d/B.PCB"
check "refused in Italian" grep -q 'B.PCB: è un disegno Tavrel ancora da convertire' "$work/stderr"
check "the drawing byte-identical" cmp "$work/d/B.PCB" "$work/d/B.keep"
cp "$work/d/A.PCB" "$work/d/C.PCB"
check "-f onto a 3.6 drawing" status_is 2 "$tavconv" -f "$work/d/B.PCB" "$work/d/C.PCB"
check "the 3.6 drawing kept" cmp -s "$work/d/C.PCB" "$work/d/A.PCB"
check "-f onto a 3.5 file replaces it" status_is 0 "$tavconv" "$work/d/A.PCB" "$work/d/D.PCB"
check "... again with -f" status_is 0 "$tavconv" -f "$work/d/B.PCB" "$work/d/D.PCB"

# Everything a walk meets is accounted for.
mkdir -p "$work/w/odd" "$work/w/pipes"
crlf "$h36" x >"$work/w/odd/good.pcb"
mkfifo "$work/w/odd/fifo.pcb" "$work/w/pipes/only.pcb"
ln -s "$work/none" "$work/w/odd/dangling.pcb"
check "odd entries: skipped" status_is 1 "$tavconv" -r "$s/../w" "$work/wout"
check "a pipe named" grep -A1 'fifo.pcb$' "$work/stdout" | grep -q 'saltato: non è un file ordinario'
check "a dangling link named" grep -A1 'dangling.pcb$' "$work/stdout" | grep -q 'saltato: non è un file ordinario'
check "counted" grep -q '^Convertiti 1, già 3.5 0, non convertibili 3, errori 0' "$work/stdout"
check "no folder for skipped files alone" test ! -e "$work/wout/pipes"
mkdir "$work/w/notes"
crlf 'Appunti' >"$work/w/notes/readme.txt"
check "not convertible alone" status_is 1 "$tavconv" -r "$work/w" "$work/wout2"
check "no folder for it" test ! -e "$work/wout2/notes"

# Many files to each new destination folder, two at a time: each folder is
# made once, and every file lands in it whole.
for d in uno due/tre quattro; do
  mkdir -p "$work/m/$d"
  for i in $(seq 10 49); do crlf "$h36" "$d $i" >"$work/m/$d/f$i.pcb"; done
done
check "many files per new folder" status_is 0 "$tavconv" -r -j2 -q "$work/m" "$work/mout"
check "all of them" grep -q '^Convertiti 120, già 3.5 0, non convertibili 0, errori 0' "$work/stdout"
check "each whole where it belongs" bash -c 'for d in uno due/tre quattro; do
  for i in $(seq 10 49); do cmp -s "$1/$d/3_F$i.PCB" <(printf "%s\r\n%s\r\n" "$2" "$d $i") || exit 1
  done; done' - "$work/mout" "$h35"

# One destination reached twice through a link is written once.
mkdir -p "$work/l/src/a" "$work/l/src/b" "$work/l/out/b"
crlf "$h36" primo >"$work/l/src/a/x.pcb"
crlf "$h36" secondo >"$work/l/src/b/x.pcb"
ln -s b "$work/l/out/a"
check "a link in the destination" status_is 2 "$tavconv" -r -f -j1 "$work/l/src" "$work/l/out"
check "the second write refused" grep -q 'è già la destinazione di .*src/a/x.pcb in questa esecuzione' "$work/stderr"
check "the first drawing kept" cmp -s "$work/l/out/b/3_X.PCB" <(crlf "$h35" primo)
check "-n predicts it" status_is 2 "$tavconv" -n -r -f "$work/l/src" "$work/l/out"

# A tree deeper than the longest path the system takes converts whole, and
# its destinations are checked like any other.
in_deep() {  # in_deep ROOT COMMAND...: COMMAND run 20 levels of 220-character names below ROOT
  local root=$1 i
  shift
  (cd "$root" && for i in $(seq 1 20); do cd "$(printf 'd%0220d' "$i")" || exit 1; done && "$@")
}
mkdir "$work/deep"
(cd "$work/deep" && for i in $(seq 1 20); do mkdir "$(printf 'd%0220d' "$i")" && cd "$_"; done &&
  crlf "$h40" '-gz1' >a.pcb && crlf "$h36" uno >b.pcb)
check "-n on a deep tree" status_is 0 "$tavconv" -n -r "$work/deep" "$work/deepout"
check "-n made nothing there" test ! -e "$work/deepout"
check "a deep tree" status_is 0 "$tavconv" -r "$work/deep" "$work/deepout"
check "both deep files converted" grep -q '^Convertiti 2, già 3.5 0, non convertibili 0, errori 0' "$work/stdout"
check "the deep output" in_deep "$work/deepout" cmp -s 3_A.PCB <(crlf "$h35" '-gz0,0')
check "deep outputs not replaced without -f" status_is 2 "$tavconv" -r "$work/deep" "$work/deepout"
check "both refused" test "$(grep -c 'esiste già' "$work/stderr")" = 2
check "-f replaces them" status_is 0 "$tavconv" -r -f "$work/deep" "$work/deepout"

# Errors name what failed; names cannot drive the terminal.
check "a source in a missing folder" status_is 2 "$tavconv" "$work/nofolder/x.pcb" "$work/d"
check "error 53 on the source" grep -q 'nofolder/x.pcb: errore 53 = Impossibile trovare il file' "$work/stderr"
check "a folder without -r" status_is 2 "$tavconv" "$s" "$work/d/Z.PCB"
check "suggests -r" grep -q 'è una cartella (usare -r' "$work/stderr"
mkdir "$work/t"
crlf "$h36" x >"$work/t/$(printf 'a\033[2Jb\nc.pcb')"
check "a name with control characters" status_is 0 "$tavconv" -r "$work/t" "$work/tout"
check "shown escaped" grep -qF 'a\033[2Jb\nc.pcb' "$work/stdout"
check "no escape byte printed" lacks -q $'\e' "$work/stdout"

report
