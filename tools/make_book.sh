#!/usr/bin/env bash
# make_book.sh - regenerates the sample talking book bundled in book/.
#
# Usage (from the repository root):  tools/make_book.sh
#
# Everything in book/ is produced from the texts held in this script:
#   book/Index.htm                table of contents
#   book/INCLUDE/Style1.CSS       style sheet 1 (dark text on white, large)
#   book/INCLUDE/Style2.CSS       style sheet 2 (yellow on black, larger)
#   book/INCLUDE/help.htm         key guide (F1)
#   book/INCLUDE/avvio.jpg        logo
#   book/Libro/cap1.htm ...       chapter pages
#   book/Libro/*.mp3, *.wma       the chapters read aloud (espeak-ng, Italian voice)
#   book/Libro/video_prova.wmv    two-second test video for the video links
#
# The same text is written on the page and spoken in its audio. Index
# positions (LumoIndex_n anchors and the positions in the table of contents)
# are measured on the generated speech, so they always point at the start of
# their section. The output is deterministic for a given set of tool versions.
#
# Needs (Debian 12): espeak-ng, sox, ffmpeg (libmp3lame, wmav2, wmv2), imagemagick.
#
# Deliberate oddities of the pages, kept because real books have them and the
# player has to cope:
#   - cap1.htm and cap3.htm name their first audio without extension
#     ("cap1_1" is cap1_1.mp3, "cap3_1" is cap3_1.wma): the player completes it.
#   - cap2.htm names its first audio "CAP2_1.MP3" while the file is cap2_1.mp3
#     (books made on Windows do not care about letter case).
#   - The audio of chapter 2 starts with a two-second chime; the start
#     positions of cap2.htm (QYRPLAYER_AUDIO_POS, QYRPLAYER_AUDIO_POS_1) skip it.
#   - cap1.htm has no QYRPLAYER_AUDIO_PREVHTML (first page) and cap3.htm has
#     neither QYRPLAYER_AUDIO_NEXTHTML_1 nor a next page after its last audio
#     (last page: reading stops there).
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BOOK="$ROOT/book"
RATE=22050          # sample rate of every audio file (espeak-ng speaks at 22050 Hz)
BITRATE=32k         # mono, low bit rate: the whole book stays well under 3 MB
VOICE=it
SPEED=160           # words per minute

for tool in espeak-ng sox soxi ffmpeg ffprobe convert; do
    command -v "$tool" >/dev/null 2>&1 || {
        echo "make_book.sh: manca il programma '$tool' (apt-get install espeak-ng sox ffmpeg imagemagick)" >&2
        exit 1
    }
done

WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT

export LC_ALL=C.UTF-8

# ---------------------------------------------------------------------------
# Texts. A chapter has a title and one or more audio parts; a part is a list
# of sections "Heading|Paragraph". The title is spoken at the start of the
# first part; the sections of the first part are the page's index entries.
# ---------------------------------------------------------------------------

BOOK_TITLE="Il faro di Punta Lunga"

CAP1_TITLE="Capitolo primo. Come è fatto questo libro"
CAP1_1=(
    "Benvenuti|Benvenuti nel libro di prova di QYR Player. Ogni pagina di questo libro ha il suo testo scritto e la sua voce registrata, che legge le stesse parole."
    "Una cartella per ogni libro|Il libro è una cartella: in alto il sommario, nella cartella INCLUDE gli stili, la guida e il logo, nella cartella Libro le pagine e i file audio."
    "Più brani per pagina|Ogni pagina è letta da più brani, uno dopo l'altro; dopo l'ultimo, il lettore apre da solo la pagina seguente."
)
CAP1_2=(
    "I tasti principali|Ctrl+3 mette in pausa e riprende la lettura. Ctrl+1 e Ctrl+2 tornano indietro o vanno avanti di alcuni secondi. Ctrl+4 ferma la lettura e torna all'inizio del brano. Ctrl+I riporta al sommario, e F1 apre la guida con l'elenco completo dei tasti."
)
CAP1_3=(
    "Indice e segnalibri|Alt+8 e Alt+7 portano al punto successivo o precedente dell'indice della pagina. Alt+3 aggiunge un segnalibro nel punto che si sta ascoltando, e Alt+6 mostra l'elenco dei segnalibri. Qui finisce il primo capitolo; segue il capitolo secondo."
)

CAP2_TITLE="Capitolo secondo. Il guardiano del faro"
CAP2_1=(
    "Il faro|Sulla punta più lontana dell'isola c'era un faro bianco e rosso, e nel faro viveva un vecchio guardiano di nome Tobia."
    "Ogni sera|Ogni sera, al tramonto, Tobia saliva i centoventi gradini della scala, puliva le grandi lenti di vetro e accendeva la luce per le navi al largo."
    "Poca compagnia|Gli facevano compagnia soltanto un gatto grigio, i gabbiani sugli scogli e una vecchia radio che gracchiava le previsioni del mare."
)
CAP2_2=(
    "Una visita|Una mattina di ottobre, mentre beveva il caffè, Tobia vide una piccola barca a vela entrare nella baia. A bordo c'era una ragazza con un cappello giallo e una cartella piena di carte nautiche. Disse di chiamarsi Marta e di essere venuta a studiare le correnti intorno all'isola. Qui finisce il secondo capitolo."
)

