#!/usr/bin/env bash
# Makes DAISY test books from nothing: speech from espeak-ng (Italian voice),
# cut and joined with sox, MP3 from ffmpeg.
#   tools/make_daisy.sh OUT_DIR [--large]
# OUT_DIR/daisy202  a clean DAISY 2.02 book
# OUT_DIR/daisy3    a clean DAISY 3 book
# OUT_DIR/quirks    a DAISY 2.02 book as old library books are made: ncc.html
#                   in HTML 4 with unclosed metas, &nbsp; and &eacute;, in
#                   windows-1252, file names in another letter case than the
#                   links, clip times in every legal form, a page number
#                   phrase marked skippable
# OUT_DIR/large     (--large) 2,000 headings, 600 SMIL files, 20,000 phrases
#                   over a few short silent audio files
# Each small book: 3 headings on 2 levels, 2 print pages, 3 SMIL files of 3
# phrases, 2 audio files whose clips follow one another. Clip times are the
# phrases' real lengths: each phrase is padded to a whole millisecond at
# 16 kHz, so the times written are exact.
set -euo pipefail
export LC_ALL=C
out=${1:?"uso: make_daisy.sh CARTELLA [--large]"}
large=${2:-}
for tool in espeak-ng sox ffmpeg; do
    command -v "$tool" >/dev/null || { echo "manca $tool" >&2; exit 77; }
done
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The nine phrases: three per SMIL file; the first two files are read from
# a.mp3, the third from b.mp3. Phrase 8 is the number of page 2.
source "$(dirname "$0")/speech.sh"
speak_phrases "$work"
sox "$work/p0.wav" "$work/p1.wav" "$work/p2.wav" "$work/p3.wav" "$work/p4.wav" "$work/p5.wav" "$work/a.wav"
sox "$work/p6.wav" "$work/p7.wav" "$work/p8.wav" "$work/b.wav"
for f in a b; do
    ffmpeg -loglevel error -y -i "$work/$f.wav" -codec:a libmp3lame -b:a 48k "$work/$f.mp3"
done
# Clip begin and end of each phrase in milliseconds, within its audio file.
begin=() end=()
at=0
for i in "${!phrases[@]}"; do
    [ "$i" = 6 ] && at=0
    begin+=("$at"); at=$((at + ms[i])); end+=("$at")
done
total=$at
for i in 0 1 2 3 4 5; do total=$((total + ms[i])); done

# Milliseconds as a clock value; the quirks book varies the form from clip to clip.
secs() { printf '%d.%03d' $(( $1 / 1000 )) $(( $1 % 1000 )); }
clock() { # ms form
    local t=$1 s=$(( $1 / 1000 )) f=$(( $1 % 1000 ))
    case $2 in
        0) echo "npt=$(secs "$t")s" ;;
        1) printf 'npt=%d:%02d:%02d.%03d' $((s / 3600)) $((s / 60 % 60)) $((s % 60)) "$f" ;;
        2) secs "$t" ;;
        3) echo "npt=${t}ms" ;;
        4) printf '%02d:%02d.%03d' $((s / 60)) $((s % 60)) "$f" ;;
        5) printf '0:%02d:%02d.%03d' $((s / 60)) $((s % 60)) "$f" ;;
    esac
}
hms() { local s=$(( $1 / 1000 )); printf '%02d:%02d:%02d' $((s / 3600)) $((s / 60 % 60)) $((s % 60)); }

