// The page's text for the screen reader on pages that are one huge line: a
// paragraph of many links, and one unbroken word of many megabytes (and, to
// compare, as many links in a paragraph each). For each, the time from the
// start to the text ready in the view (its links or its characters all
// there), to its last line laid out, and the longest time an event posted
// every 10 ms waited until then, as a key would; then the time Ctrl+End
// takes. Once through the web engine (the page loaded, walked and laid out
// as text; beside it, the same page in a bare web view), once on the text
// view alone. Prints figures; asserts nothing.
//
//   bench_pagetext [LINKS [MEGABYTES]]   (default 20000 and 10)
//   QYR_BENCH_LIMIT=SECONDS              a case not ready by then is reported and the run ends (default 300)
//   QYR_BENCH_ONLY=TEXT                  only the cases whose name holds TEXT
#include "platform/browser/pagetext.h"
#include "platform/browser/webbrowser.h"
#include "platform/files/diskfiles.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextLayout>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEngineView>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <thread>

using namespace qyr;

namespace {

QElapsedTimer clock_;
std::atomic<qint64> deadline_{-1}; // ms on clock_, -1: none
std::atomic<const char *> caseName_{""};

// The main thread may be stuck inside one call for minutes: the limit is
// kept from another thread.
void watchdog(qint64 limitMs)
{
    for (;;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const qint64 d = deadline_.load();
        if (d >= 0 && clock_.elapsed() > d) {
            std::printf("%-44s not ready after %lld s: the run ends here\n", caseName_.load(), limitMs / 1000);
            std::fflush(stdout);
            std::_Exit(0);
        }
    }
}

// Stamped events posted every 10 ms from a thread of their own, as keys
// arrive whatever the main thread is doing; the longest any of them waited.
class Probe : public QObject {
public:
    Probe()
        : poster_([this] {
              while (running_) {
                  QCoreApplication::postEvent(this, new Stamp(clock_.nsecsElapsed()));
                  std::this_thread::sleep_for(std::chrono::milliseconds(10));
              }
          })
    {
    }
    ~Probe() override
    {
        running_ = false;
        poster_.join();
        QCoreApplication::removePostedEvents(this);
    }
    qint64 maxWait = 0;

protected:
    void customEvent(QEvent *e) override
    {
        maxWait = std::max(maxWait, (clock_.nsecsElapsed() - static_cast<Stamp *>(e)->at) / 1000000);
    }

private:
    struct Stamp : QEvent {
        explicit Stamp(qint64 t) : QEvent(QEvent::User), at(t) {}
        qint64 at;
    };
    std::atomic<bool> running_{true};
    std::thread poster_;
};

struct Figures {
    qint64 ready = -1, readyWait = 0; // the text in the view, and the longest wait until then
    qint64 laidOut = -1, maxWait = 0; // its last line laid out, and the longest wait until then
    qint64 key = 0;                   // Ctrl+End then
};

std::optional<Figures> measure(const char *name, const std::function<PageTextView *()> &view, qint64 limitMs,
                               const std::function<void()> &start,
                               const std::function<bool()> &ready)
{
    if (!QString::fromUtf8(name).contains(qEnvironmentVariable("QYR_BENCH_ONLY")))
        return std::nullopt;
    caseName_ = name;
    Probe probe;
    QTimer tick;
    QEventLoop loop;
    Figures f;
    QElapsedTimer since;
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        QCoreApplication::sendPostedEvents(&probe);
        if (f.ready < 0 && ready()) {
            f.ready = since.elapsed();
            f.readyWait = probe.maxWait;
        }
        const QTextLayout *last = view()->document()->lastBlock().layout();
        if (f.ready < 0 || f.laidOut >= 0 || !last || last->lineCount() == 0)
            return;
        f.laidOut = since.elapsed();
        f.maxWait = probe.maxWait;
        QElapsedTimer k;
        k.start();
        QKeyEvent end(QEvent::KeyPress, Qt::Key_End, Qt::ControlModifier);
        QApplication::sendEvent(view(), &end);
        QCoreApplication::processEvents();
        f.key = k.elapsed();
        loop.quit();
    });
    tick.start(10);
    deadline_ = clock_.elapsed() + limitMs;
    since.start();
    QTimer::singleShot(0, &loop, start);
    loop.exec();
    deadline_ = -1;
    std::printf("%-44s ready %6lld ms (longest wait %6lld ms), laid out %6lld ms (longest wait %6lld ms); "
                "Ctrl+End %5lld ms\n",
                name, f.ready, f.readyWait, f.laidOut, f.maxWait, f.key);
    std::fflush(stdout);
    return f;
}

QString linksParagraph(int n, bool separate)
{
    QString html = QStringLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Collegamenti</title>"
                                  "</head><body>");
    html += separate ? QString() : QStringLiteral("<p>");
    for (int i = 0; i < n; ++i)
        html += separate ? QStringLiteral("<p><a href=\"p%1.htm\">voce %1</a></p>").arg(i)
                         : QStringLiteral("<a href=\"p%1.htm\">voce %1</a> ").arg(i);
    return html + (separate ? QString() : QStringLiteral("</p>")) + QStringLiteral("</body></html>");
}

