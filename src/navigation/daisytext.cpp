#include "daisytext.h"
#include "daisyreading.h"

#include "../books/books.h"
#include "../daisy/book.h"
#include "../platform/bookpath.h"
#include "../platform/browser.h"
#include "../platform/daisy.h"

#include <QUrl>
#include <utility>

namespace qyr {

void DaisyText::moved()
{
    asked_ = false;
    started_ = true;
    hasText_ = false;
    if (const daisy::Book *b = u.books.daisyBook())
        for (const daisy::Phrase &p : b->phrases)
            if (!p.textFile.isEmpty()) {
                hasText_ = b->format == daisy::Format::Daisy2 || u.daisy;
                break;
            }
    // The view follows on the timer's next beat, once the audio is under way:
    // a page loading first held a large book's first audio back by about
    // 100 ms. A book with nothing to read has no beat.
    if (u.reading.phrase() < 0)
        follow();
}

void DaisyText::asked(const QString &page)
{
    asked_ = true;
    view_ = page == QLatin1String("help") ? View::Help : View::Contents;
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
        u.reading.showContents();
        view_ = View::Contents;
        marked_.reset();
    }
    const int heading = phrase < 0 ? -1 : b->headingOf(phrase);
    mark(heading < 0 ? QString() : DaisyReading::headingId(heading));
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
        u.browser.navigate(path);
        return;
    }
    if (convertedPath_ != path) {
        converted_ = u.daisy->textAsHtml(path).value_or(QString());
        convertedPath_ = path;
    }
    u.reading.show(converted_);
    view_ = View::Text;
    file_ = file;
    path_ = path;
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
    const QString file = to.path().section(QLatin1Char('/'), -1);
    if (cancel || !b || !file.endsWith(QLatin1String(".smil"), Qt::CaseInsensitive))
        return;
    cancel = true;
    int phrase = -1;
    for (size_t i = 0; i < b->phrases.size(); ++i) {
        const daisy::Phrase &p = b->phrases[i];
        if (p.smil.section(QLatin1Char('/'), -1).compare(file, Qt::CaseInsensitive) != 0)
            continue;
        if (phrase < 0 || p.id == to.fragment()) {
            phrase = int(i);
            if (p.id == to.fragment())
                break;
        }
    }
    u.reading.goToPhrase(phrase);
}

bool DaisyText::pageLoaded(const QString &url)
{
    if (!u.books.daisyBook()) {
        // Another book: no mark of the last one is carried onto its pages.
        if (marked_ && !marked_->isEmpty())
            u.browser.highlight(QString());
        marked_.reset();
        view_ = View::None;
        asked_ = loading_ = started_ = false;
        return false;
    }
    // The text shown here, loaded or jumped in by one of its own links.
    const QUrl loaded(url);
    if (!path_.isEmpty() && loaded.isLocalFile() && loaded.toLocalFile().compare(path_, Qt::CaseInsensitive) == 0) {
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
    return started_ && url == QLatin1String("about:blank");
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
