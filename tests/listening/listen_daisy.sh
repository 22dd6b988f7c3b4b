#!/usr/bin/env bash
# Hears a DAISY book as a blind reader does: Orca under Xvfb, its speech
# written to a file. The book (made from speech by tools/make_daisy.sh) says
# its title and reads; Alt+8 says the next heading, Ctrl+D where the reading is;
# the book's text is read line by line with Orca's own keys. A book of text
# alone is read aloud by the program's voice beside Orca: its phrases heard,
# in Esperanto (a voice taking its time), and after Alt+8 both the heading Orca
# says and the phrase the voice reads. An EPUB talking book (tools/make_epub.sh)
# chosen with Ctrl+O says its title, its text is read with Down, Alt+8 says a heading.
# Usage: listen_daisy.sh PROGRAM SOURCE_DIR
set -u
PROGRAM=$1
SOURCE=$2
source "$(dirname "$0")/session.sh"
D=$(mktemp -d /tmp/qyr-daisy.XXXXXX)
trap 'rc=$?; sr_stop; [ $rc -eq 0 ] && rm -rf "$D"' EXIT
bash "$SOURCE/tools/make_daisy.sh" "$D/libri" >/dev/null 2>&1 || { echo "libri DAISY non fatti: mancano espeak-ng, sox o ffmpeg"; exit 77; }
sr_start "$D"
sr_program "$PROGRAM" --automation --book "$D/libri/daisy202" --settings "$SR_DIR/settings.sqlite" --audio-out null
sr_event '"ready"'

step "il libro si apre: il titolo, poi la lettura dalla prima frase"
sr_expect "Libro di prova" 20
sr_event '"action":"playing"'

step "Alt+8: il titolo seguente"
sr_mark
sr_key alt+8
sr_expect "Sezione uno" 10

step "Ctrl+D: dove sono"
sr_mark
sr_key ctrl+d
sr_expect "Sezione uno, pagina 1, 00:0" 10

step "Giù: Orca legge con i suoi tasti la riga seguente del testo del libro, mentre il segno segue la lettura"
sr_mark
sr_key Down
sr_expect "primo paragrafo del libro" 10

step "un libro EPUB zippato, scelto con Ctrl+O: il titolo, una riga del testo con Giù, Alt+8 il titolo seguente"
bash "$SOURCE/tools/make_epub.sh" "$D/epub" >/dev/null 2>&1 || { echo "libri EPUB non fatti: mancano espeak-ng, sox, ffmpeg o zip"; exit 77; }
sr_mark
sr_key ctrl+o
sr_expect "Apri un libro" 10
sr_type "$D/epub/epub-mo.epub"; sr_key Return
sr_expect "Libro EPUB di prova" 20
sr_mark
sr_key Down
sr_expect "Una seconda frase del capitolo" 10
sr_mark
sr_key alt+8
sr_expect "Sezione uno" 10

step "un libro di solo testo: la voce del programma lo legge, Alt+8 fa sentire il titolo e la sua frase"
T=$D/testo
mkdir -p "$T"
cat > "$T/ncc.html" <<'HTML'
<html><head><meta name="dc:title" content="Solo testo"/><meta name="dc:language" content="eo"/></head><body>
<h1><a href="s.smil#p1">Parte prima</a></h1><h1><a href="s.smil#p3">Parte seconda</a></h1></body></html>
HTML
cat > "$T/s.smil" <<'SMIL'
<smil><body><seq><par id="p1"><text src="t.html#a"/></par><par id="p2"><text src="t.html#b"/></par>
<par id="p3"><text src="t.html#c"/></par></seq></body></smil>
SMIL
cat > "$T/t.html" <<'HTML'
<html><head><title>Solo testo</title></head><body><p id="a">Questo libro non ha suoni.</p>
<p id="b">La voce del programma lo legge tutto.</p><p id="c">Comincia la seconda parte del racconto.</p></body></html>
HTML
sr_mark
sr_key ctrl+o
sr_expect "Apri un libro" 10
sr_type "$T/"; sr_key Return
sr_heard_in_order "Questo libro non ha suoni" "lo legge tutto" 20
sr_key alt+8
sr_expect_nomark "Parte seconda" 15 && sr_expect "Comincia la seconda parte" 15

sr_verdict