CAP3_TITLE="Capitolo terzo. La tempesta"
CAP3_1=(
    "Tre settimane|Per tre settimane Marta uscì in barca ogni giorno, e ogni sera raccontava a Tobia quello che aveva misurato."
    "Il cielo scuro|Poi, un pomeriggio, il cielo diventò scuro come l'inchiostro. Il vento cominciò a fischiare tra le rocce e le onde salirono fin sopra il molo."
    "La luce|Marta non era ancora tornata. Tobia corse su per la scala, accese la luce prima del solito e la fece girare più forte che poteva."
)
CAP3_2=(
    "La vela gialla|Passò un'ora lunghissima. Poi, tra la pioggia, apparve una piccola vela gialla che seguiva il raggio del faro, onda dopo onda, fino al riparo della baia. Tobia scese di corsa sul molo e le lanciò una cima."
)
CAP3_3=(
    "La zuppa di pesce|Quella sera mangiarono insieme una zuppa di pesce, mentre fuori la tempesta si calmava. Marta disse che il faro le aveva salvato la vita. Tobia sorrise e rispose che un faro serve proprio a questo. Fine del libro di prova. Grazie per l'ascolto."
)

# ---------------------------------------------------------------------------
# Audio
# ---------------------------------------------------------------------------

# speak TEXT OUT.wav - the text read by espeak-ng; key names are spelled out
# the way a reader says them.
speak() {
    local text
    text="$(sed -e 's/Ctrl+/Control più /g' \
                -e 's/Alt+/Alt più /g' \
                -e 's/\bF1\b/effe uno/g' \
                -e 's/QYR/Q Y R/g' <<<"$1")"
    espeak-ng -v "$VOICE" -s "$SPEED" -w "$WORK/raw.wav" "$text"
    # make sure every piece has exactly the same format before joining
    sox -R -D "$WORK/raw.wav" -r "$RATE" -c 1 -b 16 -e signed-integer "$2"
}

silence() { # silence SECONDS OUT.wav
    sox -R -D -n -r "$RATE" -c 1 -b 16 -e signed-integer "$2" trim 0 "$1"
}

# every sox call runs with -R -D: no random dither, so the audio is the same on every run
samples() { soxi -s "$1"; }

silence 1.0 "$WORK/gap.wav"      # between title and sections, and between sections
silence 0.5 "$WORK/tail.wav"     # at the end of every part
# chime that opens the parts of chapter 2: two soft tones, then silence, 2.0 s in all
sox -R -D -n -r "$RATE" -c 1 -b 16 -e signed-integer "$WORK/ding.wav" synth 0.35 sine 880 fade q 0.01 0.35 0.3 vol 0.4
sox -R -D -n -r "$RATE" -c 1 -b 16 -e signed-integer "$WORK/dong.wav" synth 0.55 sine 660 fade q 0.01 0.55 0.45 vol 0.4
silence 1.1 "$WORK/chime_gap.wav"
CHIME_SECONDS=2
sox -R -D "$WORK/ding.wav" "$WORK/dong.wav" "$WORK/chime_gap.wav" "$WORK/chime.wav" \
    pad 0 0.1 trim 0 "$((CHIME_SECONDS * RATE))s"

# make_part NAME CHIME TITLE SECTION...
#   NAME     base name of the part (the audio file name without extension)
#   CHIME    1 = the part opens with the chime, 0 = it opens with the voice
#   TITLE    chapter title spoken first (empty for the later parts of a page)
#   SECTION  "Heading|Paragraph"; heading and paragraph are read in order
# Leaves $WORK/NAME.wav and, in $WORK/NAME.starts, one line per section with
# its start in whole seconds. The first section starts where the voice
# starts (title included); the others at the end of the silence before them,
# rounded down, which always falls inside that one-second silence.
make_part() {
    local name=$1 chime=$2 title=$3
    shift 3
    local pieces=() total=0 n=0 voice_start section
    : >"$WORK/$name.starts"
    if [[ $chime == 1 ]]; then
        pieces+=("$WORK/chime.wav")
        total=$((total + $(samples "$WORK/chime.wav")))
    fi
    voice_start=$total
    if [[ -n $title ]]; then
        speak "$title." "$WORK/$name.title.wav"
        pieces+=("$WORK/$name.title.wav" "$WORK/gap.wav")
        total=$((total + $(samples "$WORK/$name.title.wav") + $(samples "$WORK/gap.wav")))
    fi
    for section in "$@"; do
        n=$((n + 1))
        if ((n > 1)); then
            pieces+=("$WORK/gap.wav")
            total=$((total + $(samples "$WORK/gap.wav")))
            echo $((total / RATE)) >>"$WORK/$name.starts"
        else
            echo $((voice_start / RATE)) >>"$WORK/$name.starts"
        fi
        speak "${section%%|*}. ${section#*|}" "$WORK/$name.$n.wav"
        pieces+=("$WORK/$name.$n.wav")
        total=$((total + $(samples "$WORK/$name.$n.wav")))
    done
    pieces+=("$WORK/tail.wav")
    sox -R -D "${pieces[@]}" "$WORK/$name.wav"
}

