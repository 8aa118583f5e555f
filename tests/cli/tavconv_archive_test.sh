#!/usr/bin/env bash
# tavconv on whole archives: -r, --report, standard streams.
#   tavconv_archive_test.sh TAVCONV
set -u
tavconv=$1
source "$(dirname "${BASH_SOURCE[0]}")/../checks.sh"

# A tree: nested folders, files that are not convertible, two sources with
# one 8.3 name, a file that fails, a link to a folder above it.
s=$work/arch
mkdir -p "$s/a/b" "$s/c"
crlf "$h36" uno >"$s/top.pcb"
crlf "$h40" '-gz1' >"$s/a/schematic_a.sch"
crlf "$h36" due >"$s/a/schematic_b.sch"
crlf "$h35" x >"$s/a/b/gia.pcb"
crlf 'Appunti' >"$s/a/b/note.txt"
{ crlf "$h40"; printf '4'; for i in $(seq 2 101); do printf ' 1'; done; printf '\r\n'; } >"$s/c/bad.sch"
crlf "$h40" 'S 1' >"$s/c/good.sch"
ln -s .. "$s/c/loop"
check "tree with a failure" status_is 2 "$tavconv" -r -j 2 "$s" "$work/out"
check "nested output" cmp -s "$work/out/a/3_SCHEMA.SCH" <(crlf "$h35" '-gz0,0')
check "its namesake told apart" cmp -s "$work/out/a/3_SCHEMB.SCH" <(crlf "$h35" due)
check "top output" test -f "$work/out/3_TOP.PCB"
check "good beside the failure" test -f "$work/out/c/3_GOOD.SCH"
check "nothing else written" test "$(cd "$work/out" && find . -type f | sort | tr '\n' ' ')" = \
  "./3_TOP.PCB ./a/3_SCHEMA.SCH ./a/3_SCHEMB.SCH ./c/3_GOOD.SCH "
check "link to a folder named" grep -q 'saltato: collegamento a una cartella' "$work/stdout"
check "failure named" grep -q 'bad.sch: errore 9' "$work/stderr"
check "summary" test "$(tail -n 1 "$work/stdout")" = \
  "Convertiti 4, già 3.5 1, non convertibili 2, errori 1 (0,0 MB)"
check "no progress line off a terminal" test -z "$(grep -c $'\r' "$work/stderr" | grep -v '^0$')"
cp "$work/stdout" "$work/j2"
rm -r "$work/out"
check "one at a time" status_is 2 "$tavconv" -r -j 1 "$s" "$work/out"
check "messages in the order of the walk" cmp -s "$work/stdout" "$work/j2"
check "existing outputs refused without -f" status_is 2 "$tavconv" -r "$s" "$work/out"
check "summary of refusals" grep -q '^Convertiti 0, già 3.5 1, non convertibili 2, errori 5' "$work/stdout"
check "-f replaces" status_is 2 "$tavconv" -r -f "$s" "$work/out"
check "-f summary" grep -q '^Convertiti 4,' "$work/stdout"
rm -r "$work/out" "$s/c" "$s/a/schematic_b.sch"
check "destination inside the source" status_is 1 "$tavconv" -r "$s" "$s/conv"
check "not walked into" status_is 1 "$tavconv" -r -f "$s" "$s/conv"
check "no 3_ of 3_" test -z "$(find "$s/conv" -name '3_3_*')"
check "-r needs two folders" status_is 2 "$tavconv" -r "$s"
check "-r on a missing folder" status_is 2 "$tavconv" -r "$work/none" "$work/x"
check "said to be missing" grep -q 'none: la cartella non esiste' "$work/stderr"
check "-r source must be a folder" status_is 2 "$tavconv" -r "$s/top.pcb" "$work/x"

# --report: each kind against what was written by hand.
crlf "$h40" 'S 1 2' '' '-gt5' '-gz12,34' '-gp1' '-iv1' '3 1 0 1 2 3 4 5 45 1' \
  '3 1 0 1 2 3 4 5 90 1' '4 x 1 2 3 4 0 5 0' '-y1:00FF0000,0,0,0,00,3,Top Copper' \
  '-y2:01FF0000,0,0,0,00,3,Foo' '0 1 1.5' >"$work/r.pcb"
