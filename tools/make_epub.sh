#!/usr/bin/env bash
# Makes EPUB 3 test books from nothing: speech from espeak-ng (Italian voice),
# cut and joined with sox, MP3 from ffmpeg, text and overlays written here.
#   tools/make_epub.sh OUT_DIR [--large]
# OUT_DIR/epub-mo    a talking book: two chapters, each with its audio file and
#                    overlay; clip times in every exact clock form, a clip with
#                    no start, one with no end, a nested seq, a script the
#                    reader must not run, landmarks to be ignored
# OUT_DIR/epub-text  the same words with no audio and no page list: the pages
#                    are known from the page break marks alone
# OUT_DIR/epub-drm   (zip only) the text book with a document declared encrypted
# OUT_DIR/epub-font  (zip only) the text book with only a font obfuscated
# OUT_DIR/large-epub (--large) 200 documents, 2,000 headings, 20,000 overlay
#                    sentences over a few short silent audio files
# Each book is unpacked in its folder and zipped next to it as NAME.epub.
# OUT_DIR/epub-mo.times: each sentence's audio file and clip in seconds, exact
# since each phrase is padded to a whole millisecond at 16 kHz.
set -euo pipefail
export LC_ALL=C
out=${1:?"uso: make_epub.sh CARTELLA [--large]"}
large=${2:-}
for tool in espeak-ng sox soxi ffmpeg zip python3; do
    command -v "$tool" >/dev/null || { echo "manca $tool" >&2; exit 77; }
done
mkdir -p "$out"
out=$(cd "$out" && pwd)   # zip runs from inside each book
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The nine sentences, as in the DAISY books: 1-6 in chapter one (cap1.mp3),
# 7-9 in chapter two (cap2.mp3). Sentence 8 is the mark of page 2.
source "$(dirname "$0")/speech.sh"
speak_phrases "$work"
sox "$work"/p{0,1,2,3,4,5}.wav "$work/cap1.wav"
sox "$work"/p{6,7,8}.wav "$work/cap2.wav"
for f in cap1 cap2; do
    ffmpeg -loglevel error -y -i "$work/$f.wav" -codec:a libmp3lame -b:a 48k "$work/$f.mp3"
done
# Clip begin and end of each sentence in milliseconds, within its audio file.
begin=() end=() at=0
for i in "${!phrases[@]}"; do
    [ "$i" = 6 ] && at=0
    begin+=("$at"); at=$((at + ms[i])); end+=("$at")
done
len2=$at len1=${end[5]}

secs() { printf '%d.%03d' $(( $1 / 1000 )) $(( $1 % 1000 )); }
# Milliseconds as a clock value in form $2: full clock, partial clock,
# seconds with unit, milliseconds, seconds without unit.
clock() {
    local t=$1 s=$(( $1 / 1000 )) f=$(( $1 % 1000 ))
    case $2 in
        0) printf '%d:%02d:%02d.%03d' $((s / 3600)) $((s / 60 % 60)) $((s % 60)) "$f" ;;
        1) printf '%02d:%02d.%03d' $((s / 60)) $((s % 60)) "$f" ;;
        2) printf '%d.%03ds' "$s" "$f" ;;
        3) printf '%dms' "$t" ;;
        4) printf '%d.%03d' "$s" "$f" ;;
    esac
}