# encode NAME EXT - $WORK/NAME.wav to book/Libro/NAME.EXT (mp3 or wma)
encode() {
    local codec
    case $2 in
        mp3) codec=libmp3lame ;;
        wma) codec=wmav2 ;;
        *) echo "make_book.sh: formato sconosciuto $2" >&2; exit 1 ;;
    esac
    ffmpeg -nostdin -v error -y -i "$WORK/$1.wav" \
        -map_metadata -1 -fflags +bitexact -flags:a +bitexact \
        -c:a "$codec" -b:a "$BITRATE" -ar "$RATE" -ac 1 "$BOOK/Libro/$1.$2"
}

# duration FILE - length in seconds (three decimals) of an audio or video file
duration() {
    ffprobe -v error -show_entries format=duration -of default=nw=1:nk=1 "$1" |
        awk '{ printf "%.3f\n", $1 }'
}

# ---------------------------------------------------------------------------
# HTML helpers
# ---------------------------------------------------------------------------

# sections_html PART PAGE SECTION... - the headings and paragraphs of a part.
# With PAGE not empty the headings are the page's index entries
# (LumoIndex_1, LumoIndex_2, ...) pointing at the measured start of each section.
sections_html() {
    local part=$1 page=$2
    shift 2
    local n=0 section start
    local -a starts
    mapfile -t starts <"$WORK/$part.starts"
    for section in "$@"; do
        n=$((n + 1))
        if [[ -n $page ]]; then
            start=${starts[$((n - 1))]}
            printf '<h2><a name="LumoIndex_%d" href="%s#QYRPLAYER_AUDIO_POS=%d">%s</a></h2>\n' \
                "$n" "$page" "$start" "${section%%|*}"
        else
            printf '<h2>%s</h2>\n' "${section%%|*}"
        fi
        printf '<p>%s</p>\n' "${section#*|}"
    done
}

# toc_entries PAGE PART SECTION... - sub-entries of the table of contents,
# one per index entry of the page after the first
toc_entries() {
    local page=$1 part=$2
    shift 2
    local n=0 section
    local -a starts
    mapfile -t starts <"$WORK/$part.starts"
    for section in "$@"; do
        n=$((n + 1))
        ((n > 1)) || continue
        printf '      <li><a href="Libro/%s#QYRPLAYER_AUDIO_POS=%d">%s</a></li>\n' \
            "$page" "${starts[$((n - 1))]}" "${section%%|*}"
    done
}

first_start() { head -n 1 "$WORK/$1.starts"; }
nth_start() { sed -n "${2}p" "$WORK/$1.starts"; }

# ---------------------------------------------------------------------------
# Build
# ---------------------------------------------------------------------------

rm -rf "$BOOK"
mkdir -p "$BOOK/INCLUDE" "$BOOK/Libro"

echo "make_book.sh: sintesi vocale e codifica audio..."
make_part cap1_1 0 "$CAP1_TITLE" "${CAP1_1[@]}"; encode cap1_1 mp3
make_part cap1_2 0 "" "${CAP1_2[@]}";            encode cap1_2 wma
make_part cap1_3 0 "" "${CAP1_3[@]}";            encode cap1_3 mp3
make_part cap2_1 1 "$CAP2_TITLE" "${CAP2_1[@]}"; encode cap2_1 mp3
make_part cap2_2 1 "" "${CAP2_2[@]}";            encode cap2_2 wma
make_part cap3_1 0 "$CAP3_TITLE" "${CAP3_1[@]}"; encode cap3_1 wma
make_part cap3_2 0 "" "${CAP3_2[@]}";            encode cap3_2 mp3
make_part cap3_3 0 "" "${CAP3_3[@]}";            encode cap3_3 wma

echo "make_book.sh: video di prova..."
# two seconds of colour bars with a 440 Hz tone, as small as it gets
ffmpeg -nostdin -v error -y \
    -f lavfi -i "testsrc=size=160x120:rate=10:duration=2" \
    -f lavfi -i "sine=frequency=440:sample_rate=$RATE:duration=2" \
    -map_metadata -1 -fflags +bitexact -flags +bitexact \
    -c:v wmv2 -b:v 64k -c:a wmav2 -b:a "$BITRATE" -ac 1 -shortest \
    "$BOOK/Libro/video_prova.wmv"

echo "make_book.sh: logo..."
convert -size 300x120 xc:black \
    -fill '#FFD700' -font DejaVu-Sans-Bold -pointsize 46 -gravity center -annotate +0-14 'QYR Player' \
    -fill white -font DejaVu-Sans -pointsize 17 -gravity center -annotate +0+34 'lettore di libri parlati' \
    -strip -quality 85 "$BOOK/INCLUDE/avvio.jpg"

# start positions of chapter 2: just after the chime
CAP2_POS=$CHIME_SECONDS
CAP2_POS_1=$CHIME_SECONDS

echo "make_book.sh: pagine..."

