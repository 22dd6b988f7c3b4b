#!/usr/bin/env bash
# Hears a page that cannot be found, and a page kept inside the book, as a
# blind reader does: Orca under Xvfb, its speech written to a file. The name
# of the missing page is said after the title of the contents page that comes
# back, so that the title does not cut it short (a screen reader stops one
# message for the next).
# Usage: listen_links.sh PROGRAM BOOK
set -u
PROGRAM=$1
BOOK=$2
source "$(dirname "$0")/session.sh"
sr_listen collegamenti "$PROGRAM" "$BOOK"


step "da un capitolo, una pagina che non c'è: il sommario, poi il nome della pagina"
sr_send "{\"cmd\":\"navigate\",\"url\":\"file://$BOOK/Libro/cap1.htm\"}"
sr_expect "Capitolo 1" 10
sleep 1
sr_mark
sr_send "{\"cmd\":\"navigate\",\"url\":\"file://$BOOK/Libro/sparita.htm\"}"
sr_heard_in_order "Sommario - Il faro di Punta Lunga" "Pagina non trovata: sparita.htm"

step "da un capitolo, uno script che porta fuori dal libro: rifiutato, e detto"
sr_send "{\"cmd\":\"navigate\",\"url\":\"file://$BOOK/Libro/cap1.htm\"}"
sr_expect "Capitolo 1" 10
sleep 1
sr_mark
sr_send "{\"cmd\":\"navigate\",\"url\":\"javascript:location.href = 'http://127.0.0.1:9/'\"}"
sr_expect "Collegamento fuori dal libro" 10

sr_verdict