check "--report with a conversion" status_is 0 "$tavconv" --report "$work/r.pcb" "$work/R.PCB"
cat >"$work/expected" <<'END'
  Rapporto: 9 righe perse o approssimate
    riga 2 (riga_convertitore): record sostituito dalla riga del convertitore: S 1 2
    riga 3 (riga_convertitore): riga vuota sostituita dalla riga del convertitore
    riga 4 (riga_convertitore): opzione sostituita dalla riga del convertitore: -gt5
    riga 5 (opzione_fissa): opzione sostituita da -gz0,0: -gz12,34
    riga 6 (opzione_fissa): opzione sostituita da -hp2223440000000000 / -hs1.0000,0,0,0,0,0,0,0,0 / -hm0,0,0,3: -gp1
    riga 8 (rotazione_piazzola): rotazione della piazzola di 45 gradi persa
    riga 10 (ancoraggio): ancoraggio 5 del testo riportato nella posizione
    riga 10 (campi_record): campo 9 non riportato: 0
    riga 11 (colore): colore FF0000 ridotto al colore 4
    riga 11 (impostazioni_layer): impostazioni del layer non riportate: 0,0,0,00
    riga 12 (colore): colore FF0000 sostituito dal colore 0 (indicatore 1)
    riga 12 (impostazioni_layer): impostazioni del layer non riportate: 0,0,0,00
    3 righe sostituite dalla riga del convertitore
    2 opzioni con valori fissi 3.5
    1 rotazione di piazzola persa
    1 ancoraggio di testo riportato nella posizione o perso
    2 colori di layer ridotti a 16 colori
    2 layer con impostazioni senza posto in 3.5
    1 record con campi non riportati
END
sed -n '4,$p' "$work/stdout" | head -n -1 >"$work/got"
check "report text" diff "$work/expected" "$work/got"
"$tavconv" "$work/r.pcb" "$work/PLAIN.PCB" >/dev/null 2>&1
check "output byte-identical with a report" cmp "$work/R.PCB" "$work/PLAIN.PCB"
check "--report alone writes nothing" status_is 0 "$tavconv" -n --report "$work/r.pcb"
check "--report alone reports" grep -q 'riga 5 (opzione_fissa)' "$work/stdout"
check "--report alone leaves no file" test "$(ls "$work" | grep -c '^3_')" -eq 0
check "--report=json" status_is 0 "$tavconv" -n --report=json "$work/r.pcb"
check "JSON line" grep -qxF '{"detail":"colore FF0000 ridotto al colore 4","file":"'"$work"'/r.pcb","kind":"colore","line":11}' "$work/stdout"
check "JSON count" grep -qxF '{"count":3,"file":"'"$work"'/r.pcb","kind":"riga_convertitore"}' "$work/stdout"
check "JSON only on standard output" test "$(grep -vc '^{' "$work/stdout")" -eq 0
check "JSON lines" test "$(wc -l <"$work/stdout")" -eq 20
check "JSON file object" grep -qxF '{"dest":"'"$work"'/3_R.PCB","file":"'"$work"'/r.pcb","format":40,"outcome":"convertito"}' "$work/stdout"

# Standard streams: byte-identical to the file path.
cp "$work/r.pcb" "$work/s.pcb"
"$tavconv" "$work/s.pcb" "$work/S.PCB" >/dev/null
check "- - converts" status_is 0 sh -c '"$1" - - <"$2" >"$3"' - "$tavconv" "$work/s.pcb" "$work/pipe.out"
check "stdin to stdout byte-identical" cmp "$work/pipe.out" "$work/S.PCB"
check "stdin to a file" status_is 0 sh -c 'cat "$2" | "$1" - "$3"' - "$tavconv" "$work/s.pcb" "$work/STDIN.PCB"
check "stdin byte-identical" cmp "$work/STDIN.PCB" "$work/S.PCB"
check "file to stdout" status_is 0 sh -c '"$1" "$2" - >"$3"' - "$tavconv" "$work/s.pcb" "$work/stdout.out"
check "stdout byte-identical" cmp "$work/stdout.out" "$work/S.PCB"
{ crlf "$h40" '-gz1'; printf '4'; for i in $(seq 2 101); do printf ' 1'; done; printf '\r\n'; } >"$work/bad.pcb"
check "a failure writes nothing to stdout" status_is 2 sh -c '"$1" - - <"$2" >"$3"' - "$tavconv" "$work/bad.pcb" "$work/fail.out"
check "nothing written" test ! -s "$work/fail.out"
check "failure on stderr" grep -q 'errore 9' "$work/stderr"

report
