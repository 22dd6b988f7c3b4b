#!/usr/bin/env bash
# Enter presses the button that has the keyboard, with real key presses under
# Xvfb: in the bookmark input box (Enter on "Annulla" saves nothing, Enter in
# the text box and on "OK" save, Alt+6 and Alt+2 typed there add nothing), and in the panels of the window ("Chiudi"
# of the bookmark list, "Annulla" of the import panel, the options panel's
# button), and "No" is what Enter answers to a question that deletes or quits.
# Usage: enter_keys.sh PROGRAM BOOK
set -u
PROGRAM=$1
BOOK=$2
source "$(dirname "$0")/../listening/session.sh"
for c in Xvfb xdotool; do
  command -v "$c" >/dev/null 2>&1 || { echo "manca $c (tools/deps.sh --tests lo installa)" >&2; exit 77; }
done
D=$(mktemp -d /tmp/qyr-enter.XXXXXX)
SR_DIR=$D
trap 'rc=$?; sr_stop; [ $rc -eq 0 ] && rm -rf "$D"' EXIT

sr_xvfb

# The program's home in the test's folder: the export below writes there.
mkdir -p "$D/home"
export HOME="$D/home"
sr_open_book "$PROGRAM" "$BOOK"

# The last state the program gave, asked afresh.
state() {
  local before
  before=$(grep -c '"event":"state"' "$D/program.out")
  sr_send '{"cmd":"state"}'
  for _ in $(seq 100); do
    [ "$(grep -c '"event":"state"' "$D/program.out")" -gt "$before" ] && break
    sleep 0.1
  done
  grep '"event":"state"' "$D/program.out" | tail -1
}
focus_name() { state | grep -o '"focus":{[^}]*}' | grep -o '"name":"[^"]*"' | cut -d'"' -f4; }
# Tab until the control named has the keyboard.
tab_to() {
  local i
  for i in $(seq 20); do
    [ "$(focus_name)" = "$1" ] && return 0
    sr_key Tab
  done
  sr_fail "Tab non arriva a $1 (fuoco su $(focus_name))"
}
visible() { state | grep -q "\"$1\":true"; }
# Waits for a panel to be hidden: false if it is still shown after 10 s.
gone() {
  for _ in $(seq 100); do visible "$1" || return 0; sleep 0.1; done
  return 1
}
# Waits for the count of lines matching the pattern to reach n.
count_reaches() {
  local pattern=$1 want=$2
  for _ in $(seq 100); do
    [ "$(grep -c -- "$pattern" "$D/program.out")" -ge "$want" ] && return 0
    sleep 0.1
  done
  sr_fail "atteso $want volte: $pattern"
}

sr_send '{"cmd":"follow","href":"Libro/cap1.htm"}'
sr_event '"action":"playing".*cap1_1'

step "casella del segnalibro: Invio su Annulla non salva"
sr_key alt+3
count_reaches '"kind":"input"' 1
sr_type "annullato"
sr_key Tab Tab Return
state >/dev/null
grep -q '"value":"annullato"' "$D/program.out" && sr_fail "Invio su Annulla ha salvato il segnalibro"

step "Invio nella casella e su OK salvano"
sr_key alt+3
count_reaches '"kind":"input"' 2
sr_type "dalla casella"
# A key of the key map pressed while typing is no text.
sr_key alt+6 alt+2
sr_key Return
sr_event '"value":"dalla casella"'
sr_key alt+3
count_reaches '"kind":"input"' 3
sr_type "da OK"
sr_key Tab Return
sr_event '"value":"da OK"'

step "una domanda che cancella o chiude risponde No a Invio"
sr_key alt+4
count_reaches '"buttons":"yesno"' 1
sr_key Return
sr_send '{"cmd":"quit"}'
count_reaches '"buttons":"yesno"' 2
sr_key Return
# The question's window gone: answered, one way or the other.
for _ in $(seq 100); do
  [ "$(xdotool search --onlyvisible --pid "$SR_PROGRAM" 2>/dev/null | wc -l)" -le 1 ] && break
  sleep 0.1