# DAISY 2.02: $1 folder, $2 quirks (1) or clean (0).
daisy202() {
    local dir=$1 quirks=$2 smilname audio i f k form=0
    mkdir -p "$dir"
    local titles=("Capitolo primo" "Sezione uno" "Capitolo secondo")
    for f in 0 1 2; do
        smilname="s$((f + 1)).smil"; [ "$quirks" = 1 ] && smilname="S$((f + 1)).SMIL"
        {
            echo '<?xml version="1.0" encoding="UTF-8"?>'
            echo '<!DOCTYPE smil PUBLIC "-//W3C//DTD SMIL 1.0//EN" "http://www.w3.org/TR/REC-smil/SMIL10.dtd">'
            echo '<smil><head><meta name="dc:format" content="Daisy 2.02"/>'
            echo '<layout><region id="txtView"/></layout></head><body><seq>'
            for k in 0 1 2; do
                i=$((f * 3 + k))
                audio=a.mp3; [ "$i" -ge 6 ] && audio=b.mp3
                local required=""
                [ "$i" = 7 ] && required=' system-required="pagenumber-on"'
                if [ "$quirks" = 1 ]; then
                    # Some pars carry no id, as in books made by hand: the text's id names them.
                    local pid=" id=\"par$i\""; [ "$k" = 1 ] && pid=""
                    echo "<par endsync=\"last\"$pid$required><text src=\"content.html#t$i\" id=\"tx$i\"/>"
                    echo "<seq><audio src=\"$audio\" clip-begin=\"$(clock "${begin[$i]}" $form)\" clip-end=\"$(clock "${end[$i]}" $(((form + 1) % 6)))\" id=\"au$i\"/></seq></par>"
                    form=$(((form + 2) % 6))
                else
                    echo "<par endsync=\"last\" id=\"par$i\"$required><text src=\"content.html#t$i\" id=\"tx$i\"/>"
                    echo "<audio src=\"$audio\" clip-begin=\"npt=$(secs "${begin[$i]}")s\" clip-end=\"npt=$(secs "${end[$i]}")s\" id=\"au$i\"/></par>"
                fi
            done
            echo '</seq></body></smil>'
        } > "$dir/$smilname"
    done
    {
        echo '<html><head><title>Testo</title></head><body>'
        for i in "${!phrases[@]}"; do echo "<p id=\"t$i\">${phrases[$i]}</p>"; done
        echo '</body></html>'
    } > "$dir/content.html"
    if [ "$quirks" = 1 ]; then
        mv "$dir/content.html" "$dir/Content.HTML"
        cp "$work/a.mp3" "$dir/A.MP3"; cp "$work/b.mp3" "$dir/B.Mp3"
        # HTML 4 as old tools wrote it: upper-case tags, metas never closed,
        # entities HTML knows and XML does not, bytes of windows-1252.
        {
            printf '<!DOCTYPE HTML PUBLIC "-//W3C//DTD HTML 4.01 Transitional//EN">\r\n<HTML><HEAD>\r\n'
            printf '<META NAME="dc:title" CONTENT="Caff\xe8 &amp; libri">\r\n'
            printf '<META NAME="dc:format" CONTENT="Daisy 2.02">\r\n<META NAME="ncc:charset" CONTENT="windows-1252">\r\n'
            printf '<META NAME="ncc:totalTime" CONTENT="%s">\r\n<TITLE>Caff\xe8 &amp; libri</TITLE></HEAD>\r\n<BODY>\r\n' "$(hms $total)"
            printf '<H1 CLASS="title" ID="h1"><A HREF="s1.smil#tx0">Capitolo&nbsp;primo</A></H1>\r\n'
            printf '<SPAN CLASS="page-normal" ID="pg1"><A HREF="s1.smil#tx0">1</A></SPAN>\r\n'
            printf '<H2 ID="h2"><A HREF="S2.smil#tx3">Sezione   uno, perch\xe8 s&eacute;</A></H2>\r\n'
            printf '<H1 ID="h3"><A HREF="s3.Smil#par6">Capitolo secondo</A></H1>\r\n'
            printf '<SPAN CLASS="page-normal" ID="pg2"><A HREF="s3.smil#tx7">2</A></SPAN>\r\n'
            printf '</BODY></HTML>\r\n'
        } > "$dir/NCC.HTML"
    else
        cp "$work/a.mp3" "$work/b.mp3" "$dir/"
        {
            echo '<?xml version="1.0" encoding="utf-8"?>'
            echo '<!DOCTYPE html PUBLIC "-//W3C//DTD XHTML 1.0 Transitional//EN" "http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd">'
            echo '<html xmlns="http://www.w3.org/1999/xhtml"><head>'
            echo '<meta http-equiv="Content-type" content="text/html; charset=utf-8"/>'
            echo '<title>Libro di prova</title><meta name="dc:title" content="Libro di prova"/>'
            echo '<meta name="dc:format" content="Daisy 2.02"/><meta name="ncc:charset" content="utf-8"/>'
            echo "<meta name=\"ncc:depth\" content=\"2\"/><meta name=\"ncc:totalTime\" content=\"$(hms $total)\"/>"
            echo '</head><body>'
            echo "<h1 class=\"title\" id=\"h1\"><a href=\"s1.smil#tx0\">${titles[0]}</a></h1>"
            echo '<span class="page-normal" id="pg1"><a href="s1.smil#tx0">1</a></span>'
            echo "<h2 id=\"h2\"><a href=\"s2.smil#tx3\">${titles[1]}</a></h2>"
            echo "<h1 id=\"h3\"><a href=\"s3.smil#tx6\">${titles[2]}</a></h1>"
            echo '<span class="page-normal" id="pg2"><a href="s3.smil#tx7">2</a></span>'
            echo '</body></html>'
        } > "$dir/ncc.html"
    fi
}

