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

# Waits until FIRST and then THEN have been heard, in that order (nothing
# heard yet is not a success).
heard_in_order() {
  local first=$1 then=$2 limit=${3:-15} i
  for i in $(seq $((limit * 10))); do
    sr_heard | sr_plain | tr '\n' ' ' | tr -s ' ' | awk -v a="$first" -v b="$then" \
      '{ s = s $0 } END { i = index(s, a); exit !(i && index(substr(s, i + length(a)), b)) }' && { sr_mark; return 0; }
    sleep 0.1
  done
  echo "NON SENTITO: \"$first\" e dopo \"$then\". Sentito invece:" >&2
  sr_heard | sed 's/^/    /' >&2
  SR_FAILED=$((${SR_FAILED:-0} + 1))
  sr_mark
}

step "da un capitolo, una pagina che non c'è: il sommario, poi il nome della pagina"
sr_send "{\"cmd\":\"navigate\",\"url\":\"file://$BOOK/Libro/cap1.htm\"}"
sr_expect "Capitolo 1" 10
sleep 1
sr_mark
sr_send "{\"cmd\":\"navigate\",\"url\":\"file://$BOOK/Libro/sparita.htm\"}"
heard_in_order "Sommario - Il faro di Punta Lunga" "Pagina non trovata: sparita.htm"

step "da un capitolo, uno script che porta fuori dal libro: rifiutato, e detto"
sr_send "{\"cmd\":\"navigate\",\"url\":\"file://$BOOK/Libro/cap1.htm\"}"
sr_expect "Capitolo 1" 10
sleep 1
sr_mark
sr_send "{\"cmd\":\"navigate\",\"url\":\"javascript:location.href = 'http://127.0.0.1:9/'\"}"
sr_expect "Collegamento fuori dal libro" 10

sr_verdict