# --- style sheets -----------------------------------------------------------

cat >"$BOOK/INCLUDE/Style1.CSS" <<'EOF'
/* QYR Player - stile 1: testo nero su fondo bianco, caratteri grandi */
body {
    background: #ffffff;
    color: #000000;
    font-family: Verdana, "DejaVu Sans", Arial, sans-serif;
    font-size: 150%;
    line-height: 1.6;
    margin: 1em 2em;
    max-width: 48em;
}
h1, h2, h3 { color: #000000; line-height: 1.3; }
h1 { font-size: 170%; }
h2 { font-size: 130%; margin-top: 1.4em; }
a { color: #0000cc; text-decoration: underline; }
a:visited { color: #5a1a8b; }
a:hover, a:focus { background: #000000; color: #ffffff; outline: 3px solid #ff8c00; }
h2 a, h2 a:visited { color: #000000; text-decoration: none; }
nav { border-top: 3px solid #000000; margin-top: 2em; }
table { border-collapse: collapse; margin: 1em 0; }
caption { font-weight: bold; text-align: left; padding: .3em 0; }
th, td { border: 2px solid #000000; padding: .3em .6em; text-align: left; vertical-align: top; }
th { background: #e8e8e8; }
kbd { font-family: inherit; font-weight: bold; white-space: nowrap; }
img { border: 0; }
EOF

cat >"$BOOK/INCLUDE/Style2.CSS" <<'EOF'
/* QYR Player - stile 2: testo giallo su fondo nero, caratteri molto grandi */
body {
    background: #000000;
    color: #ffff00;
    font-family: Verdana, "DejaVu Sans", Arial, sans-serif;
    font-size: 200%;
    font-weight: bold;
    line-height: 1.5;
    margin: 1em 1.5em;
}
h1, h2, h3 { color: #ffffff; line-height: 1.3; }
h1 { font-size: 150%; }
h2 { font-size: 120%; margin-top: 1.3em; }
p, li, td, th, caption { color: #ffff00; }
a, a:visited { color: #00ffff; text-decoration: underline; }
a:hover, a:focus { background: #ffff00; color: #000000; outline: 4px solid #ffffff; }
h2 a, h2 a:visited { color: #ffffff; text-decoration: none; }
nav { border-top: 4px solid #ffff00; margin-top: 2em; }
table { border-collapse: collapse; margin: 1em 0; }
caption { text-align: left; padding: .3em 0; }
th, td { border: 3px solid #ffff00; padding: .3em .6em; text-align: left; vertical-align: top; }
th { color: #ffffff; }
kbd { font-family: inherit; white-space: nowrap; }
img { border: 0; }
EOF

# --- table of contents ------------------------------------------------------

cat >"$BOOK/Index.htm" <<EOF
<!DOCTYPE html>
<html lang="it">
<head>
<meta charset="utf-8">
<title>Sommario - ${BOOK_TITLE}</title>
<!-- Messaggio del lettore riscritto dal libro (stesso significato del predefinito). -->
<meta name="QYRPLAYER_MSG_USCITA" content="Sei sicuro di voler uscire da QYR Player?">
</head>
<body>
<p><img src="INCLUDE/avvio.jpg" width="300" height="120" alt="QYR Player, lettore di libri parlati"></p>
<h1>${BOOK_TITLE}</h1>
<p>Libro di prova di QYR Player: tre brevi capitoli, scritti e letti ad alta voce.
Scegliete un capitolo per iniziare la lettura dal suo inizio, oppure una delle
voci rientrate per iniziarla da quel punto del capitolo.</p>
<h2>Sommario</h2>
<ol>
  <li><a href="Libro/cap1.htm">${CAP1_TITLE}</a>
    <ul>
$(toc_entries cap1.htm cap1_1 "${CAP1_1[@]}")
    </ul>
  </li>
  <li><a href="Libro/cap2.htm">${CAP2_TITLE}</a>
    <ul>
$(toc_entries cap2.htm cap2_1 "${CAP2_1[@]}")
    </ul>
  </li>
  <li><a href="Libro/cap3.htm">${CAP3_TITLE}</a>
    <ul>
$(toc_entries cap3.htm cap3_1 "${CAP3_1[@]}")
    </ul>
  </li>
</ol>
<h2>Aiuto</h2>
<p><a href="INCLUDE/help.htm">Guida ai tasti</a> (si apre anche con il tasto <kbd>F1</kbd>).
Il tasto <kbd>Ctrl+I</kbd> riporta a questo sommario da qualsiasi pagina.</p>
</body>
</html>
EOF

# --- chapter pages ----------------------------------------------------------
# QYRPLAYER_AUDIO, QYRPLAYER_AUDIO_1, ... : the parts read one after the other.
# QYRPLAYER_AUDIO_NEXTHTML_n, n = number of parts: page loaded after the last part.
# QYRPLAYER_AUDIO_NEXTHTML_1 / QYRPLAYER_AUDIO_PREVHTML: next and previous page
# for Ctrl+7 and Ctrl+6. On a page with at least two parts QYRPLAYER_AUDIO_1
# exists, so QYRPLAYER_AUDIO_NEXTHTML_1 is never taken for the end of the
# first part; both next-page elements name the same page.

cat >"$BOOK/Libro/cap1.htm" <<EOF
<!DOCTYPE html>
<html lang="it">
<head>
<meta charset="utf-8">
<title>Capitolo 1 - Come è fatto questo libro</title>
<meta name="QYRPLAYER_AUDIO" content="cap1_1">
<meta name="QYRPLAYER_AUDIO_1" content="cap1_2.wma">
<meta name="QYRPLAYER_AUDIO_2" content="cap1_3.mp3">
<meta name="QYRPLAYER_AUDIO_POS" content="0">
<meta name="QYRPLAYER_AUDIO_NEXTHTML_3" content="cap2.htm">
<meta name="QYRPLAYER_AUDIO_NEXTHTML_1" content="cap2.htm">
</head>
<body>
<p><a href="../Index.htm">Sommario</a> | <a href="cap2.htm">Capitolo successivo</a> | <a href="../INCLUDE/help.htm">Guida ai tasti</a></p>
<main>
<h1>${CAP1_TITLE}</h1>
$(sections_html cap1_1 cap1.htm "${CAP1_1[@]}")
$(sections_html cap1_2 "" "${CAP1_2[@]}")
$(sections_html cap1_3 "" "${CAP1_3[@]}")
</main>
<nav aria-label="Comandi di lettura">
<h2>Comandi di lettura</h2>
<ul>
  <li><a href="#QYRP_PAUSE#">Pausa</a></li>
  <li><a href="#QYRP_PLAY#">Riprendi la lettura</a></li>
  <li><a href="#QYRP_STOP#">Ferma la lettura</a></li>
  <li><a href="#QYRP_KEYCMD##KEYCTRL#51">Pausa o ripresa (come Ctrl+3)</a></li>
  <li><a href="#QYRP_KEYCMD##KEYALT#56">Punto successivo dell'indice (come Alt+8)</a></li>
  <li><a href="javascript:location.reload()">Ricomincia il brano</a></li>
</ul>
<h2>Video di prova</h2>
<p>Un video di due secondi: barre di colore e un suono continuo.</p>
<ul>
  <li><a href="#video_prova.wmv">Guarda il video a schermo intero</a></li>
  <li><a href="#video_prova.wmv@NOFULL@">Guarda il video in una finestra</a></li>
</ul>
</nav>
</body>
</html>
EOF

cat >"$BOOK/Libro/cap2.htm" <<EOF
<!DOCTYPE html>
<html lang="it">
<head>
<meta charset="utf-8">
<title>Capitolo 2 - Il guardiano del faro</title>
<!-- I brani di questo capitolo si aprono con un segnale acustico di ${CHIME_SECONDS} secondi:
     le posizioni di partenza lo saltano. -->
<meta name="QYRPLAYER_AUDIO" content="CAP2_1.MP3">
<meta name="QYRPLAYER_AUDIO_POS" content="${CAP2_POS}">
<meta name="QYRPLAYER_AUDIO_1" content="cap2_2.wma">
<meta name="QYRPLAYER_AUDIO_POS_1" content="${CAP2_POS_1}">
<meta name="QYRPLAYER_AUDIO_NEXTHTML_2" content="cap3.htm">
<meta name="QYRPLAYER_AUDIO_NEXTHTML_1" content="cap3.htm">
<meta name="QYRPLAYER_AUDIO_PREVHTML" content="cap1.htm">
</head>
<body>
<p><a href="../Index.htm">Sommario</a> | <a href="cap1.htm">Capitolo precedente</a> | <a href="cap3.htm">Capitolo successivo</a> | <a href="../INCLUDE/help.htm">Guida ai tasti</a></p>
<main>
<h1>${CAP2_TITLE}</h1>
$(sections_html cap2_1 cap2.htm "${CAP2_1[@]}")
$(sections_html cap2_2 "" "${CAP2_2[@]}")
</main>
<nav aria-label="Comandi di lettura">
<h2>Comandi di lettura</h2>
<ul>
  <li><a href="#QYRP_PAUSE#">Pausa</a></li>
  <li><a href="#QYRP_PLAY#">Riprendi la lettura</a></li>
  <li><a href="#QYRP_STOP#">Ferma la lettura</a></li>
  <li><a href="#KEYCTRL##QYRP_KEYCMD#55">Capitolo successivo (come Ctrl+7)</a></li>
  <li><a href="#QYRP_KEYCMD#54#KEYCTRL#">Capitolo precedente (come Ctrl+6)</a></li>
  <li><a href="#QYRP_KEYCMD#112">Guida ai tasti (come F1)</a></li>
</ul>
</nav>
</body>
</html>
EOF

cat >"$BOOK/Libro/cap3.htm" <<EOF
<!DOCTYPE html>
<html lang="it">
<head>
<meta charset="utf-8">
<title>Capitolo 3 - La tempesta</title>
<meta name="QYRPLAYER_AUDIO" content="cap3_1">
<meta name="QYRPLAYER_AUDIO_1" content="cap3_2.mp3">
<meta name="QYRPLAYER_AUDIO_2" content="cap3_3.wma">
<meta name="QYRPLAYER_AUDIO_PREVHTML" content="cap2.htm">
<!-- Ultima pagina del libro: dopo l'ultimo brano la lettura si ferma. -->
</head>
<body>
<p><a href="../Index.htm">Sommario</a> | <a href="cap2.htm">Capitolo precedente</a> | <a href="../INCLUDE/help.htm">Guida ai tasti</a></p>
<main>
<h1>${CAP3_TITLE}</h1>
$(sections_html cap3_1 cap3.htm "${CAP3_1[@]}")
$(sections_html cap3_2 "" "${CAP3_2[@]}")
$(sections_html cap3_3 "" "${CAP3_3[@]}")
</main>
<nav aria-label="Comandi di lettura">
<h2>Comandi di lettura</h2>
<ul>
  <li><a href="#QYRP_PAUSE#">Pausa</a></li>
  <li><a href="#QYRP_PLAY#">Riprendi la lettura</a></li>
  <li><a href="#QYRP_STOP#">Ferma la lettura</a></li>
  <li><a href="#QYRP_KEYCMD##KEYALT#55">Punto precedente dell'indice (come Alt+7)</a></li>
  <li><a href="#QYRP_KEYCMD##KEYCTRL#54">Capitolo precedente (come Ctrl+6)</a></li>
</ul>
</nav>
</body>
</html>
EOF

# --- key guide ----------------------------------------------------------------

cat >"$BOOK/INCLUDE/help.htm" <<'EOF'
<!DOCTYPE html>
<html lang="it">
<head>
<meta charset="utf-8">
<title>Guida ai tasti di QYR Player</title>
</head>
<body>
<p><a href="../Index.htm">Torna al sommario</a></p>
<main>
<h1>Guida ai tasti di QYR Player</h1>
<p>QYR Player si usa tutto dalla tastiera. Ogni comando risponde con un breve
messaggio sullo schermo; le posizioni sono indicate in minuti e secondi (mm:ss).</p>
<p>I modificatori devono essere esattamente quelli indicati: per esempio
<kbd>Ctrl+Maiusc+3</kbd> non fa nulla. I tasti <kbd>+</kbd> e <kbd>-</kbd> sono
quelli della tastiera principale, non quelli del tastierino numerico.</p>
<p>Il testo di ogni pagina si legge con i tasti del lettore di schermo: le frecce
su e giù leggono una riga alla volta, <kbd>Ctrl</kbd> con le frecce una parola o un
paragrafo, <kbd>Tab</kbd> passa da un collegamento all'altro e <kbd>Invio</kbd> lo
segue; la lettura continua del lettore di schermo legge la pagina fino in fondo.</p>

<h2>Ascolto</h2>
<table>
<caption>Tasti per l'ascolto (attivi quando un brano è caricato)</caption>
<thead>
<tr><th scope="col">Tasto</th><th scope="col">Azione</th></tr>
</thead>
<tbody>
<tr><th scope="row"><kbd>Ctrl+3</kbd></th><td>Pausa e ripresa della lettura. In pausa il messaggio resta sullo schermo.</td></tr>
<tr><th scope="row"><kbd>Ctrl+4</kbd></th><td>Ferma la lettura e torna all'inizio del brano.</td></tr>
<tr><th scope="row"><kbd>Ctrl+1</kbd></th><td>Indietro del numero di secondi scelto nel pannello di configurazione (10 se non cambiato); nei primi 10 secondi di un brano torna alla parte finale del brano precedente della pagina, o all'inizio del primo brano.</td></tr>
<tr><th scope="row"><kbd>Ctrl+2</kbd></th><td>Avanti del numero di secondi scelto nel pannello di configurazione; oltre la fine del brano passa al brano seguente della pagina o, dopo l'ultimo, alla pagina seguente.</td></tr>
<tr><th scope="row"><kbd>Ctrl++</kbd> (più)</th><td>Alza il volume.</td></tr>
<tr><th scope="row"><kbd>Ctrl+-</kbd> (meno)</th><td>Abbassa il volume.</td></tr>
</tbody>
</table>

<h2>Velocità e lettura</h2>
<table>
<caption>Tasti per la velocità di lettura e per attivare o disattivare la lettura</caption>
<thead>
<tr><th scope="col">Tasto</th><th scope="col">Azione</th></tr>
</thead>
<tbody>
<tr><th scope="row"><kbd>Alt++</kbd> (più)</th><td>Lettura più veloce di un passo (0,1); oltre la velocità doppia ricomincia da metà velocità.</td></tr>
<tr><th scope="row"><kbd>Alt+-</kbd> (meno)</th><td>Lettura più lenta di un passo (0,1); sotto 0,6 ricomincia dalla velocità doppia.</td></tr>
<tr><th scope="row"><kbd>Ctrl+9</kbd></th><td>Cambia velocità a giro: normale (1), veloce (1,4), lenta (0,7), di nuovo normale.</td></tr>
<tr><th scope="row"><kbd>Ctrl+0</kbd></th><td>Disattiva o riattiva la lettura ad alta voce.</td></tr>
</tbody>
</table>

<h2>Navigazione</h2>
<table>
<caption>Tasti per muoversi nel libro</caption>
<thead>
<tr><th scope="col">Tasto</th><th scope="col">Azione</th></tr>
</thead>
<tbody>
<tr><th scope="row"><kbd>Alt+8</kbd></th><td>Punto successivo dell'indice della pagina.</td></tr>
<tr><th scope="row"><kbd>Alt+7</kbd></th><td>Punto precedente dell'indice della pagina (l'inizio della parte prima di quella in ascolto).</td></tr>
<tr><th scope="row"><kbd>Ctrl+7</kbd></th><td>Pagina successiva del libro (file successivo).</td></tr>
<tr><th scope="row"><kbd>Ctrl+6</kbd></th><td>Pagina precedente del libro (file precedente).</td></tr>
<tr><th scope="row"><kbd>Ctrl+I</kbd></th><td>Torna al sommario.</td></tr>
<tr><th scope="row"><kbd>F1</kbd></th><td>Apre questa guida (con qualsiasi modificatore).</td></tr>
</tbody>
</table>

<h2>Segnalibri</h2>
<table>
<caption>Tasti per i segnalibri (marcatori)</caption>
<thead>
<tr><th scope="col">Tasto</th><th scope="col">Azione</th></tr>
</thead>
<tbody>
<tr><th scope="row"><kbd>Alt+3</kbd></th><td>Aggiunge un segnalibro nel punto in ascolto: la lettura si ferma e si scrive una descrizione. Non è possibile nel sommario.</td></tr>
<tr><th scope="row"><kbd>Alt+1</kbd></th><td>Va al segnalibro precedente.</td></tr>
<tr><th scope="row"><kbd>Alt+2</kbd></th><td>Va al segnalibro successivo.</td></tr>
<tr><th scope="row"><kbd>Alt+6</kbd></th><td>Mostra o nasconde l'elenco dei segnalibri (nel sommario quelli di tutto il libro, nelle altre pagine quelli della pagina); mentre l'elenco è aperto la lettura è in pausa.</td></tr>
<tr><th scope="row"><kbd>Esc</kbd></th><td>Chiude l'elenco dei segnalibri, se è aperto, e riprende la lettura dal punto in cui era stata sospesa.</td></tr>
<tr><th scope="row"><kbd>Alt+4</kbd></th><td>Cancella tutti i segnalibri della pagina, dopo una domanda di conferma.</td></tr>
</tbody>
</table>
<p>Nell'elenco dei segnalibri le frecce scorrono le voci, <kbd>Invio</kbd> va al
segnalibro scelto e <kbd>Canc</kbd> lo cancella, senza domanda di conferma.</p>

<h2>Aspetto e pannelli</h2>
<table>
<caption>Tasti per l'aspetto delle pagine e per i pannelli</caption>
<thead>
<tr><th scope="col">Tasto</th><th scope="col">Azione</th></tr>
</thead>
<tbody>
<tr><th scope="row"><kbd>Alt+9</kbd></th><td>Passa allo stile successivo delle pagine (colori e grandezza del testo), dopo l'ultimo torna al primo, e ricarica la pagina.</td></tr>
<tr><th scope="row"><kbd>Ctrl+8</kbd></th><td>Mostra o nasconde il pannello di configurazione.</td></tr>
<tr><th scope="row"><kbd>Maiusc+Ctrl+Alt</kbd> con qualsiasi tasto</th><td>Mostra o nasconde il pannello di debug.</td></tr>
</tbody>
</table>
</main>
<p><a href="../Index.htm">Torna al sommario</a></p>
</body>
</html>
EOF

# ---------------------------------------------------------------------------
# Check: every file a page names exists, positions fall inside their audio,
# every part lasts 10 to 40 seconds, and the book stays under 3 MB.
# ---------------------------------------------------------------------------

echo "make_book.sh: controllo..."
FAIL=0
fail() { echo "ERRORE: $*" >&2; FAIL=1; }

# find_file DIR NAME - the file NAME in DIR, letter case ignored; prints its real name
find_file() {
    local f lower=${2,,}
    for f in "$1"/*; do
        local base=${f##*/}
        if [[ ${base,,} == "$lower" ]]; then
            echo "$base"
            return 0
        fi
    done
    return 1
}

# meta PAGE NAME - content of the meta element NAME of PAGE (empty if absent)
meta() {
    sed -n "s/.*<meta name=\"$2\" content=\"\\([^\"]*\\)\">.*/\\1/p" "$1"
}

# resolve_audio DIR NAME - the file a page's audio name stands for
resolve_audio() {
    local dir=$1 name=$2 ext real
    if [[ $name == *.* ]]; then
        real=$(find_file "$dir" "$name") || return 1
        [[ $real == "$name" ]] || echo "nota: '$name' si trova come '$real' (maiuscole diverse)" >&2
        echo "$real"
        return 0
    fi
    for ext in .wma .wmv .mp3 .wav .m1v .avi; do
        if [[ -f $dir/$name$ext ]]; then
            echo "$name$ext"
            return 0
        fi
    done
    return 1
}

# positions must be whole seconds inside the audio
check_pos() { # WHAT POS DURATION
    [[ $2 =~ ^[0-9]+$ ]] || { fail "$1: posizione '$2' non è un numero intero"; return; }
    awk -v p="$2" -v d="$3" 'BEGIN { exit !(p < d - 1) }' || fail "$1: posizione $2 oltre la durata $3 s"
}

PAGES=(cap1.htm cap2.htm cap3.htm)
for page in "${PAGES[@]}"; do
    file="$BOOK/Libro/$page"
    dir="$BOOK/Libro"
    n=0
    durations=()
    while :; do
        if ((n == 0)); then el=QYRPLAYER_AUDIO; else el=QYRPLAYER_AUDIO_$n; fi
        name=$(meta "$file" "$el")
        [[ -n $name ]] || break
        real=$(resolve_audio "$dir" "$name") || { fail "$page: $el='$name' non trovato"; n=$((n + 1)); continue; }
        d=$(duration "$dir/$real")
        durations+=("$d")
        awk -v d="$d" 'BEGIN { exit !(d >= 10 && d <= 40) }' || fail "$page: $real dura $d s (atteso 10-40)"
        if ((n == 0)); then pel=QYRPLAYER_AUDIO_POS; else pel=QYRPLAYER_AUDIO_POS_$n; fi
        pos=$(meta "$file" "$pel")
        [[ -z $pos ]] || check_pos "$page $pel" "$pos" "$d"
        printf '  %-9s %-27s %-12s -> %-12s %7s s%s\n' "$page" "$el" "$name" "$real" "$d" "${pos:+, partenza $pos s}"
        n=$((n + 1))
    done
    ((n >= 2)) || fail "$page: meno di due brani"
    next=$(meta "$file" "QYRPLAYER_AUDIO_NEXTHTML_$n")
    if [[ -n $next ]]; then
        [[ -f $dir/$next ]] || fail "$page: QYRPLAYER_AUDIO_NEXTHTML_$n='$next' non trovato"
        echo "  $page dopo l'ultimo brano (QYRPLAYER_AUDIO_NEXTHTML_$n): $next"
    else
        echo "  $page dopo l'ultimo brano: fine della lettura"
    fi
    for el in QYRPLAYER_AUDIO_NEXTHTML_1 QYRPLAYER_AUDIO_PREVHTML; do
        v=$(meta "$file" "$el")
        [[ -z $v ]] || [[ -f $dir/$v ]] || fail "$page: $el='$v' non trovato"
        [[ -z $v ]] || echo "  $page $el: $v"
    done
    if [[ -n $next ]]; then
        v=$(meta "$file" QYRPLAYER_AUDIO_NEXTHTML_1)
        [[ $v == "$next" ]] || fail "$page: QYRPLAYER_AUDIO_NEXTHTML_1 e QYRPLAYER_AUDIO_NEXTHTML_$n diversi"
    fi
    # index entries: LumoIndex_1, 2, ... without gaps, inside the first audio
    k=0
    while :; do
        line=$(grep -o "<a name=\"LumoIndex_$((k + 1))\" href=\"[^\"]*\"" "$file" || true)
        [[ -n $line ]] || break
        k=$((k + 1))
        href=${line#*href=\"}
        href=${href%\"}
        [[ ${href%%#*} == "$page" ]] || fail "$page: LumoIndex_$k punta a '$href'"
        pos=${href#*QYRPLAYER_AUDIO_POS=}
        check_pos "$page LumoIndex_$k" "$pos" "${durations[0]}"
        echo "  $page LumoIndex_$k: $pos s"
    done
    ((k >= 2)) || fail "$page: indice con meno di due voci"
done

# every link to a file (pages, help, images, videos behind '#') must exist
for file in "$BOOK/Index.htm" "$BOOK/INCLUDE/help.htm" "$BOOK"/Libro/*.htm; do
    dir=$(dirname "$file")
    while read -r target; do
        case $target in
            javascript:* | *QYRP_* | *KEYCTRL* | *KEYALT*) continue ;;
            \#*) target=${target#\#}; target=${target//@NOFULL@/} ;;
        esac
        target=${target%%#*}
        [[ -n $target ]] || continue
        [[ -f $dir/$target ]] || fail "${file#"$BOOK"/}: collegamento a '$target' non trovato"
    done < <(grep -o -E '(href|src)="[^"]*"' "$file" | sed -E 's/^(href|src)="(.*)"$/\2/')
done

for f in Index.htm INCLUDE/Style1.CSS INCLUDE/Style2.CSS INCLUDE/help.htm INCLUDE/avvio.jpg Libro/video_prova.wmv; do
    [[ -f $BOOK/$f ]] || fail "manca $f"
done

size=$(du -sb "$BOOK" | cut -f1)
echo "  dimensione totale: $size byte"
((size < 3 * 1024 * 1024)) || fail "il libro supera 3 MB"

if ((FAIL)); then
    echo "make_book.sh: controllo fallito" >&2
    exit 1
fi
echo "make_book.sh: libro pronto in $BOOK"
