#!/usr/bin/env bash
# Reads the words of the pages with the screen reader's own keys, as a blind
# reader does: Orca under Xvfb, its speech written to a file. Down reads the
# help page line by line, say-all reads it to its last line, and a link of
# the contents page is followed with Enter from the text: reached with Tab,
# and from the start of its line reached with Down, also right after a
# say-all stopped by a key that changes the page.
# Usage: listen_page.sh PROGRAM BOOK
set -u
PROGRAM=$1
BOOK=$2
source "$(dirname "$0")/session.sh"
sr_listen pagina "$PROGRAM" "$BOOK"


step "la guida letta riga per riga con la freccia giù"
sr_key F1
sr_expect "Guida ai tasti di QYR Player"
sr_key Down;  sr_expect "Guida ai tasti di QYR Player"
sr_key Down;  sr_expect "QYR Player si usa tutto dalla tastiera"
sr_key Up;    sr_expect "Guida ai tasti di QYR Player"
sr_key Up;    sr_expect "Torna al sommario"

step "la lettura continua della guida fino all'ultima riga"
sr_key ctrl+Home
sr_mark
sr_key KP_Add
sr_heard_in_order "Mostra o nasconde il pannello di debug" "Torna al sommario" 40

step "un collegamento del sommario seguito con Invio dal testo"
sr_key ctrl+i
sr_expect "Sommario - Il faro di Punta Lunga"
sr_key Tab
sr_heard_in_order "Capitolo primo" "fatto questo libro collegamento" 8
sr_key Down                           # from the link back to reading lines
sr_expect "Una cartella per ogni libro"
sr_key shift+Tab
sr_heard_in_order "Capitolo primo" "collegamento" 8
sr_key Tab Tab
sr_expect "brani per pagina collegamento"
sr_key Return
sr_expect "Capitolo 1 - Come"             # the link reached: the chapter from its second part
sr_event '"playing"'

# Ctrl+I, then Down to the first chapter's line and Enter there: the chapter
# heard and its audio playing.
contents_down_to_chapter() {
  sr_key ctrl+i
  sr_expect "Sommario - Il faro di Punta Lunga"
  sr_key_until Down "Capitolo primo"
  local played
  played=$(sr_events '"playing"')
  sr_key Return
  sr_expect "Capitolo 1 - Come"
  sr_event_after '"playing"' "$played"
}

step "il sommario letto con la freccia giù fino a un capitolo, e Invio sulla riga"
contents_down_to_chapter

step "lo stesso dopo una lettura continua della guida fermata con Ctrl+I"
sr_key F1
sr_expect "Guida ai tasti di QYR Player"
sr_key ctrl+Home
sr_mark
sr_key KP_Add
sr_expect "QYR Player si usa tutto dalla tastiera" 20
contents_down_to_chapter

sr_verdict