# What every book shares: the mimetype, the container, the style sheet.
skeleton() {
    mkdir -p "$1/META-INF" "$1/OEBPS"
    printf 'application/epub+zip' > "$1/mimetype"
    cat > "$1/META-INF/container.xml" <<'EOF'
<?xml version="1.0" encoding="UTF-8"?>
<container version="1.0" xmlns="urn:oasis:names:tc:opendocument:xmlns:container">
<rootfiles><rootfile full-path="OEBPS/package.opf" media-type="application/oebps-package+xml"/></rootfiles>
</container>
EOF
    cat > "$1/OEBPS/style.css" <<'EOF'
body { margin: 1em; line-height: 1.4; }
h1, h2 { font-weight: bold; }
.-epub-media-overlay-active { background: yellow; }
EOF
}
# The mimetype first and stored, so a reader can tell the kind from the bytes.
zip_epub() { # $1 unpacked folder, $2 .epub (absolute)
    rm -f "$2"
    (cd "$1" && zip -q -X0 "$2" mimetype && zip -q -Xr9D "$2" META-INF OEBPS)
}
xhtml_head() { # $1 title, $2 path to the style sheet, $3 more in head
    echo '<?xml version="1.0" encoding="UTF-8"?>'
    echo '<!DOCTYPE html>'
    echo '<html xmlns="http://www.w3.org/1999/xhtml" xmlns:epub="http://www.idpf.org/2007/ops" xml:lang="it" lang="it">'
    echo "<head><meta charset=\"utf-8\"/><title>$1</title><link rel=\"stylesheet\" type=\"text/css\" href=\"$2\"/>${3:-}</head>"
    echo '<body>'
}
# Sentence $1 (1..9): in the talking book ($mode mo) a span with its id.
s() { if [ "$mode" = mo ]; then echo "<span id=\"s$1\">${phrases[$1 - 1]}</span>"; else echo "${phrases[$1 - 1]}"; fi; }
# The two chapters and the contents, in folder $1. In the talking book the
# page 2 mark is sentence 8 itself and chapter one has a script a reader must
# not run; the book of text has no page list: its pages are the marks alone.
chapters() {
    local script="" p2
    p2="<span epub:type=\"pagebreak\" id=\"p2\" title=\"2\"/><p>$(s 8)</p>"
    if [ "$mode" = mo ]; then
        script='<script type="text/javascript">document.title = "SCRIPT ESEGUITO";</script>'
        p2="<p><span id=\"s8\" epub:type=\"pagebreak\" title=\"2\">${phrases[7]}</span></p>"
    fi
    mkdir -p "$1/text"
    {
        xhtml_head "Capitolo primo" ../style.css "$script"
        echo "<section id=\"c1\" epub:type=\"chapter\"><h1>$(s 1)</h1><span epub:type=\"pagebreak\" id=\"p1\" title=\"1\"/>"
        echo "<p>$(s 2) $(s 3)</p>"
        # In the book of text the last sentence is a link to chapter two, as books link their parts.
        local six; six=$(s 6); [ "$mode" = mo ] || six="<a href=\"cap2.xhtml#c2\">$six</a>"
        echo "<section id=\"sec1\"><h2>$(s 4)</h2><p>$(s 5) $six</p></section></section>"
        echo '</body></html>'
    } > "$1/text/cap1.xhtml"
    {
        xhtml_head "Capitolo secondo" ../style.css
        echo "<section id=\"c2\"><h1>$(s 7)</h1>$p2"
        echo "<p>$(s 9)</p></section>"
        echo '</body></html>'
    } > "$1/text/cap2.xhtml"
    {
        xhtml_head Indice style.css
        echo '<nav epub:type="toc" id="toc"><h1>Indice</h1><ol>'
        echo '<li><a href="text/cap1.xhtml#c1">Capitolo primo</a><ol><li><a href="text/cap1.xhtml#sec1">Sezione uno</a></li></ol></li>'
        echo '<li><a href="text/cap2.xhtml#c2">Capitolo secondo</a></li></ol></nav>'
        if [ "$mode" = mo ]; then
            echo '<nav epub:type="page-list" id="pagine" hidden=""><h1>Pagine</h1><ol>'
            echo '<li><a href="text/cap1.xhtml#p1">1</a></li><li><a href="text/cap2.xhtml#s8">2</a></li></ol></nav>'
        fi
        # Landmarks are there to be ignored.
        echo '<nav epub:type="landmarks" id="riferimenti" hidden=""><h1>Riferimenti</h1><ol>'
        echo '<li><a epub:type="bodymatter" href="text/cap1.xhtml#c1">Punto di riferimento</a></li></ol></nav>'
        echo '</body></html>'
    } > "$1/nav.xhtml"
}
opf_head() { # $1 identifier, $2 title
    echo '<?xml version="1.0" encoding="UTF-8"?>'
    echo '<package xmlns="http://www.idpf.org/2007/opf" version="3.0" unique-identifier="uid" xml:lang="it">'
    echo '<metadata xmlns:dc="http://purl.org/dc/elements/1.1/">'
    echo "<dc:identifier id=\"uid\">urn:uuid:$1</dc:identifier><dc:title>$2</dc:title><dc:language>it</dc:language>"
    echo '<meta property="dcterms:modified">2024-01-01T00:00:00Z</meta>'
}
item() { echo "<item id=\"$1\" href=\"$2\" media-type=\"$3\"${4:+ $4}/>"; }

