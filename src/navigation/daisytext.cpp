#include "daisytext.h"
#include "daisyreading.h"

#include "../books/books.h"
#include "../daisy/book.h"
#include "../platform/bookpath.h"
#include "../platform/browser.h"
#include "../platform/controls.h"
#include "../platform/daisy.h"
#include "../platform/files.h"
#include "../services/feedback.h"

#include <QDir>
#include <QRegularExpression>
#include <QUrl>
#include <utility>

namespace qyr {

namespace {

const QString kBlank = QStringLiteral("about:blank");

// Every heading, indented by its level, each a link that jumps to it.
QString contentsHtml(const daisy::Book &b, const QString &title)
{
    QString h = QStringLiteral("<h1>") + title.toHtmlEscaped() + QStringLiteral("</h1>");
    for (size_t i = 0; i < b.headings.size(); ++i) {
        const daisy::Heading &hd = b.headings[i];
        h += QStringLiteral("<p id='%1' style='margin-left:%2em'><a href='%3'>%4</a></p>")
                 .arg(DaisyText::headingId(int(i)))
                 .arg((hd.level - 1) * 2)
                 .arg(DaisyReading::headingLink(int(i)), hd.text.simplified().toHtmlEscaped());
    }
    return h;
}

// What is inside the <body> of a page, none when it has no body.
std::optional<QString> bodyOf(const QString &page)
{
    static const QRegularExpression body(QStringLiteral("<body[^>]*>(.*)</body>"),
                                         QRegularExpression::CaseInsensitiveOption |
                                             QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch m = body.match(page);
    if (!m.hasMatch())
        return std::nullopt;
    return m.captured(1);
}

} // namespace

QString DaisyText::headingId(int heading) { return QStringLiteral("qyr-titolo-%1").arg(heading); }

void DaisyText::moved()
{
    asked_ = false;
    started_ = true;
    // Once the reading has begun the window is named by the book, as a
    // screen reader says it on every switch back to the program.
    if (u.form.caption() != u.books.title())
        u.form.setCaption(u.books.title());
    const daisy::Book *b = u.books.daisyBook();
    hasText_ = b && b->hasText() && (b->format == daisy::Format::Daisy2 || u.daisy);
    // The view follows on the timer's next beat, once the audio is under way:
    // a page loading first held a large book's first audio back by about
    // 100 ms. A book with nothing to read has no beat.
    if (u.reading.phrase() < 0)
        follow();
}

void DaisyText::asked(const QString &page)
{
    const bool help = page == QLatin1String("help");
    if (help) {
        const Result<QByteArray> file = u.files.readFile(u.helpPage, 1024 * 1024);
        const std::optional<QString> body = bodyOf(file ? QString::fromUtf8(*file) : QString());
        if (!body) {
            u.feedback.OSD(QStringLiteral("Guida non disponibile"), false);
            return;
        }
        show(*body);
    } else {
        showContents();
    }
    u.feedback.OSD(help ? QStringLiteral("Guida") : QStringLiteral("Sommario"), false);
    asked_ = true;
    view_ = help ? View::Help : View::Contents;
    file_.clear();
    path_.clear();
    loading_ = false;
    marked_.reset();
    if (view_ == View::Help)
        mark(QString());
    else
        follow();
}

void DaisyText::follow()
{
    const daisy::Book *b = u.books.daisyBook();
    if (!b)
        return;
    const int phrase = u.reading.phrase();
    if (!asked_ && hasText_ && phrase >= 0) {
        const daisy::Phrase &p = b->phrases[size_t(phrase)];
        // A phrase without text of its own leaves the text where it is.
        if (!p.textFile.isEmpty()) {
            if (view_ != View::Text || path_ != joinPath(u.books.folder(), p.textFile))
                showText(p.textFile);
            mark(p.textFragment);
        }
        if (view_ == View::Text)
            return;
    }
    if (asked_ && view_ != View::Contents)
        return;
    if (view_ != View::Contents) {
        showContents();
        view_ = View::Contents;
        marked_.reset();
    }
    const int heading = phrase < 0 ? -1 : b->headingOf(phrase);
    mark(heading < 0 ? QString() : headingId(heading));
}

// Each heading's line has the id headingId() gives.
void DaisyText::showContents()
{
    if (const daisy::Book *b = u.books.daisyBook())
        show(contentsHtml(*b, u.books.title()));
}

// A DAISY 2.02 text is a page of the book, loaded as any; a DAISY 3 text is
// written over a blank page, made into HTML.
void DaisyText::showText(const QString &file)
{
    const QString path = joinPath(u.books.folder(), file);
    marked_.reset();
    if (u.books.daisyBook()->format == daisy::Format::Daisy2) {
        view_ = View::Text;
        file_ = file;
        path_ = path;
        loading_ = true;
        pending_.reset(); // the blank page, if one is still coming, is not wanted
        u.browser.navigate(path);
        return;
    }
    if (convertedPath_ != path) {
        converted_ = u.daisy->textAsHtml(path).value_or(QString());
        convertedPath_ = path;
    }
    // Read from its start, as any page, once written.
    show(converted_, true);
    view_ = View::Text;
    file_ = file;
    path_ = path;
}

void DaisyText::show(const QString &bodyHtml, bool focus)
{
    pending_ = bodyHtml;
    focusPending_ = focus;
    if (u.browser.locationURL() == kBlank && u.browser.hasDocument())
        writeBody();
    else
        u.browser.navigate(kBlank); // written when its document-complete comes (pageLoaded)
}

void DaisyText::writeBody()
{
    if (!pending_)
        return;
    const QString body = *std::exchange(pending_, std::nullopt);
    if (u.browser.hasDocument())
        u.browser.setBodyHtml(body);
    if (std::exchange(focusPending_, false))
        u.browser.focusDocument();
}

void DaisyText::mark(const QString &id)
{
    if (marked_ == id)
        return;
    marked_ = id;
    u.browser.highlight(id);
}

void DaisyText::beforeNavigate(const QString &url, bool &cancel)
{
    const daisy::Book *b = u.books.daisyBook();
    const QUrl to(url);
    if (!cancel && b && b->format == daisy::Format::Epub3 && isFileAddress(url)) {
        // A link of an EPUB's text to one of its files moves the reading
        // there; a file out of the book is left to the rule for the book's files.
        const QString folder = QDir::fromNativeSeparators(u.books.folder()) + QLatin1Char('/');
        const QString path = QDir::fromNativeSeparators(pathFromAddress(to.adjusted(QUrl::RemoveFragment).toString()));
        if (!path.startsWith(folder, Qt::CaseInsensitive))
            return;
        cancel = true;
        const int phrase = b->phraseOfText(path.mid(folder.size()), to.fragment());
        if (phrase >= 0)
            u.reading.goToPhrase(phrase);
        else
            u.feedback.OSD(QStringLiteral("Il collegamento porta a una parte del libro fuori dalla lettura"), false);
        return;
    }
    const QString file = to.path().section(QLatin1Char('/'), -1);
    if (cancel || !b || !file.endsWith(QLatin1String(".smil"), Qt::CaseInsensitive))
        return;
    cancel = true;
    u.reading.goToPhrase(b->phraseOfLink(file, to.fragment()));
}

// Another book: no mark of the last one is carried onto its pages.
void DaisyText::reset()
{
    if (marked_ && !marked_->isEmpty())
        u.browser.highlight(QString());
    marked_.reset();
    pending_.reset();
    focusPending_ = false;
    view_ = View::None;
    asked_ = loading_ = started_ = false;
}

bool DaisyText::pageLoaded(const QString &url)
{
    if (!u.books.daisyBook()) {
        reset();
        return false;
    }
    // The blank page asked for: the body waiting for it is written now.
    if (url == kBlank && pending_) {
        writeBody();
        return started_;
    }
    // The text shown here, loaded or jumped in by one of its own links.
    if (!path_.isEmpty() && isFileAddress(url) &&
        QDir::fromNativeSeparators(pathFromAddress(url)).compare(QDir::fromNativeSeparators(path_), Qt::CaseInsensitive) == 0) {
        view_ = View::Text;
        // A new text is read from its start, as any page.
        if (std::exchange(loading_, false))
            u.browser.focusDocument();
        return true;
    }
    // Someone else's page: the view is shown anew at the next beat.
    if (!asked_)
        view_ = View::None;
    // The blank page the contents, the help or a DAISY 3 text are written
    // over, once the reading has begun: not a page with audio of its own.
    return started_ && url == kBlank;
}

QString DaisyText::shown() const
{
    switch (view_) {
    case View::Text: return file_;
    case View::Contents: return QStringLiteral("contents");
    case View::Help: return QStringLiteral("help");
    case View::None: break;
    }
    return QString();
}

} // namespace qyr