# DAISY 3: package, navigation file, SMIL 2, DTBook.
daisy3() {
    local dir=$1 f k i audio test
    mkdir -p "$dir"
    cp "$work/a.mp3" "$work/b.mp3" "$dir/"
    local ids=("" "" "")
    for f in 0 1 2; do
        {
            echo '<?xml version="1.0" encoding="UTF-8"?>'
            echo '<!DOCTYPE smil PUBLIC "-//NISO//DTD dtbsmil 2005-2//EN" "http://www.daisy.org/z3986/2005/dtbsmil-2005-2.dtd">'
            echo '<smil xmlns="http://www.w3.org/2001/SMIL20/"><head><meta name="dtb:uid" content="qyr-prova-3"/>'
            echo '<customAttributes><customTest id="pagenum" defaultState="false" override="visible"/></customAttributes>'
            echo "</head><body><seq id=\"seq$f\">"
            for k in 0 1 2; do
                i=$((f * 3 + k))
                audio=a.mp3; [ "$i" -ge 6 ] && audio=b.mp3
                test=""; [ "$i" = 7 ] && test=' customTest="pagenum"'
                echo "<par id=\"par$i\"$test><text src=\"book.xml#t$i\"/>"
                echo "<audio src=\"$audio\" clipBegin=\"$(clock "${begin[$i]}" 5)\" clipEnd=\"$(secs "${end[$i]}")s\"/></par>"
            done
            echo '</seq></body></smil>'
        } > "$dir/s$((f + 1)).smil"
    done
    {
        echo '<?xml version="1.0" encoding="UTF-8"?>'
        echo '<dtbook xmlns="http://www.daisy.org/z3986/2005/dtbook/" version="2005-2"><book><bodymatter>'
        for i in "${!phrases[@]}"; do echo "<p id=\"t$i\">${phrases[$i]}</p>"; done
        echo '</bodymatter></book></dtbook>'
    } > "$dir/book.xml"
    navpoint() { echo "<navPoint id=\"np$1\" playOrder=\"$1\"><navLabel><text>$2</text></navLabel><content src=\"$3\"/>"; }
    {
        echo '<?xml version="1.0" encoding="UTF-8"?>'
        echo '<ncx xmlns="http://www.daisy.org/z3986/2005/ncx/" version="2005-1"><head>'
        echo '<meta name="dtb:uid" content="qyr-prova-3"/><meta name="dtb:depth" content="2"/></head>'
        echo '<docTitle><text>Libro di prova tre</text></docTitle><navMap>'
        navpoint 1 "Capitolo primo" "s1.smil#par0"
        navpoint 2 "Sezione uno" "s2.smil#par3"; echo '</navPoint></navPoint>'
        navpoint 3 "Capitolo secondo" "s3.smil#par6"; echo '</navPoint>'
        echo '</navMap><pageList>'
        echo '<pageTarget id="pg1" type="normal" value="1" playOrder="4"><navLabel><text>1</text></navLabel><content src="s1.smil#par0"/></pageTarget>'
        echo '<pageTarget id="pg2" type="normal" value="2" playOrder="5"><navLabel><text>2</text></navLabel><content src="s3.smil#par7"/></pageTarget>'
        echo '</pageList></ncx>'
    } > "$dir/navigation.ncx"
    {
        echo '<?xml version="1.0" encoding="UTF-8"?>'
        echo '<package xmlns="http://openebook.org/namespaces/oeb-package/1.0/" unique-identifier="uid"><metadata>'
        echo '<dc-metadata xmlns:dc="http://purl.org/dc/elements/1.1/"><dc:Title>Libro di prova tre</dc:Title>'
        echo '<dc:Identifier id="uid">qyr-prova-3</dc:Identifier><dc:Format>ANSI/NISO Z39.86-2005</dc:Format></dc-metadata>'
        echo "<x-metadata><meta name=\"dtb:totalTime\" content=\"$(hms $total)\"/></x-metadata></metadata><manifest>"
        echo '<item id="opf" href="book.opf" media-type="text/xml"/><item id="ncx" href="navigation.ncx" media-type="application/x-dtbncx+xml"/>'
        echo '<item id="xml" href="book.xml" media-type="application/x-dtbook+xml"/>'
        echo '<item id="a" href="a.mp3" media-type="audio/mpeg"/><item id="b" href="b.mp3" media-type="audio/mpeg"/>'
        for f in 1 2 3; do echo "<item id=\"s$f\" href=\"s$f.smil\" media-type=\"application/smil\"/>"; done
        echo '</manifest><spine><itemref idref="s1"/><itemref idref="s2"/><itemref idref="s3"/></spine></package>'
    } > "$dir/book.opf"
}

