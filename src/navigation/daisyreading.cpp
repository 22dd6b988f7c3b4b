#include "daisyreading.h"

#include "../books/books.h"
#include "../daisy/book.h"
#include "../services/feedback.h"
#include "../platform/bookpath.h"
#include "../platform/convert.h"
#include "../platform/browser.h"
#include "../platform/dialogs.h"
#include "../platform/files.h"
#include "../platform/errorreport.h"
#include "../platform/pump.h"
#include "../services/playerslot.h"

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

QString escaped(const QString &text) { return text.toHtmlEscaped(); }

} // namespace

bool DaisyReading::active() const { return u.books.daisyBook() != nullptr; }

const daisy::Book &DaisyReading::book() const
{
    const daisy::Book *b = u.books.daisyBook();
    if (!b)
        throw QyrError(err::ObjectNotSet);
    return *b;
}

QString DaisyReading::formatName() const
{
    const daisy::Book *b = u.books.daisyBook();
    if (!b)
        return QString();
    return b->format == daisy::Format::Daisy2 ? QStringLiteral("daisy2") : QStringLiteral("daisy3");
}

QString DaisyReading::audioPath(int phrase) const
{
    return joinPath(u.books.folder(), book().phrases[size_t(phrase)].audio);
}

void DaisyReading::start(const QString &place, double at)
{
    Guard(u.er, QStringLiteral("Apertura del libro DAISY"), [&] {
        const daisy::Book &b = book();
        phrase_ = -1;
        level_ = 0;
        ended_ = false;
        // The reading starts first; the text is shown while it plays.
        double into = 0;
        const int from = placeOf(place, at, into);
        if (from >= 0)
            play(from, into);
        Moved();
        // The title is said on the timer's first beat, the audio under way:
        // the first message shown took some 75 ms, which held the audio back.
        if (b.phrases.empty())
            u.feedback.OSD(QStringLiteral("Il libro non ha frasi da leggere"), false);
        else
            title_ = u.books.title();
        // What is missing is said once, and the reading goes on without it.
        if (!b.problems.isEmpty())
            u.er.ShowError(QStringLiteral("Libro DAISY"), b.problems.join(QLatin1Char('\n')));
    });
}

// Plays from the phrase's clip (and `into` it); a phrase without audio
// passes to the next one that has some.
void DaisyReading::play(int phrase, double into)
{
    const daisy::Book &b = book();
    const int n = int(b.phrases.size());
    while (phrase < n && b.phrases[size_t(phrase)].audio.isEmpty())
        ++phrase;
    if (phrase >= n) {
        ended_ = true;
        u.feedback.OSD(kEnd, false);
        return;
    }
    phrase_ = phrase;
    runEnd_ = b.runEnd(phrase);
    ended_ = false;
    oEkoPlayer &p = u.player.get();
    const QString path = audioPath(phrase);
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
    title_.clear(); // a move's answer comes in its place
    Guard(u.er, QStringLiteral("Libro DAISY"), [&] {
        play(phrase, into);
        Moved();
        u.feedback.OSD(said, false);
    });
}

void DaisyReading::follow()
{
    if (!title_.isEmpty())
        u.feedback.OSD(std::exchange(title_, QString()), false);
    if (!active() || phrase_ < 0 || ended_ || !u.player.running())
        return;
    IgnoreFailure([&] {
        const daisy::Book &b = book();
        oEkoPlayer &p = u.player.get();
        const QString playing = p.FileName();
        const bool sameFile = playing == audioPath(phrase_);
        const double pos = p.CurrentPosition();
        // Another file in the player (a bookmark recalled) is followed at once;
        // a seek of ours, for a second at most.
        if (settling_ && sameFile && qAbs(pos - target_) > kSettled && ++settleTicks_ < kSettleTicks)
            return;
        settling_ = false;
        // A skip inside the file, or a bookmark recalled in another one, may
        // have left the run: the phrase is found again by what plays.
        if (!sameFile || pos < b.phrases[size_t(phrase_)].clipBegin || pos > b.phrases[size_t(runEnd_)].clipEnd) {
            const QString audio = sameFile ? b.phrases[size_t(phrase_)].audio : playing.section(QLatin1Char('/'), -1);
            const int found = phraseHolding(audio, pos);
            if (found < 0)
                return;
            phrase_ = found;
            runEnd_ = b.runEnd(found);
        }
        while (phrase_ < runEnd_ && pos >= b.phrases[size_t(phrase_ + 1)].clipBegin)
            ++phrase_;
        if (pos >= b.phrases[size_t(runEnd_)].clipEnd - kRunEndMargin && p.IsPlaying())
            playerState(8);
    });
}