# The talking book. Each clip attribute takes the next clock form in turn.
form=0
clip() { # $1 name, $2 ms: added to the caller's clips
    clips+=" $1=\"$(clock "$2" $form)\""
    form=$(( (form + 1) % 5 ))
}
par() { # $1 sentence 1..9, $2 more attributes of the par
    local i=$(( $1 - 1 )) doc=cap1 clips=""
    [ "$1" -ge 7 ] && doc=cap2
    [ "$1" != 1 ] && clip clipBegin "${begin[i]}"   # the first starts at 0 by default
    [ "$1" != 9 ] && clip clipEnd "${end[i]}"       # the last runs to the file's end
    echo "<par id=\"par$1\"$2><text src=\"../text/$doc.xhtml#s$1\"/><audio src=\"../audio/$doc.mp3\"$clips/></par>"
}
smil_head() {
    echo '<?xml version="1.0" encoding="UTF-8"?>'
    echo '<smil xmlns="http://www.w3.org/ns/SMIL" xmlns:epub="http://www.idpf.org/2007/ops" version="3.0">'
    echo '<body>'
}
talking_book() {
    local dir=$out/epub-mo o=$out/epub-mo/OEBPS k mode=mo
    rm -rf "$dir"; skeleton "$dir"
    mkdir -p "$o/smil" "$o/audio"
    cp "$work/cap1.mp3" "$work/cap2.mp3" "$o/audio/"
    chapters "$o"
    {
        smil_head
        echo '<seq id="seq1" epub:textref="../text/cap1.xhtml" epub:type="bodymatter chapter">'
        for k in 1 2 3; do par $k ""; done
        echo '<seq id="seq2" epub:textref="../text/cap1.xhtml#sec1">'
        for k in 4 5 6; do par $k ""; done
        echo '</seq></seq></body></smil>'
    } > "$o/smil/cap1.smil"
    {
        smil_head   # pars straight in the body, no seq
        par 7 ""; par 8 ' epub:type="pagebreak"'; par 9 ""
        echo '</body></smil>'
    } > "$o/smil/cap2.smil"
    {
        opf_head 6f1c2a4e-9b3d-4c8e-a1f0-2d5e7b9c0a11 "Libro EPUB di prova"
        echo '<meta property="media:active-class">-epub-media-overlay-active</meta>'
        echo "<meta property=\"media:duration\">$(clock $((len1 + len2)) 0)</meta>"
        echo "<meta property=\"media:duration\" refines=\"#mo1\">$(clock "$len1" 0)</meta>"
        echo "<meta property=\"media:duration\" refines=\"#mo2\">$(clock "$len2" 0)</meta>"
        echo '</metadata><manifest>'
        item nav nav.xhtml application/xhtml+xml 'properties="nav"'
        item css style.css text/css
        item cap1 text/cap1.xhtml application/xhtml+xml 'media-overlay="mo1" properties="scripted"'
        item cap2 text/cap2.xhtml application/xhtml+xml 'media-overlay="mo2"'
        item mo1 smil/cap1.smil application/smil+xml; item mo2 smil/cap2.smil application/smil+xml
        item a1 audio/cap1.mp3 audio/mpeg; item a2 audio/cap2.mp3 audio/mpeg
        echo '</manifest><spine><itemref idref="nav" linear="no"/><itemref idref="cap1"/><itemref idref="cap2"/></spine></package>'
    } > "$o/package.opf"
    zip_epub "$dir" "$out/epub-mo.epub"
    for k in 1 2 3 4 5 6 7 8 9; do
        local a=cap1.mp3 e=${end[k - 1]}
        [ "$k" -ge 7 ] && a=cap2.mp3
        [ "$k" = 9 ] && e=$len2
        echo "s$k $a $(secs "${begin[k - 1]}") $(secs "$e")"
    done > "$out/epub-mo.times"
}