# The big book: SMIL file f holds 34 phrases (the first 200) or 33, a heading
# every 10 phrases (levels 1, 2, 3, 2), a page every 20, clips of 0.25 s in
# three 10-second silent files.
large_book() {
    local dir=$1 s
    mkdir -p "$dir"
    for s in 0 1 2; do
        ffmpeg -loglevel error -y -f lavfi -i anullsrc=r=16000:cl=mono -t 10 -codec:a libmp3lame -b:a 32k "$dir/silence$s.mp3"
    done
    awk -v dir="$dir" 'BEGIN {
        ncc = dir "/ncc.html"
        print "<?xml version=\"1.0\" encoding=\"utf-8\"?><html xmlns=\"http://www.w3.org/1999/xhtml\"><head>" > ncc
        print "<meta name=\"dc:title\" content=\"Libro grande\"/><meta name=\"dc:format\" content=\"Daisy 2.02\"/></head><body>" > ncc
        phrase = 0; levels[0] = 1; levels[1] = 2; levels[2] = 3; levels[3] = 2
        for (f = 1; f <= 600; f++) {
            smil = sprintf("f%03d.smil", f); path = dir "/" smil
            n = f <= 200 ? 34 : 33
            print "<?xml version=\"1.0\" encoding=\"UTF-8\"?><smil><head><layout><region id=\"t\"/></layout></head><body><seq>" > path
            for (k = 0; k < n; k++) {
                if (phrase % 10 == 0) {
                    h = phrase / 10; l = levels[h % 4]
                    printf "<h%d id=\"h%d\"><a href=\"%s#p%d\">Titolo %d</a></h%d>\n", l, h, smil, phrase, h + 1, l > ncc
                }
                if (phrase % 20 == 0)
                    printf "<span class=\"page-normal\" id=\"g%d\"><a href=\"%s#p%d\">%d</a></span>\n", phrase, smil, phrase, phrase / 20 + 1 > ncc
                printf "<par endsync=\"last\" id=\"p%d\"><text src=\"t.html#x%d\" id=\"x%d\"/><audio src=\"silence%d.mp3\" clip-begin=\"npt=%.3fs\" clip-end=\"npt=%.3fs\" id=\"a%d\"/></par>\n", phrase, phrase, phrase, f % 3, k * 0.25, (k + 1) * 0.25, phrase > path
                phrase++
            }
            print "</seq></body></smil>" > path
            close(path)
        }
        print "</body></html>" > ncc
    }'
    echo '<html><body><p>Testo</p></body></html>' > "$dir/t.html"
}

daisy202 "$out/daisy202" 0
daisy202 "$out/quirks" 1
daisy3 "$out/daisy3"
[ "$large" = "--large" ] && large_book "$out/large"
# The lengths the clips were cut to, for whoever checks the books.
printf '%s\n' "${ms[@]}" > "$out/phrase_ms.txt"
echo "libri DAISY in $out"