void DaisyReading::playerState(qint32 mode)
{
    if (mode != 8 || !active() || phrase_ < 0 || ended_)
        return;
    Guard(u.er, QStringLiteral("Libro DAISY"), [&] {
        if (size_t(runEnd_ + 1) < book().phrases.size()) {
            play(runEnd_ + 1);
            return;
        }
        ended_ = true;
        u.TimerDaisy.setEnabled(false);
        u.player.get().Stop_Player();
        u.feedback.OSD(kEnd, false);
    });
}

int DaisyReading::phraseHolding(const QString &audio, double position) const
{
    const auto &all = book().phrases;
    for (size_t i = 0; i < all.size(); ++i)
        if (all[i].audio.compare(audio, Qt::CaseInsensitive) == 0 && all[i].clipBegin <= position &&
            position < all[i].clipEnd)
            return int(i);
    return -1;
}

void DaisyReading::skip(bool forward)
{
    if (phrase_ < 0)
        return;
    const daisy::Book &b = book();
    const double length = conv::toDouble(u.TextAvantiIndietro.text());
    const double at = qBound(0.0, bookTime() + (forward ? length : -length), b.totalTime());
    const int phrase = b.phraseAt(at);
    if (phrase < 0) {
        u.feedback.OSD(forward ? kEnd : kStart, false);
        return;
    }
    go(phrase, (forward ? QStringLiteral("AVANTI ") : QStringLiteral("INDIETRO ")) + clock(at),
       at - b.phrases[size_t(phrase)].start);
}

void DaisyReading::goToPage()
{
    const std::optional<QString> typed =
        u.dialogs.input(QStringLiteral("Vai alla pagina"), QStringLiteral("Numero della pagina:"), QString());
    if (!typed || typed->trimmed().isEmpty())
        return;
    const int pg = book().pageByLabel(*typed);
    if (pg < 0 || book().pages[size_t(pg)].target.phrase < 0)
        u.feedback.OSD(QStringLiteral("Pagina non trovata: ") + typed->simplified(), false);
    else
        go(book().pages[size_t(pg)].target.phrase, QStringLiteral("Pagina ") + book().pages[size_t(pg)].label);
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
    const std::optional<QString> typed = u.dialogs.input(
        QStringLiteral("Vai al tempo"), QStringLiteral("Tempo del libro (hh:mm:ss, mm:ss o minuti):"), QString());
    if (!typed || typed->trimmed().isEmpty())
        return;
    const double at = typedTime(*typed);
    const daisy::Book &b = book();
    if (at < 0) {
        u.feedback.OSD(QStringLiteral("Tempo non valido: ") + typed->simplified(), false);
        return;
    }
    const int phrase = at < b.totalTime() ? b.phraseAt(at) : -1;
    if (phrase < 0) {
        u.feedback.OSD(kEnd, false);
        return;
    }
    go(phrase, clock(at), at - b.phrases[size_t(phrase)].start);
}

void DaisyReading::goToPhrase(int phrase)
{
    if (phrase >= 0 && size_t(phrase) < book().phrases.size())
        go(phrase, QStringLiteral("Frase %1").arg(phrase + 1));
}

void DaisyReading::nextHeading()
{
    const int h = book().nextHeading(phrase_, level_);
    if (h < 0 || book().headings[size_t(h)].target.phrase < 0)
        u.feedback.OSD(kEnd, false);
    else
        goToHeading(h);
}

