#!/usr/bin/env bash
# Listens to the panels through a real screen reader: Orca under Xvfb, its
# speech written to a file. With real keys, each list says its current entry
# when it gets the keyboard, a text box is read whole, the drive list says its
# value and stays where it is, a radio group moves with Up and Down, a deleted
# bookmark is reported, and a message is heard once.
# Usage: listen_panels.sh PROGRAM BOOK
set -u
PROGRAM=$1
BOOK=$2
source "$(dirname "$0")/session.sh"
sr_listen pannelli "$PROGRAM" "$BOOK"

# Fails the run when TEXT was heard since the mark.
not_heard() {
  if sr_heard | sr_plain | grep -qiF -- "$(printf '%s' "$1" | sr_plain)"; then
    echo "SENTITO MA NON DOVEVA: \"$1\"" >&2
    sr_heard | sed 's/^/    /' >&2
    SR_FAILED=$((${SR_FAILED:-0} + 1))
  fi
}

sr_expect "Sommario - Il faro di Punta Lunga"

step "un capitolo"
sr_key Tab
sr_expect "Capitolo primo"
sr_key Return
sr_expect "Capitolo 1 - Come"
sr_event '"playing"'

step "il messaggio di Ctrl+7 si sente una volta sola"
before=$SR_SEEN
sr_key ctrl+7
sr_expect "File successivo"
sleep 3                                              # the new page has come, and its title
SR_SEEN=$before
n=$(sr_count "File successivo")
[ "$n" -eq 1 ] || { echo "\"File successivo\" sentito $n volte" >&2; SR_FAILED=$((${SR_FAILED:-0} + 1)); }
sr_mark

step "l'unico segnalibro si sente quando l'elenco si apre"
sr_key alt+3
sr_expect "Scrivi il segnalibro"
sr_type "primo segno"; sr_key Return
sr_event '"value":"primo segno"'
sr_key alt+6
sr_expect "primo segno"

step "l'elenco delle unità dice il suo valore e resta dov'è"
sr_key Tab Tab space
sr_expect "Importa marcatori"
sr_key shift+Tab shift+Tab
sr_expect "Unit"
before=$SR_SEEN
sr_key End
sr_expect "Copie di sicurezza"
sleep 1
SR_SEEN=$before
not_heard "Cartelle"                                 # the keyboard stays in the drive list
sr_mark
sr_key alt+6

step "Alt+2 non annuncia l'elenco chiuso"
sleep 2
sr_mark
before=$SR_SEEN
sr_key alt+2
sr_expect "primo segno"                              # the bookmark recalled
sleep 1
SR_SEEN=$before
not_heard "Marcatori"
sr_mark

step "Canc nell'elenco dice che cosa ha cancellato"
sr_key alt+6
sr_expect "primo segno"                              # the entry already current is said too
sr_key Delete
sr_expect "Segnalibro cancellato: primo segno"
sr_key Escape

step "il volume si sente intero"
sr_key ctrl+8
sr_expect "Riparti dal punto di uscita"
sr_key Tab Tab
sr_expect "100"

step "un gruppo di pulsanti si muove con Su e Giù"
sr_key Tab Tab Tab
sr_expect "Lettore"
sr_key Tab
sr_expect "Automatica"
sr_key Down
sr_event '"key":"VoceProgramma","section":"Player","t":[0-9]*,"value":"1"'
sr_expect "Sempre"
sr_key Up
sr_event '"key":"VoceProgramma","section":"Player","t":[0-9]*,"value":"0"'
sr_expect "Automatica"
sr_key ctrl+8

sr_verdict
