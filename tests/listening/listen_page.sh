#!/usr/bin/env bash
# Reads the words of the pages with the screen reader's own keys, as a blind
# reader does: Orca under Xvfb, its speech written to a file. Down reads the
# help page line by line, say-all reads it to its last line, and a link of
# the contents page is followed with Enter from the text.
# Usage: listen_page.sh PROGRAM BOOK
set -u
PROGRAM=$1
BOOK=$2
source "$(dirname "$0")/session.sh"
D=$(mktemp -d /tmp/qyr-pagina.XXXXXX)
trap 'sr_stop; [ "${SR_FAILED:-0}" -eq 0 ] && rm -rf "$D"' EXIT
sr_start "$D"
sr_open_book "$PROGRAM" "$BOOK"

step() { echo "-- $*"; }

step "la guida letta riga per riga con la freccia giù"
sr_key F1
sr_expect "Guida ai tasti di QYR Player"
sr_key Down;  sr_expect "Guida ai tasti di QYR Player"
sr_key Down;  sr_expect "QYR Player si usa tutto dalla tastiera"
sr_key Down;  sr_expect "messaggio sullo schermo"
sr_key Up;    sr_expect "QYR Player si usa tutto dalla tastiera"

step "la lettura continua della guida fino all'ultima riga"
sr_key ctrl+Home
sr_mark
sr_key KP_Add
sr_expect "Maiusc+Ctrl+Alt" 40
sr_expect "Torna al sommario" 20
sr_key Escape

step "un collegamento del sommario seguito con Invio dal testo"
sr_key ctrl+i
sr_expect "Sommario - Il faro di Punta Lunga"
sr_key Tab
sr_expect "Capitolo primo"
sr_key Return
sr_expect "Capitolo 1 - Come"
sr_event '"playing"'

if [ "${SR_FAILED:-0}" -ne 0 ]; then
  echo "ASCOLTO FALLITO: $SR_FAILED frasi non sentite (registrazioni in $D)" >&2
  exit 1
fi
echo "ascolto riuscito"