void DaisyReading::previousHeading()
{
    const int h = book().previousHeading(phrase_, level_);
    if (h < 0 || book().headings[size_t(h)].target.phrase < 0)
        u.feedback.OSD(kStart, false);
    else
        goToHeading(h);
}

void DaisyReading::goToHeading(int heading)
{
    const daisy::Heading &h = book().headings[size_t(heading)];
    if (h.target.phrase >= 0)
        go(h.target.phrase, h.text.simplified());
}

void DaisyReading::cycleLevel()
{
    level_ = level_ >= book().depth() ? 0 : level_ + 1;
    u.feedback.OSD(level_ == 0 ? QStringLiteral("Tutti i livelli") : QStringLiteral("Livello %1").arg(level_), false);
}

void DaisyReading::nextPage()
{
    const int pg = book().nextPage(phrase_);
    if (pg < 0 || book().pages[size_t(pg)].target.phrase < 0)
        u.feedback.OSD(kEnd, false);
    else
        go(book().pages[size_t(pg)].target.phrase, QStringLiteral("Pagina ") + book().pages[size_t(pg)].label);
}

void DaisyReading::previousPage()
{
    const int pg = book().previousPage(phrase_);
    if (pg < 0 || book().pages[size_t(pg)].target.phrase < 0)
        u.feedback.OSD(kStart, false);
    else
        go(book().pages[size_t(pg)].target.phrase, QStringLiteral("Pagina ") + book().pages[size_t(pg)].label);
}

void DaisyReading::nextPhrase()
{
    if (size_t(phrase_ + 1) >= book().phrases.size())
        u.feedback.OSD(kEnd, false);
    else
        go(phrase_ + 1, QStringLiteral("Frase %1").arg(phrase_ + 2));
}

void DaisyReading::previousPhrase()
{
    if (phrase_ <= 0)
        u.feedback.OSD(kStart, false);
    else
        go(phrase_ - 1, QStringLiteral("Frase %1").arg(phrase_));
}

QString DaisyReading::headingText() const
{
    if (!active() || phrase_ < 0)
        return QString();
    const int h = book().headingOf(phrase_);
    return h < 0 ? QString() : book().headings[size_t(h)].text.simplified();
}

QString DaisyReading::pageLabel() const
{
    if (!active() || phrase_ < 0)
        return QString();
    const int pg = book().pageOf(phrase_);
    return pg < 0 ? QString() : book().pages[size_t(pg)].label.simplified();
}

QString DaisyReading::phraseName() const
{
    if (!active() || phrase_ < 0)
        return QString();
    const daisy::Phrase &p = book().phrases[size_t(phrase_)];
    return p.smil + QLatin1Char('#') + p.id;
}

// The book's time: the phrase's start in the book and how far into its clip
// the audio is.
double DaisyReading::bookTime()
{
    if (!active() || phrase_ < 0)
        return 0;
    const daisy::Phrase &p = book().phrases[size_t(phrase_)];
    double into = 0;
    IgnoreFailure([&] {
        if (u.player.running() && u.player.get().FileName() == audioPath(phrase_))
            into = qBound(0.0, u.player.get().CurrentPosition() - p.clipBegin, p.length());
    });
    return p.start + into;
}

void DaisyReading::whereAmI()
{
    QStringList parts;
    const QString heading = headingText();
    if (!heading.isEmpty())
        parts << heading;
    const QString page = pageLabel();
    if (!page.isEmpty())
        parts << QStringLiteral("pagina ") + page;
    parts << clock(bookTime()) + QStringLiteral(" di ") + clock(book().totalTime());
    u.feedback.OSD(parts.join(QStringLiteral(", ")), false);
}

