#!/usr/bin/env bash
# tavconv --report on a 4.0 file with one line of each kind that loses
# something and lines that lose nothing: exactly the lossy lines, as text
# and as JSON Lines.
#   tavconv_report_test.sh TAVCONV
set -u
tavconv=$1
source "$(dirname "${BASH_SOURCE[0]}")/../checks.sh"

# A line longer than a reading block is streamed: its quote ends in "…".
long=$(awk 'BEGIN { s = "1"; while (length(s) < 300000) s = s s; printf "%s", s }')
src=$work/all.pcb
crlf "$h40" 'S 1 2' '' '-gt5' '-gz12,34' \
  '-gz0,0' '-gd100' '-gm3,2,3,1' '-gc0,0,0,0,0,39' '-gs3,35,5,10,25' \
  '-gp1' '-it60' '-iv2' '-iv1' '-ip0' '-ix' '-il10' '-ga' '-gx0.5,0.5' '-dp1,2' \
  '3 1 0 1 2 3 4 5 45 1' '3 1 0 1 2 3 4 5 -90 1' '3 1 0 1 2 3 4 5 450 1' \
  '3 1 0 1 2 3 4 5 90 1 U1' '3 1 0 1 2 3 4 5 0 1 U1 X' '3 1 0 1 2 3 4 5 0 1 U1 ' \
  '2 1 1.5 1.5 1.75 1.5 0 90 0.01 90 A' '2 1 1.5 1.5 1.75 1.5 0 90 0.01 90' \
  '4 7 0.1 0.5 0.25 0.5 0 0' '4 7 0.1 0.5 0.25 0.5 0 0 0 U1' '4 7 0.1 0.5 0.25 0.5 0 5' \
  '4 7 0.1 0.5 0.25 0.5 -90 0' \
  '-y1:00FF0000,0,0,0,00,3,Top Copper' '-y1:00FF0000,,,,,,,,,,3,Top Copper' '-y3' \
  '0 1 1.5' '6 2 90 1 2 0.5 0.25 7' $'S \e[31m rosso' "-gt$long" '-gd100' '-gd50' >"$src"
quoted=-gt${long:0:57}