# The book of text alone: $1 folder, $2 identifier, $3 = 1 adds a font.
text_book() {
    local o=$1/OEBPS mode=text
    rm -rf "$1"; skeleton "$1"
    chapters "$o"
    {
        opf_head "$2" "Libro EPUB senza audio"
        echo '</metadata><manifest>'
        item nav nav.xhtml application/xhtml+xml 'properties="nav"'
        item css style.css text/css
        item cap1 text/cap1.xhtml application/xhtml+xml; item cap2 text/cap2.xhtml application/xhtml+xml
        [ "$3" = 1 ] && item font font.otf font/otf
        echo '</manifest><spine><itemref idref="cap1"/><itemref idref="cap2"/></spine></package>'
    } > "$o/package.opf"
    # Fixed bytes, not a real font: an obfuscated font looks like noise anyway.
    [ "$3" = 1 ] && python3 -c 'import random, sys; random.seed(7); sys.stdout.buffer.write(bytes(random.randrange(256) for _ in range(1200)))' > "$o/font.otf"
    return 0
}
encryption() { # $1 algorithm, $2 file named
    echo '<?xml version="1.0" encoding="UTF-8"?>'
    echo '<encryption xmlns="urn:oasis:names:tc:opendocument:xmlns:container" xmlns:enc="http://www.w3.org/2001/04/xmlenc#">'
    echo "<enc:EncryptedData><enc:EncryptionMethod Algorithm=\"$1\"/>"
    echo "<enc:CipherData><enc:CipherReference URI=\"$2\"/></enc:CipherData></enc:EncryptedData>"
    echo '</encryption>'
}
text_books() {
    text_book "$out/epub-text" 6f1c2a4e-9b3d-4c8e-a1f0-2d5e7b9c0a12 0
    zip_epub "$out/epub-text" "$out/epub-text.epub"
    # Own identifiers, so nothing a reader keeps per book mixes them up.
    text_book "$work/drm" 6f1c2a4e-9b3d-4c8e-a1f0-2d5e7b9c0a13 0
    encryption http://www.w3.org/2001/04/xmlenc#aes128-cbc OEBPS/text/cap1.xhtml > "$work/drm/META-INF/encryption.xml"
    zip_epub "$work/drm" "$out/epub-drm.epub"
    text_book "$work/font" 6f1c2a4e-9b3d-4c8e-a1f0-2d5e7b9c0a14 1
    encryption http://www.idpf.org/2008/embedding OEBPS/font.otf > "$work/font/META-INF/encryption.xml"
    zip_epub "$work/font" "$out/epub-font.epub"
}