PageTextContent linksContent(int n)
{
    PageTextContent c;
    PageTextBlock b;
    for (int i = 0; i < n; ++i) {
        b.runs.append({QStringLiteral("voce %1").arg(i), i});
        b.runs.append({QStringLiteral(" "), -1});
    }
    c.blocks.append(b);
    return c;
}

// A web view of its own, without the program's scripts: how long the engine
// itself takes over the page.
qint64 bareLoad(const QString &page)
{
    QWebEngineView bare;
    bare.resize(900, 700);
    bare.show();
    QEventLoop loop;
    QObject::connect(&bare, &QWebEngineView::loadFinished, &loop, &QEventLoop::quit);
    QElapsedTimer t;
    t.start();
    bare.load(QUrl::fromLocalFile(page));
    loop.exec();
    return t.elapsed();
}

void write(const QString &path, const QString &text)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(text.toUtf8()) < 0)
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
}

} // namespace

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (!qEnvironmentVariableIsSet("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox --disable-gpu");
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QApplication app(argc, argv);
    const int links = argc > 1 ? std::atoi(argv[1]) : 20000;
    const int megabytes = argc > 2 ? std::atoi(argv[2]) : 10;
    const qint64 limitMs = qEnvironmentVariableIntValue("QYR_BENCH_LIMIT") > 0
                               ? qEnvironmentVariableIntValue("QYR_BENCH_LIMIT") * 1000LL
                               : 300000;
    clock_.start();
    std::thread(watchdog, limitMs).detach();

    QTemporaryDir dir;
    const QString linksPage = dir.filePath(QStringLiteral("links.htm"));
    const QString paragraphsPage = dir.filePath(QStringLiteral("paragraphs.htm"));
    const QString wordPage = dir.filePath(QStringLiteral("word.htm"));
    const QString word(megabytes * 1000000, QLatin1Char('a'));
    write(linksPage, linksParagraph(links, false));
    write(paragraphsPage, linksParagraph(links, true));
    write(wordPage, QStringLiteral("<!DOCTYPE html><html><body><p>") + word + QStringLiteral("</p></body></html>"));

    QWidget window;
    window.resize(900, 700);
    auto *fill = new QVBoxLayout(&window);
    DiskFiles files;
    WebBrowser browser(files, &window);
    fill->addWidget(browser.widget());
    window.show();
    browser.setBookFolder(dir.path());
    // Each new page's text comes in the view not shown before.
    const auto text = [&browser] { return qobject_cast<PageTextView *>(browser.textView()); };
    qint64 loaded = -1;
    QElapsedTimer sinceLoad;
    browser.DocumentComplete.connect([&](const QString &) { loaded = sinceLoad.elapsed(); });
    std::printf("bench_pagetext: %d links, a word of %d MB\n", links, megabytes);

    const QByteArray linksName = QStringLiteral("engine: %1 links in one paragraph").arg(links).toUtf8();
    const QByteArray paragraphsName = QStringLiteral("engine: %1 links, a paragraph each").arg(links).toUtf8();
    const QByteArray wordName = QStringLiteral("engine: one word of %1 MB").arg(megabytes).toUtf8();
    const struct {
        const QByteArray &name;
        QString page;
        std::function<bool()> ready;
    } pages[] = {
        {paragraphsName, paragraphsPage, [&] { return text()->links().size() == links && links > 0; }},
        {linksName, linksPage, [&] { return text()->links().size() == links; }},
        {wordName, wordPage, [&] { return text()->document()->characterCount() > megabytes * 1000000; }},
    };
    for (const auto &p : pages) {
        // From a blank page, its empty text shown, each time.
        browser.navigate(QStringLiteral("about:blank"));
        QElapsedTimer blank;
        blank.start();
        while (blank.elapsed() < 5000 && text()->document()->characterCount() > 1)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        loaded = -1;
        if (!measure(
                p.name.constData(), text, limitMs,
                [&] {
                    sinceLoad.start();
                    browser.navigate(p.page);
                },
                p.ready))
            continue;
        std::printf("%-44s (its document-complete after %lld ms; a bare web view loads it in %lld ms)\n", "", loaded,
                    bareLoad(p.page));
    }

    // The view alone, from content already read, in a window of its own: the
    // part that is ours, which no answer of the engine can disturb.
    const PageTextContent many = linksContent(links);
    PageTextContent one;
    one.blocks.append(PageTextBlock{PageTextBlock::Paragraph, 0, 0, {}, {{word, -1}}});
    QWidget own;
    own.resize(window.size());
    PageTextView alone(&own);
    alone.resize(text()->size());
    own.show();
    measure(
        QStringLiteral("view alone: %1 links in one paragraph").arg(links).toUtf8().constData(), [&] { return &alone; },
        limitMs,
        [&] { alone.show(many, QStringLiteral("t"), true); }, [&] { return alone.links().size() == links; });
    alone.show(PageTextContent(), QString(), true);
    measure(
        QStringLiteral("view alone: one word of %1 MB").arg(megabytes).toUtf8().constData(), [&] { return &alone; },
        limitMs,
        [&] { alone.show(one, QStringLiteral("t"), true); },
        [&] { return alone.document()->characterCount() > megabytes * 1000000; });
    return 0;
}