done
kill -0 "$SR_PROGRAM" 2>/dev/null && state | grep -q '"url"' ||
  sr_fail "Invio alla domanda d'uscita ha chiuso il programma"
# The keyboard back on the page before the next key: with no window manager a
# key pressed as the question goes can reach no window.
for _ in $(seq 100); do [ "$(focus_name)" = objwbTesto ] && break; sr_focus; sleep 0.1; done

step "Chiudi dell'elenco dei segnalibri"
sr_key alt+6
for _ in $(seq 50); do visible fraMarcatori && break; sleep 0.1; done
visible fraMarcatori || sr_fail "Alt+6 non ha aperto l'elenco dei segnalibri (fuoco su $(focus_name))"
tab_to 'cmdImpExp(4)'
sr_key Return
gone fraMarcatori || sr_fail "Invio su Chiudi non ha chiuso l'elenco"

step "Chiudi dell'elenco dopo un export, con il messaggio dell'export chiuso da Invio"
sr_key alt+6
for _ in $(seq 50); do visible fraMarcatori && break; sleep 0.1; done
tab_to 'cmdImpExp(0)'
sr_key Return
for _ in $(seq 50); do visible frmImpExp && break; sleep 0.1; done
sr_send "{\"cmd\":\"control\",\"name\":\"Drive\",\"action\":\"select\",\"value\":\"$HOME\"}"
tab_to TextFileName
sr_type "esportati"
sr_key Return
count_reaches 'Export effettuato' 1
sr_key Return
for _ in $(seq 50); do visible frmImpExp || break; sleep 0.1; done
tab_to 'cmdImpExp(4)'
sr_key Return
gone fraMarcatori || sr_fail "dopo un export, Invio su Chiudi non ha chiuso l'elenco"

step "ogni modo di chiudere un pannello rimette la tastiera nel testo della pagina"
for way in Escape alt+6; do
  sr_key alt+6
  for _ in $(seq 50); do visible fraMarcatori && break; sleep 0.1; done
  sr_key "$way"
  for _ in $(seq 50); do visible fraMarcatori || break; sleep 0.1; done
  [ "$(focus_name)" = objwbTesto ] || sr_fail "dopo $way sull'elenco la tastiera è su '$(focus_name)'"
done
sr_key ctrl+8
for _ in $(seq 50); do visible frmconfigurazione && break; sleep 0.1; done
sr_key ctrl+8
for _ in $(seq 50); do visible frmconfigurazione || break; sleep 0.1; done
[ "$(focus_name)" = objwbTesto ] || sr_fail "dopo Ctrl+8 sulle opzioni la tastiera è su '$(focus_name)'"

step "Importa Marcatori, poi Annulla"
sr_key alt+6
tab_to 'cmdImpExp(1)'
sr_key Return
for _ in $(seq 50); do visible frmImpExp && break; sleep 0.1; done
visible frmImpExp || sr_fail "Invio su Importa Marcatori non ha aperto il pannello"
tab_to 'cmdImpExp(3)'
sr_key Return
gone frmImpExp || sr_fail "Invio su Annulla non ha chiuso il pannello"
sr_key Escape

step "pannello delle opzioni"
sr_key ctrl+8
for _ in $(seq 50); do visible frmconfigurazione && break; sleep 0.1; done
tab_to cmdSetupClose
sr_key Return
gone frmconfigurazione || sr_fail "Invio sul pulsante non ha chiuso le opzioni"
[ "$(state | grep -o '"list":\[[^]]*\]' | grep -o ' - ' | wc -l)" -eq 2 ] ||
  sr_fail "i segnalibri non ci sono più: $(state | grep -o '"list":\[[^]]*\]')"
echo "Invio preme il pulsante che ha la tastiera"