QString DaisyReading::clock(double seconds)
{
    const qint64 s = qint64(seconds < 0 ? 0 : seconds);
    const QString mmss = QStringLiteral("%1:%2").arg((s / 60) % 60, 2, 10, QLatin1Char('0')).arg(s % 60, 2, 10, QLatin1Char('0'));
    return s >= 3600 ? QStringLiteral("%1:").arg(s / 3600, 2, 10, QLatin1Char('0')) + mmss : mmss;
}

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

// Every heading, indented by its level, each a link that jumps to it.
QString DaisyReading::contentsHtml() const
{
    const daisy::Book &b = book();
    const QString title = escaped(u.books.title());
    QString h = QStringLiteral("<h1>") + title + QStringLiteral("</h1>");
    for (size_t i = 0; i < b.headings.size(); ++i) {
        const daisy::Heading &hd = b.headings[i];
        h += QStringLiteral("<p id='%1' style='margin-left:%2em'><a href='%3'>%4</a></p>")
                 .arg(headingId(int(i)))
                 .arg((hd.level - 1) * 2)
                 .arg(headingLink(int(i)), escaped(hd.text.simplified()));
    }
    return h;
}

QString DaisyReading::headingId(int heading) { return QStringLiteral("qyr-titolo-%1").arg(heading); }

void DaisyReading::showContents() { show(contentsHtml()); }

void DaisyReading::contents()
{
    showContents();
    PageAsked(QStringLiteral("contents"));
}

void DaisyReading::help()
{
    static const QRegularExpression body(QStringLiteral("<body[^>]*>(.*)</body>"),
                                         QRegularExpression::CaseInsensitiveOption |
                                             QRegularExpression::DotMatchesEverythingOption);
    const Result<QByteArray> page = u.files.readFile(u.helpPage, 1024 * 1024);
    const QRegularExpressionMatch m = body.match(page ? QString::fromUtf8(*page) : QString());
    if (!m.hasMatch()) {
        u.feedback.OSD(QStringLiteral("Guida non disponibile"), false);
        return;
    }
    show(m.captured(1));
    PageAsked(QStringLiteral("help"));
}

// Shown on a blank page, once it has loaded (waiting three seconds at most);
// the blank page already shown is written over as it is.
void DaisyReading::show(const QString &bodyHtml)
{
    const QString blank = QStringLiteral("about:blank");
    if (u.browser.locationURL() != blank || !u.browser.hasDocument()) {
        u.browser.navigate(blank);
        for (int waited = 0; u.browser.readyState() != 4 && waited < 300; ++waited) {
            u.pump.sleep(10);
            u.pump.processEvents();
        }
    }
    if (u.browser.hasDocument())
        u.browser.setBodyHtml(bodyHtml);
}

int DaisyReading::phraseNamed(const QString &name) const
{
    const auto &all = book().phrases;
    for (size_t i = 0; !name.isEmpty() && i < all.size(); ++i)
        if (all[i].smil.size() + 1 + all[i].id.size() == name.size() && name.startsWith(all[i].smil) &&
            name.endsWith(all[i].id) && name.at(all[i].smil.size()) == QLatin1Char('#'))
            return int(i);
    return -1;
}

// The phrase a saved place names, else the one read at its time (a book
// replaced by another edition); into receives how far into it.
int DaisyReading::placeOf(const QString &name, double at, double &into) const
{
    const daisy::Book &b = book();
    int found = phraseNamed(name);
    if (found < 0)
        found = b.phraseAt(qBound(0.0, at, b.totalTime()));
    if (found >= 0) {
        const daisy::Phrase &p = b.phrases[size_t(found)];
        into = qBound(0.0, at - p.start, p.length());
    }
    return found;
}

void DaisyReading::recall(const QString &phrase, double at)
{
    Guard(u.er, QStringLiteral("Segnalibro DAISY"), [&] {
        double into = 0;
        const int found = placeOf(phrase, at, into);
        if (found < 0)
            return; // a book without phrases
        play(found, into);
        Moved();
    });
}

QString DaisyReading::audioName() const
{
    if (!active() || phrase_ < 0)
        return QString();
    return book().phrases[size_t(phrase_)].audio;
}

} // namespace qyr