# The big book: document c (200 of them) has a chapter heading, a page mark
# and 9 sections of a heading and 10 sentences; 100 sentences, each a par.
# The clips are 0.5 s, laid one after the other over five 60-second silent
# files (120 clips each), starting again with the first when all are used.
large_book() {
    local dir=$out/large-epub k
    rm -rf "$dir"; skeleton "$dir"
    mkdir -p "$dir/OEBPS/text" "$dir/OEBPS/smil" "$dir/OEBPS/audio"
    for k in 1 2 3 4 5; do
        ffmpeg -loglevel error -y -f lavfi -i anullsrc=r=16000:cl=mono -t 60 -codec:a libmp3lame -b:a 48k "$dir/OEBPS/audio/silenzio$k.mp3"
    done
    python3 - "$dir/OEBPS" <<'EOF'
import sys
o = sys.argv[1]
X = ('<?xml version="1.0" encoding="UTF-8"?>\n<!DOCTYPE html>\n<html xmlns="http://www.w3.org/1999/xhtml" '
     'xmlns:epub="http://www.idpf.org/2007/ops" xml:lang="it" lang="it">\n<head><meta charset="utf-8"/>'
     '<title>%s</title><link rel="stylesheet" type="text/css" href="%sstyle.css"/></head>\n<body>\n')
S = ('<?xml version="1.0" encoding="UTF-8"?>\n<smil xmlns="http://www.w3.org/ns/SMIL" '
     'xmlns:epub="http://www.idpf.org/2007/ops" version="3.0">\n<body>\n')
secs = lambda ms: '%d.%03ds' % divmod(ms, 1000)
toc, pages, items, refs, durs = [], [], [], [], []
for c in range(1, 201):
    name = 'c%04d' % c
    def par(n):
        g = (c - 1) * 100 + n - 1; b = g % 120 * 500
        return ('<par id="par%d"><text src="../text/%s.xhtml#s%d"/><audio src="../audio/silenzio%d.mp3" '
                'clipBegin="%s" clipEnd="%s"/></par>\n' % (n, name, n, g // 120 % 5 + 1, secs(b), secs(b + 500)))
    x = [X % ('Capitolo %d' % c, '../'), '<section id="c" epub:type="chapter"><h1><span id="s1">Capitolo %d.</span></h1>'
         '<span epub:type="pagebreak" id="pg" title="%d"/>\n' % (c, c)]
    s = [S, '<seq id="seq0" epub:textref="../text/%s.xhtml" epub:type="chapter">\n' % name, par(1)]
    sub = []
    for k in range(1, 10):
        h = 2 + (k - 1) * 11
        x += ['<section id="sec%d"><h2><span id="s%d">Capitolo %d, sezione %d.</span></h2>\n<p>' % (k, h, c, k),
              ' '.join('<span id="s%d">Frase %d del capitolo %d.</span>' % (n, n, c) for n in range(h + 1, h + 11)), '</p></section>\n']
        s += ['<seq id="seq%d" epub:textref="../text/%s.xhtml#sec%d">\n' % (k, name, k)] + [par(n) for n in range(h, h + 11)] + ['</seq>\n']
        sub.append('<li><a href="text/%s.xhtml#sec%d">Capitolo %d, sezione %d</a></li>' % (name, k, c, k))
    x.append('</section>\n</body></html>\n'); s.append('</seq></body></smil>\n')
    open('%s/text/%s.xhtml' % (o, name), 'w', encoding='utf-8').write(''.join(x))
    open('%s/smil/%s.smil' % (o, name), 'w', encoding='utf-8').write(''.join(s))
    toc.append('<li><a href="text/%s.xhtml#c">Capitolo %d</a><ol>%s</ol></li>\n' % (name, c, ''.join(sub)))
    pages.append('<li><a href="text/%s.xhtml#pg">%d</a></li>\n' % (name, c))
    items.append('<item id="%s" href="text/%s.xhtml" media-type="application/xhtml+xml" media-overlay="mo%s"/>\n'
                 '<item id="mo%s" href="smil/%s.smil" media-type="application/smil+xml"/>\n' % (name, name, name, name, name))
    refs.append('<itemref idref="%s"/>\n' % name)
    durs.append('<meta property="media:duration" refines="#mo%s">0:00:50.000</meta>\n' % name)
open(o + '/nav.xhtml', 'w', encoding='utf-8').write(
    X % ('Indice', '') + '<nav epub:type="toc" id="toc"><h1>Indice</h1><ol>\n' + ''.join(toc) + '</ol></nav>\n'
    '<nav epub:type="page-list" id="pagine" hidden=""><h1>Pagine</h1><ol>\n' + ''.join(pages) + '</ol></nav>\n</body></html>\n')
open(o + '/package.opf', 'w', encoding='utf-8').write(
    '<?xml version="1.0" encoding="UTF-8"?>\n<package xmlns="http://www.idpf.org/2007/opf" version="3.0" unique-identifier="uid" xml:lang="it">\n'
    '<metadata xmlns:dc="http://purl.org/dc/elements/1.1/">\n<dc:identifier id="uid">urn:uuid:6f1c2a4e-9b3d-4c8e-a1f0-2d5e7b9c0a15</dc:identifier>\n'
    '<dc:title>Libro EPUB grande</dc:title><dc:language>it</dc:language>\n<meta property="dcterms:modified">2024-01-01T00:00:00Z</meta>\n'
    '<meta property="media:active-class">-epub-media-overlay-active</meta>\n<meta property="media:duration">2:46:40.000</meta>\n'
    + ''.join(durs) + '</metadata><manifest>\n<item id="nav" href="nav.xhtml" media-type="application/xhtml+xml" properties="nav"/>\n'
    '<item id="css" href="style.css" media-type="text/css"/>\n'
    + ''.join('<item id="a%d" href="audio/silenzio%d.mp3" media-type="audio/mpeg"/>\n' % (k, k) for k in range(1, 6))
    + ''.join(items) + '</manifest><spine>\n' + ''.join(refs) + '</spine></package>\n')
EOF
    zip_epub "$dir" "$out/large-epub.epub"
}

# Every zip: the mimetype first and stored, every XML file well formed,
# every file the package names present.
check() {
    python3 - "$@" <<'EOF'
import sys, zipfile, posixpath, xml.etree.ElementTree as ET
for path in sys.argv[1:]:
    z = zipfile.ZipFile(path); first = z.infolist()[0]
    assert first.filename == 'mimetype' and first.compress_type == zipfile.ZIP_STORED, path
    assert z.read('mimetype') == b'application/epub+zip', path
    names = set(z.namelist())
    [ET.fromstring(z.read(n)) for n in names if n.endswith(('.xhtml', '.opf', '.smil', '.xml'))]
    for item in ET.fromstring(z.read('OEBPS/package.opf')).iter('{http://www.idpf.org/2007/opf}item'):
        assert posixpath.join('OEBPS', item.get('href')) in names, (path, item.get('href'))
EOF
}

talking_book
text_books
books=("$out/epub-mo.epub" "$out/epub-text.epub" "$out/epub-drm.epub" "$out/epub-font.epub")
[ "$large" = "--large" ] && { large_book; books+=("$out/large-epub.epub"); }
check "${books[@]}"
echo "libri EPUB in $out"
