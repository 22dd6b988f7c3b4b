#include "daisyreading.h"

#include "../books/books.h"
#include "../daisy/book.h"
#include "../platform/bookpath.h"
#include "../platform/convert.h"
#include "../platform/daisy.h"
#include "../platform/dialogs.h"
#include "../platform/errorreport.h"
#include "../platform/pump.h"
#include "../platform/speech.h"
#include "../services/feedback.h"
#include "../services/playerslot.h"
#include "../services/spokentime.h"

#include <QRegularExpression>

namespace qyr {

namespace {

const QString kStart = QStringLiteral("Inizio del libro");
const QString kEnd = QStringLiteral("Fine del libro");
const QString kLinkPrefix = QStringLiteral("#QYRDAISY_TITOLO_");

// How near the place sought a position must be to show the seek has been
// made, and how many beats of the timer that is waited for.
constexpr double kSettled = 0.5;
constexpr int kSettleTicks = 10;
// How close to a run's end the reading moves on to the next one.
constexpr double kRunEndMargin = 0.02;

QString pageSaid(const daisy::Page &page) { return QStringLiteral("Pagina ") + page.label; }

const QString kNoVoice = QStringLiteral("Nessuna voce disponibile per leggere il testo: il testo è mostrato, da leggere "
                                        "con il lettore di schermo; i tasti del libro spostano il segno");

} // namespace

DaisyReading::DaisyReading(Uses uses) : u(std::move(uses))
{
    if (u.speech)
        u.speech->Finished.connect([this] { voiceFinished(); });
}

bool DaisyReading::active() const { return u.books.daisyBook() != nullptr; }

const daisy::Book *DaisyReading::book() const { return u.books.daisyBook(); }

QString DaisyReading::formatName() const
{
    const daisy::Book *b = book();
    if (!b)
        return QString();
    switch (b->format) {
    case daisy::Format::Daisy2: return QStringLiteral("daisy2");
    case daisy::Format::Daisy3: return QStringLiteral("daisy3");
    case daisy::Format::Epub3: break;
    }
    return QStringLiteral("epub3");
}

QString DaisyReading::audioPath(const daisy::Book &b, int phrase) const
{
    return joinPath(u.books.folder(), b.phrases[size_t(phrase)].audio);
}

void DaisyReading::start(const QString &place, double at)
{
    silence(); // the book read before, if the voice was reading it
    textsPath_.clear();
    texts_.clear();
    const daisy::Book *b = book();
    if (!b)
        return;
    Guard(u.er, QStringLiteral("Apertura del libro DAISY"), [&] {
        phrase_ = -1;
        level_ = 0;
        ended_ = false;
        // In a book of text alone the title says whether a voice reads it.
        noVoiceSaid_ = !b->hasAudio() && !canSpeak();
        // The reading starts first; the text is shown while it plays.
        double into = 0;
        const int from = placeOf(*b, place, at, into);
        if (from >= 0)
            play(*b, from, into);
        Moved();
        // The title is said on the timer's first beat, the audio under way:
        // the first message shown took some 75 ms, which held the audio back.
        if (b->phrases.empty())
            u.feedback.OSD(QStringLiteral("Il libro non ha frasi da leggere"), false);
        else if (!b->hasAudio())
            title_ = u.books.title() + (noVoiceSaid_ ? QStringLiteral(". Libro senza audio. ") + kNoVoice
                                                     : QStringLiteral(". Libro senza audio: lo legge la voce del programma"));
        else
            title_ = u.books.title();
        // What is missing is said once, and the reading goes on without it.
        if (!b->problems.isEmpty())
            u.er.ShowError(QStringLiteral("Libro DAISY"), b->problems.join(QLatin1Char('\n')));
    });
}

// Plays from the phrase's clip (and `into` it); a phrase without audio
// passes to the next one that has some.
void DaisyReading::play(const daisy::Book &b, int phrase, double into, bool voiceOn)
{
    const int n = int(b.phrases.size());
    // A phrase of neither audio nor text has nothing to read.
    while (phrase < n && b.phrases[size_t(phrase)].audio.isEmpty() && b.phrases[size_t(phrase)].textFile.isEmpty())
        ++phrase;
    if (phrase >= n) {
        silence();
        ended_ = true;
        reachedEnd(b);
        return;
    }
    // Text without audio: the voice's.
    if (b.phrases[size_t(phrase)].audio.isEmpty()) {
        speak(b, phrase, voiceOn);
        return;
    }
    silence();
    phrase_ = phrase;
    runEnd_ = b.runEnd(phrase);
    ended_ = false;
    oEkoPlayer &p = u.player.get();
    const QString path = audioPath(b, phrase);
    if (p.FileName() != path) {
        p.setAutoStart(true);
        p.setRate(u.feedback.PlayerRate());
        p.setFileName(path);
        u.pump.processEvents();
    }
    target_ = b.phrases[size_t(phrase)].clipBegin + into;
    settling_ = true;
    settleTicks_ = 0;
    p.setCurrentPosition(target_);
    if (!p.IsPlaying())
        p.Play_Player();
    u.TimerDaisy.setEnabled(true);
}

void DaisyReading::go(int phrase, const QString &said, double into)
{
    const daisy::Book *b = book();
    if (!b)
        return;
    title_.clear(); // a move's answer comes in its place
    Guard(u.er, QStringLiteral("Libro DAISY"), [&] {
        play(*b, phrase, into);
        Moved();
        u.feedback.OSD(said, false);
    });
}

void DaisyReading::follow()
{
    if (!title_.isEmpty())
        u.feedback.OSD(std::exchange(title_, QString()), false);
    const daisy::Book *b = book();
    if (!b || !b->hasAudio() || phrase_ < 0 || ended_ || voiceReading() || !u.player.running())
        return;
    IgnoreFailure([&] {
        oEkoPlayer &p = u.player.get();
        const QString playing = p.FileName();
        const bool sameFile = playing == audioPath(*b, phrase_);
        const double pos = p.CurrentPosition();
        // Another file in the player (a bookmark recalled) is followed at once;
        // a seek of ours, for a second at most.
        if (settling_ && sameFile && qAbs(pos - target_) > kSettled && ++settleTicks_ < kSettleTicks)
            return;
        settling_ = false;
        // A skip inside the file, or a bookmark recalled in another one, may
        // have left the run: the phrase is found again by what plays.
        const auto &all = b->phrases;
        if (!sameFile || pos < all[size_t(phrase_)].clipBegin || pos > all[size_t(runEnd_)].clipEnd) {
            const QString audio = sameFile ? all[size_t(phrase_)].audio : playing.section(QLatin1Char('/'), -1);
            const int found = b->phraseHolding(audio, pos);
            if (found < 0)
                return;
            phrase_ = found;
            runEnd_ = b->runEnd(found);
        }
        while (phrase_ < runEnd_ && pos >= all[size_t(phrase_ + 1)].clipBegin)
            ++phrase_;
        if (pos >= all[size_t(runEnd_)].clipEnd - kRunEndMargin && p.IsPlaying())
            playerState(8);
    });
}

void DaisyReading::playerState(qint32 mode)
{
    const daisy::Book *b = book();
    if (mode != 8 || !b || !b->hasAudio() || phrase_ < 0 || ended_ || voiceReading())
        return;
    Guard(u.er, QStringLiteral("Libro DAISY"), [&] {
        if (size_t(runEnd_ + 1) < b->phrases.size()) {
            play(*b, runEnd_ + 1);
            return;
        }
        ended_ = true;
        u.TimerDaisy.setEnabled(false);
        u.player.get().Stop_Player();
        reachedEnd(*b);
    });
}

// The end of the book, or of one of its volumes: the next volume, when it is
// beside it, is read on into; else the reader is told which one to open.
void DaisyReading::reachedEnd(const daisy::Book &b)
{
    if (b.volume < 1 || b.volume >= b.volumes) {
        u.feedback.OSD(kEnd, false);
        return;
    }
    const int next = b.volume + 1;
    const QString ended = QStringLiteral("Fine del volume %1 di %2").arg(b.volume).arg(b.volumes);
    const QString folder = u.books.nextVolume();
    if (folder.isEmpty()) {
        u.feedback.OSD(ended + QStringLiteral(": per continuare, aprire il volume %1 con Ctrl+O").arg(next), true);
        return;
    }
    // The book read so far is gone once the next volume is open.
    if (u.books.open(folder) && active())
        title_ = ended + QStringLiteral(". Volume %1: %2").arg(next).arg(u.books.title());
}

Result<Done> DaisyReading::skip(bool forward)
{
    const daisy::Book *b = book();
    if (!b || phrase_ < 0)
        return Done{};
    // Without audio there is no time to skip: a phrase at a time.
    if (!b->hasAudio()) {
        forward ? nextPhrase() : previousPhrase();
        return Done{};
    }
    const Result<double> length = conv::tryDouble(u.TextAvantiIndietro.text());
    if (!length)
        return length.failure();
    const double at = qBound(0.0, bookTime() + (forward ? *length : -*length), b->totalTime());
    const int phrase = b->phraseAt(at);
    if (phrase < 0) {
        u.feedback.OSD(forward ? kEnd : kStart, false);
        return Done{};
    }
    go(phrase, (forward ? QStringLiteral("AVANTI ") : QStringLiteral("INDIETRO ")) + clock(at),
       at - b->phrases[size_t(phrase)].start);
    return Done{};
}

void DaisyReading::goToPage()
{
    const daisy::Book *b = book();
    if (!b)
        return;
    const std::optional<QString> typed =
        u.dialogs.input(QStringLiteral("Vai alla pagina"), QStringLiteral("Numero della pagina:"), QString());
    if (!typed || typed->trimmed().isEmpty())
        return;
    const int pg = b->pageByLabel(*typed);
    if (pg < 0 || b->pages[size_t(pg)].target.phrase < 0)
        u.feedback.OSD(QStringLiteral("Pagina non trovata: ") + typed->simplified(), false);
    else
        go(b->pages[size_t(pg)].target.phrase, pageSaid(b->pages[size_t(pg)]));
}

double DaisyReading::typedTime(const QString &text)
{
    const QString t = text.trimmed();
    static const QRegularExpression clockForm(QStringLiteral("^(?:(\\d+):)?(\\d+):(\\d{1,2})$"));
    static const QRegularExpression minutesForm(QStringLiteral("^\\d+(?:[.,]\\d+)?$"));
    if (const QRegularExpressionMatch m = clockForm.match(t); m.hasMatch()) {
        if (m.captured(3).toInt() >= 60 || (!m.captured(1).isEmpty() && m.captured(2).toInt() >= 60))
            return -1;
        return m.captured(1).toInt() * 3600.0 + m.captured(2).toInt() * 60.0 + m.captured(3).toInt();
    }
    if (minutesForm.match(t).hasMatch())
        return QString(t).replace(QLatin1Char(','), QLatin1Char('.')).toDouble() * 60.0;
    return -1;
}

void DaisyReading::goToTime()
{
    const daisy::Book *b = book();
    if (!b)
        return;
    if (!b->hasAudio()) {
        u.feedback.OSD(QStringLiteral("Il libro non ha audio: non si può andare a un tempo"), false);
        return;
    }
    const std::optional<QString> typed = u.dialogs.input(
        QStringLiteral("Vai al tempo"), QStringLiteral("Tempo del libro (hh:mm:ss, mm:ss o minuti):"), QString());
    if (!typed || typed->trimmed().isEmpty())
        return;
    const double at = typedTime(*typed);
    if (at < 0) {
        u.feedback.OSD(QStringLiteral("Tempo non valido: ") + typed->simplified(), false);
        return;
    }
    const int phrase = at < b->totalTime() ? b->phraseAt(at) : -1;
    if (phrase < 0) {
        u.feedback.OSD(kEnd, false);
        return;
    }
    go(phrase, clock(at), at - b->phrases[size_t(phrase)].start);
}

void DaisyReading::goToPhrase(int phrase)
{
    const daisy::Book *b = book();
    if (b && phrase >= 0 && size_t(phrase) < b->phrases.size())
        go(phrase, QStringLiteral("Frase %1").arg(b->sentenceOf(phrase) + 1));
}

void DaisyReading::nextHeading()
{
    const daisy::Book *b = book();
    if (!b)
        return;
    const int h = b->nextHeading(phrase_, level_);
    if (h < 0 || b->headings[size_t(h)].target.phrase < 0)
        u.feedback.OSD(kEnd, false);
    else
        goToHeading(h);
}

void DaisyReading::previousHeading()
{
    const daisy::Book *b = book();
    if (!b)
        return;
    const int h = b->previousHeading(phrase_, level_);
    if (h < 0 || b->headings[size_t(h)].target.phrase < 0)
        u.feedback.OSD(kStart, false);
    else
        goToHeading(h);
}

void DaisyReading::goToHeading(int heading)
{
    const daisy::Book *b = book();
    if (!b || heading < 0 || size_t(heading) >= b->headings.size())
        return;
    const daisy::Heading &h = b->headings[size_t(heading)];
    if (h.target.phrase >= 0)
        go(h.target.phrase, h.text.simplified());
}

void DaisyReading::cycleLevel()
{
    const daisy::Book *b = book();
    if (!b)
        return;
    level_ = level_ >= b->depth() ? 0 : level_ + 1;
    u.feedback.OSD(level_ == 0 ? QStringLiteral("Tutti i livelli") : QStringLiteral("Livello %1").arg(level_), false);
}

// A page's marker, else the end or the start of the book said.
void DaisyReading::goToPageMark(int page, const QString &none)
{
    const daisy::Book *b = book();
    if (!b)
        return;
    if (page < 0 || b->pages[size_t(page)].target.phrase < 0)
        u.feedback.OSD(none, false);
    else
        go(b->pages[size_t(page)].target.phrase, pageSaid(b->pages[size_t(page)]));
}

void DaisyReading::nextPage()
{
    if (const daisy::Book *b = book())
        goToPageMark(b->nextPage(phrase_), kEnd);
}

void DaisyReading::previousPage()
{
    if (const daisy::Book *b = book())
        goToPageMark(b->previousPage(phrase_), kStart);
}

void DaisyReading::nextPhrase()
{
    const daisy::Book *b = book();
    if (!b)
        return;
    const int next = b->sentenceOf(phrase_) + 1;
    if (next >= b->sentences())
        u.feedback.OSD(kEnd, false);
    else
        go(b->sentenceStart(next), QStringLiteral("Frase %1").arg(next + 1));
}

void DaisyReading::previousPhrase()
{
    const daisy::Book *b = book();
    if (!b)
        return;
    const int sentence = b->sentenceOf(phrase_);
    if (sentence <= 0)
        u.feedback.OSD(kStart, false);
    else
        go(b->sentenceStart(sentence - 1), QStringLiteral("Frase %1").arg(sentence));
}

QString DaisyReading::headingText() const
{
    const daisy::Book *b = book();
    if (!b || phrase_ < 0)
        return QString();
    const int h = b->headingOf(phrase_);
    return h < 0 ? QString() : b->headings[size_t(h)].text.simplified();
}

QString DaisyReading::pageLabel() const
{
    const daisy::Book *b = book();
    if (!b || phrase_ < 0)
        return QString();
    const int pg = b->pageOf(phrase_);
    return pg < 0 ? QString() : b->pages[size_t(pg)].label.simplified();
}

QString DaisyReading::phraseName() const
{
    const daisy::Book *b = book();
    if (!b || phrase_ < 0)
        return QString();
    return b->phrases[size_t(phrase_)].name();
}

// The book's time: the phrase's start in the book and how far into its clip
// the audio is.
double DaisyReading::bookTime()
{
    const daisy::Book *b = book();
    if (!b || phrase_ < 0)
        return 0;
    // Read to the end: the whole book has been read.
    if (ended_)
        return b->totalTime();
    const daisy::Phrase &p = b->phrases[size_t(phrase_)];
    double into = 0;
    IgnoreFailure([&] {
        if (u.player.running() && u.player.get().FileName() == audioPath(*b, phrase_))
            into = qBound(0.0, u.player.get().CurrentPosition() - p.clipBegin, p.length());
    });
    return p.start + into;
}

void DaisyReading::whereAmI()
{
    const daisy::Book *b = book();
    if (!b)
        return;
    QStringList parts;
    const QString heading = headingText();
    if (!heading.isEmpty())
        parts << heading;
    const QString page = pageLabel();
    if (!page.isEmpty())
        parts << QStringLiteral("pagina ") + page;
    if (b->hasAudio())
        parts << clock(bookTime()) + QStringLiteral(" di ") + clock(b->totalTime());
    else
        parts << phraseCount(*b);
    u.feedback.OSD(parts.join(QStringLiteral(", ")), false);
}

bool DaisyReading::canSpeak() const { return u.speech && u.speech->available(); }

QString DaisyReading::phraseCount(const daisy::Book &b) const
{
    return QStringLiteral("frase %1 di %2").arg(b.sentenceOf(phrase_) + 1).arg(b.sentences());
}

bool DaisyReading::voiceReading() const
{
    const daisy::Book *b = book();
    return b && phrase_ >= 0 && size_t(phrase_) < b->phrases.size() && b->phrases[size_t(phrase_)].audio.isEmpty();
}

// The words of the phrase's element, from its text file read once for all
// its phrases.
QString DaisyReading::phraseText(const daisy::Book &b, int phrase)
{
    const daisy::Phrase &p = b.phrases[size_t(phrase)];
    if (!u.texts || p.textFile.isEmpty())
        return QString();
    const QString path = joinPath(u.books.folder(), p.textFile);
    if (path != textsPath_) {
        texts_ = u.texts->phraseTexts(path);
        textsPath_ = path;
    }
    return texts_.value(p.textFragment);
}

void DaisyReading::silence()
{
    if (voice_ != Voice::Silent && u.speech)
        u.speech->stop();
    voice_ = Voice::Silent;
}

void DaisyReading::speak(const daisy::Book &b, int phrase, bool evenIfOff)
{
    // The audio of a phrase before (a book of both) stops for the voice.
    IgnoreFailure([&] {
        if (u.player.running() && u.player.get().IsPlaying())
            u.player.get().Stop_Player();
    });
    silence();
    phrase_ = runEnd_ = phrase;
    ended_ = false;
    u.TimerDaisy.setEnabled(true); // the view follows the mark
    if (u.feedback.audioOff() && !evenIfOff)
        return; // the reading is off: the mark stands
    if (!canSpeak()) {
        if (!std::exchange(noVoiceSaid_, true))
            u.feedback.OSD(kNoVoice, false);
        return;
    }
    // Phrases without words (an element not found, a picture without a
    // description) are passed over, as a clip of no length would be.
    const int n = int(b.phrases.size());
    QString text = phraseText(b, phrase);
    while (text.isEmpty() && phrase + 1 < n && b.phrases[size_t(phrase + 1)].audio.isEmpty())
        text = phraseText(b, ++phrase);
    phrase_ = runEnd_ = phrase;
    if (text.isEmpty()) {
        play(b, phrase + 1, 0, true);
        return;
    }
    voice_ = Voice::Speaking;
    Voiced(text, b.phrases[size_t(phrase)].name());
    u.speech->phrase(text, b.language, u.feedback.PlayerRate());
}

// Said to its end: the next phrase follows, by the voice or the player.
void DaisyReading::voiceFinished()
{
    const daisy::Book *b = book();
    if (!b || voice_ != Voice::Speaking || ended_ || phrase_ < 0)
        return;
    Guard(u.er, QStringLiteral("Libro DAISY"), [&] {
        voice_ = Voice::Silent;
        play(*b, phrase_ + 1, 0, true);
    });
}

void DaisyReading::pauseVoice()
{
    const daisy::Book *b = book();
    if (!b || !voiceReading())
        return;
    if (!canSpeak()) {
        u.feedback.OSD(kNoVoice, false);
        return;
    }
    switch (voice_) {
    case Voice::Speaking:
        u.speech->pause();
        voice_ = Voice::Paused;
        u.feedback.OSD(QStringLiteral("PAUSA, ") + phraseCount(*b), true);
        return;
    case Voice::Paused:
        voice_ = Voice::Speaking;
        u.speech->resume();
        break;
    case Voice::Silent:
        if (ended_) {
            u.feedback.OSD(kEnd, false);
            return;
        }
        // Played as Ctrl+3 plays the audio, also with the reading off.
        speak(*b, phrase_, true);
        break;
    }
    u.feedback.OSD(QStringLiteral("PLAY, ") + phraseCount(*b), false);
}

void DaisyReading::stopVoice()
{
    const daisy::Book *b = book();
    if (!b || !voiceReading())
        return;
    silence();
    u.feedback.OSD(QStringLiteral("STOP, ") + phraseCount(*b), false);
}

void DaisyReading::readingSwitched()
{
    const daisy::Book *b = book();
    if (!b || !voiceReading() || ended_)
        return;
    if (u.feedback.audioOff())
        silence();
    else if (voice_ == Voice::Silent)
        speak(*b, phrase_);
}

QString DaisyReading::clock(double seconds) { return spokenTime(seconds); }

QString DaisyReading::headingLink(int heading) { return kLinkPrefix + QString::number(heading); }

int DaisyReading::headingOfLink(const QString &url)
{
    const int at = url.indexOf(kLinkPrefix);
    if (at < 0)
        return -1;
    bool ok = false;
    const int h = url.mid(at + kLinkPrefix.size()).toInt(&ok);
    return ok ? h : -1;
}

void DaisyReading::contents()
{
    if (active())
        PageAsked(QStringLiteral("contents"));
}

void DaisyReading::help()
{
    if (active())
        PageAsked(QStringLiteral("help"));
}

// The phrase a saved place names, else the one read at its time (a book
// replaced by another edition); into receives how far into it.
int DaisyReading::placeOf(const daisy::Book &b, const QString &name, double at, double &into) const
{
    int found = b.phraseNamed(name);
    const bool named = found >= 0;
    // A book of text alone has no time: its first phrase.
    if (found < 0)
        found = b.hasAudio() ? b.phraseAt(qBound(0.0, at, b.totalTime())) : (b.phrases.empty() ? -1 : 0);
    if (found >= 0) {
        // A time past the phrase named (its audio timed anew since) is not
        // kept: the end of its clip would already be the next phrase.
        const daisy::Phrase &p = b.phrases[size_t(found)];
        into = named && at > p.start + p.length() ? 0 : qBound(0.0, at - p.start, p.length());
    }
    return found;
}

void DaisyReading::recall(const QString &phrase, double at)
{
    const daisy::Book *b = book();
    if (!b)
        return;
    Guard(u.er, QStringLiteral("Segnalibro DAISY"), [&] {
        double into = 0;
        const int found = placeOf(*b, phrase, at, into);
        if (found < 0)
            return; // a book without phrases
        play(*b, found, into);
        Moved();
    });
}

QString DaisyReading::audioName() const
{
    const daisy::Book *b = book();
    if (!b || phrase_ < 0)
        return QString();
    return b->phrases[size_t(phrase_)].audio;
}

} // namespace qyr