# Written by hand: the line numbers count the header as line 1.
cat >"$work/expected.txt" <<'END'
  Rapporto: 23 righe perse o approssimate
    riga 2 (riga_convertitore): record sostituito dalla riga del convertitore: S 1 2
    riga 3 (riga_convertitore): riga vuota sostituita dalla riga del convertitore
    riga 4 (riga_convertitore): opzione sostituita dalla riga del convertitore: -gt5
    riga 5 (opzione_fissa): opzione sostituita da -gz0,0: -gz12,34
    riga 11 (opzione_fissa): opzione sostituita da -hp2223440000000000 / -hs1.0000,0,0,0,0,0,0,0,0 / -hm0,0,0,3: -gp1
    riga 13 (opzione_fissa): opzione sostituita da -p40v0,2: -iv2
    riga 15 (opzione_fissa): opzione sostituita da -p10z0,0: -ip0
    riga 16 (opzione_fissa): opzione sostituita da -nr0 / -nh3: -ix
    riga 18 (riga_convertitore): opzione sostituita dalla riga del convertitore: -ga
    riga 21 (rotazione_piazzola): rotazione della piazzola di 45 gradi persa
    riga 22 (rotazione_piazzola): rotazione della piazzola di -90 gradi persa: misure non scambiate
    riga 23 (rotazione_piazzola): rotazione della piazzola di 450 gradi persa: misure non scambiate
    riga 25 (campi_record): campi 11-12 non riportati: U1 X
    riga 26 (campi_record): campo 11 non riportato: U1
    riga 27 (campi_record): campo 11 non riportato: A
    riga 30 (campi_record): campo 9 non riportato: 0
    riga 31 (ancoraggio): ancoraggio 5 del testo riportato nella posizione
    riga 32 (rotazione_testo): rotazione del testo di -90 gradi persa
    riga 33 (colore): colore FF0000 ridotto al colore 4
    riga 33 (impostazioni_layer): impostazioni del layer non riportate: 0,0,0,00
    riga 34 (colore): colore FF0000 ridotto al colore 4
    riga 38 (riga_convertitore): record sostituito dalla riga del convertitore: S \033[31m rosso
    riga 39 (riga_convertitore): opzione sostituita dalla riga del convertitore: @QUOTED@…
    riga 41 (opzione_fissa): opzione sostituita da -gd100: -gd50
    6 righe sostituite dalla riga del convertitore
    6 opzioni con valori fissi 3.5
    3 rotazioni di piazzola perse
    1 ancoraggio di testo riportato nella posizione o perso
    2 colori di layer ridotti a 16 colori
    1 layer con impostazioni senza posto in 3.5
    4 record con campi non riportati
    1 rotazione di testo persa
END
cat >"$work/expected.json" <<'END'
{"detail":"record sostituito dalla riga del convertitore: S 1 2","file":"@FILE@","kind":"riga_convertitore","line":2}
{"detail":"riga vuota sostituita dalla riga del convertitore","file":"@FILE@","kind":"riga_convertitore","line":3}
{"detail":"opzione sostituita dalla riga del convertitore: -gt5","file":"@FILE@","kind":"riga_convertitore","line":4}
{"detail":"opzione sostituita da -gz0,0: -gz12,34","file":"@FILE@","kind":"opzione_fissa","line":5}
{"detail":"opzione sostituita da -hp2223440000000000 / -hs1.0000,0,0,0,0,0,0,0,0 / -hm0,0,0,3: -gp1","file":"@FILE@","kind":"opzione_fissa","line":11}
{"detail":"opzione sostituita da -p40v0,2: -iv2","file":"@FILE@","kind":"opzione_fissa","line":13}
{"detail":"opzione sostituita da -p10z0,0: -ip0","file":"@FILE@","kind":"opzione_fissa","line":15}
{"detail":"opzione sostituita da -nr0 / -nh3: -ix","file":"@FILE@","kind":"opzione_fissa","line":16}
{"detail":"opzione sostituita dalla riga del convertitore: -ga","file":"@FILE@","kind":"riga_convertitore","line":18}
{"detail":"rotazione della piazzola di 45 gradi persa","file":"@FILE@","kind":"rotazione_piazzola","line":21}
{"detail":"rotazione della piazzola di -90 gradi persa: misure non scambiate","file":"@FILE@","kind":"rotazione_piazzola","line":22}
{"detail":"rotazione della piazzola di 450 gradi persa: misure non scambiate","file":"@FILE@","kind":"rotazione_piazzola","line":23}
{"detail":"campi 11-12 non riportati: U1 X","file":"@FILE@","kind":"campi_record","line":25}
{"detail":"campo 11 non riportato: U1","file":"@FILE@","kind":"campi_record","line":26}
{"detail":"campo 11 non riportato: A","file":"@FILE@","kind":"campi_record","line":27}
{"detail":"campo 9 non riportato: 0","file":"@FILE@","kind":"campi_record","line":30}
{"detail":"ancoraggio 5 del testo riportato nella posizione","file":"@FILE@","kind":"ancoraggio","line":31}
{"detail":"rotazione del testo di -90 gradi persa","file":"@FILE@","kind":"rotazione_testo","line":32}
{"detail":"colore FF0000 ridotto al colore 4","file":"@FILE@","kind":"colore","line":33}
{"detail":"impostazioni del layer non riportate: 0,0,0,00","file":"@FILE@","kind":"impostazioni_layer","line":33}
{"detail":"colore FF0000 ridotto al colore 4","file":"@FILE@","kind":"colore","line":34}
{"detail":"record sostituito dalla riga del convertitore: S \u001b[31m rosso","file":"@FILE@","kind":"riga_convertitore","line":38}
{"detail":"opzione sostituita dalla riga del convertitore: @QUOTED@…","file":"@FILE@","kind":"riga_convertitore","line":39}
{"detail":"opzione sostituita da -gd100: -gd50","file":"@FILE@","kind":"opzione_fissa","line":41}
{"count":6,"file":"@FILE@","kind":"riga_convertitore"}
{"count":6,"file":"@FILE@","kind":"opzione_fissa"}
{"count":3,"file":"@FILE@","kind":"rotazione_piazzola"}
{"count":1,"file":"@FILE@","kind":"ancoraggio"}
{"count":2,"file":"@FILE@","kind":"colore"}
{"count":1,"file":"@FILE@","kind":"impostazioni_layer"}
{"count":4,"file":"@FILE@","kind":"campi_record"}
{"count":1,"file":"@FILE@","kind":"rotazione_testo"}
END
for form in txt json; do
  sed -i -e "s|@FILE@|$src|" -e "s|@QUOTED@|$quoted|" "$work/expected.$form"
done

# The report's lines among the other messages: from "Rapporto" to its end.
report_of() { awk '/^  Rapporto: / { on = 1; print; next } on && /^    / { print; next } { on = 0 }' "$1"; }

check "--report with a conversion" status_is 0 "$tavconv" --report "$src" "$work/OUT.PCB"
report_of "$work/stdout" >"$work/got.txt"
check "text report: exactly the lossy lines" diff "$work/expected.txt" "$work/got.txt"
check "no escape byte reaches the terminal" lacks -q $'\e' "$work/stdout"
"$tavconv" "$src" "$work/PLAIN.PCB" >"$work/plain.out" 2>&1
check "output byte-identical with a report" cmp "$work/OUT.PCB" "$work/PLAIN.PCB"

check "--report=json" status_is 0 "$tavconv" -n --report=json "$src"
check "JSON report: exactly the lossy lines" diff "$work/expected.json" <(grep '"kind"' "$work/stdout")
check "JSON: one object for the file" test "$(grep -v '"kind"' "$work/stdout")" = \
  '{"dest":"'"$work"'/3_ALL.PCB","file":"'"$src"'","format":40,"outcome":"convertito"}'

# A file that loses nothing has an empty report.
crlf "$h40" '-gz0,0' '-gd100' '-it60' '0 1 1.5' '3 1 0 1 2 3 4 5 90 1' >"$work/none.pcb"
check "nothing lost: --report=json" status_is 0 "$tavconv" -n --report=json "$work/none.pcb"
check "nothing lost: the file's object alone" test "$(cat "$work/stdout")" = \
  '{"dest":"'"$work"'/3_NONE.PCB","file":"'"$work"'/none.pcb","format":40,"outcome":"convertito"}' 
check "nothing lost: --report" status_is 0 "$tavconv" -n --report "$work/none.pcb"
check "nothing lost: no line listed" test -z "$(report_of "$work/stdout" | grep '^    ')"

report
