#include "webbrowser.h"
#include "pagetext.h"
#include "../bookpath.h"
#include "../dialogs.h"
#include "../files.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMimeDatabase>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QEvent>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebChannel>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <QWebEngineUrlSchemeHandler>
#include <QWebEngineView>
#include <memory>
#include <utility>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <csignal>
#include <sys/types.h>
#endif

namespace qyr {

namespace {
// Our scripts run in their own world: the page's scripts cannot see or
// imitate the bridge, while the document itself is shared.
constexpr quint32 kWorld = QWebEngineScript::ApplicationWorld;
// How long a load may wait before the page is asked whether it still
// answers, and how long it has to answer.
constexpr int kPatienceMs = 2000;

// The path as the disk knows it: links followed, "." and ".." gone. A file
// that is not there (a missing page) is placed in its folder's real path.
QString realPath(const QString &path)
{
    const QFileInfo info(path);
    const QString real = info.canonicalFilePath();
    if (!real.isEmpty())
        return real;
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    return folder.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : folder + QLatin1Char('/') + info.fileName();
}

QString jsString(const QString &text)
{
    // A one-element JSON array is a safe script literal for any text.
    const QString a = QString::fromUtf8(QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact));
    return a.mid(1, a.size() - 2);
}

// Catches every link activation (a click, or Enter on a focused link, which
// the engine turns into a click) once the page's own handlers have had their
// say, and hands the resolved address to the program instead of following it.
const char *kLinkScript = R"JS(
(function () {
  if (window.__qyrLinks) return;
  window.__qyrLinks = true;
  // The form fields as they are now: the page's scripts may have changed
  // them since it loaded (the dictionary's video name).
  function fields() {
    var out = {}, all = document.querySelectorAll('input,select,textarea,output');
    for (var i = 0; i < all.length; i++) {
      var e = all[i], keys = [e.getAttribute('name') || '', e.id || ''];
      for (var k = 0; k < 2; k++)
        if (keys[k] && !Object.prototype.hasOwnProperty.call(out, keys[k])) out[keys[k]] = String(e.value);
    }
    return out;
  }
  if (window.top !== window) {
    // A frame: its links to other documents reach the program as the
    // engine's navigation requests; a jump inside its own document is handed
    // to the page above, which holds the bridge. The frame's address is put
    // back, so that the same anchor is reported again next time.
    // Only the engine's own anchor changes count: a page script can make up
    // an event with any address in it.
    window.addEventListener('hashchange', function (ev) {
      if (!ev.isTrusted) return;
      window.top.postMessage({ qyrFrameAnchor: String(location.href), qyrFields: fields() }, '*');
      history.replaceState(history.state, '', ev.oldURL);
    }, false);
    return;
  }
  var bridge = null, pending = [];
  function send(href) { if (bridge) bridge.activate(href, fields()); else pending.push([href, fields()]); }
  new QWebChannel(qt.webChannelTransport, function (channel) {
    bridge = channel.objects.qyrLinks;
    for (var i = 0; i < pending.length; i++) bridge.activate(pending[i][0], pending[i][1]);
    pending = [];
  });
  window.addEventListener('message', function (ev) {
    var d = ev.data;
    if (bridge && d && typeof d === 'object' && typeof d.qyrFrameAnchor === 'string')
      bridge.frameAnchor(d.qyrFrameAnchor, (d.qyrFields && typeof d.qyrFields === 'object') ? d.qyrFields : {});
  }, false);
  // An anchor set by a page script (location.href = '#QYRP_PAUSE#') is a
  // navigation too; the program's own jumps are marked and left out.
  window.addEventListener('hashchange', function (ev) {
    if (!ev.isTrusted) return;
    if (window.__qyrOwnHash !== undefined && location.hash === window.__qyrOwnHash) {
      window.__qyrOwnHash = undefined;
      return;
    }
    if (bridge) bridge.hashSet(String(location.href), String(ev.oldURL), fields());
  }, false);
  document.addEventListener('qyr-window-close', function () { if (bridge) bridge.closeWindow(); }, false);
  // A page that changes its own words once loaded has its text read anew:
  // 250 ms after the last change, and at most a second after the first one
  // not yet read, so that a page that never rests is read all the same.
  var changed = null, firstChange = 0;
  new MutationObserver(function (records) {
    if (!window.__qyrLoaded || !bridge || !document.body) return;
    for (var i = 0; i < records.length; i++) {
      if (document.body.contains(records[i].target)) {
        var now = Date.now();
        if (changed === null) firstChange = now;
        clearTimeout(changed);
        changed = setTimeout(function () { changed = null; bridge.pageChanged(); },
                             Math.max(0, Math.min(250, firstChange + 1000 - now)));
        return;
      }
    }
  }).observe(document, { childList: true, subtree: true, characterData: true });
  window.addEventListener('click', function (ev) {
    if (ev.defaultPrevented || ev.button !== 0) return;
    var path = ev.composedPath ? ev.composedPath() : [ev.target];
    for (var i = 0; i < path.length; i++) {
      var n = path[i];
      if (n.tagName && (n.tagName === 'A' || n.tagName === 'AREA') && n.hasAttribute('href')) {
        ev.preventDefault();
        send(String(n.href));
        return;
      }
    }
  }, false);
})();
)JS";

// The engine ignores window.close() from a page it did not open by script;
// the page's own world asks the program instead.
const char *kCloseScript = R"JS(
(function () {
  try {
    window.close = function () { document.dispatchEvent(new CustomEvent('qyr-window-close')); };
  } catch (e) {}
})();
)JS";

// Every element with a name or an id: what the logic reads of a page.
const char *kSnapshotScript = R"JS(
(function () {
  var out = [];
  var all = document.querySelectorAll('[name],[id]');
  for (var i = 0; i < all.length; i++) {
    var e = all[i];
    out.push({ name: e.getAttribute('name') || '', id: e.id || '',
               content: e.getAttribute('content') || '', hasContent: ('content' in e),
               href: e.href ? String(e.href) : '',
               value: (e.value !== undefined && e.value !== null) ? String(e.value) : '' });
  }
  window.__qyrLoaded = true;
  // One string: a page of many named elements handed over as objects took
  // the engine seconds to convert.
  return JSON.stringify({ elements: out, sheets: document.styleSheets.length });
})()
)JS";

// Marks the part of the page the text caret is in, and scrolls to it.
const char *kMarkPlaceScript = R"JS(
(function (n) {
  var places = window.__qyrTextPlaces || [], el = places[n];
  var old = document.querySelector('[data-qyr-lettura]');
  if (old) old.removeAttribute('data-qyr-lettura');
  if (!el || el === document.body) return;
  if (!document.getElementById('qyr-lettura-stile')) {
    var s = document.createElement('style');
    s.id = 'qyr-lettura-stile';
    s.textContent = '[data-qyr-lettura]{outline:2px dashed #c60;outline-offset:2px}';
    (document.head || document.documentElement).appendChild(s);
  }
  el.setAttribute('data-qyr-lettura', '');
  el.scrollIntoView({ block: 'center' });
})(%1);
)JS";
// Marks the phrase being read: black on yellow with a black outline, over
// whatever the book's own style says, and scrolled to the middle of the view.
// Only attributes change: the page's text for the screen reader is not read
// anew, and neither the focus nor the caret moves.
const char *kHighlightScript = R"JS(
(function (id) {
  var old = document.querySelectorAll('[data-qyr-frase]');
  for (var i = 0; i < old.length; i++) old[i].removeAttribute('data-qyr-frase');
  var el = id ? document.getElementById(id) : null;
  if (!el) return '';
  if (!document.getElementById('qyr-frase-stile')) {
    var s = document.createElement('style');
    s.id = 'qyr-frase-stile';
    s.textContent = '[data-qyr-frase],[data-qyr-frase] *{background:#ff0 !important;color:#000 !important}' +
      '[data-qyr-frase]{outline:3px solid #000 !important;outline-offset:2px !important}';
    (document.head || document.documentElement).appendChild(s);
  }
  el.setAttribute('data-qyr-frase', '');
  el.scrollIntoView({ block: 'center' });
  return id;
})(%1)
)JS";
} // namespace

// The page side of the link script.
class LinkBridge : public QObject {
    Q_OBJECT
public:
    explicit LinkBridge(WebBrowser &owner) : owner_(owner) {}
    Q_INVOKABLE void activate(const QString &href, const QVariantMap &fields)
    {
        owner_.takeFields(fields);
        owner_.linkActivated(href);
    }
    Q_INVOKABLE void hashSet(const QString &to, const QString &from, const QVariantMap &fields)
    {
        owner_.takeFields(fields);
        owner_.anchorSetByPage(to, from);
    }
    Q_INVOKABLE void frameAnchor(const QString &to, const QVariantMap &fields)
    {
        owner_.takeFields(fields);
        owner_.frameAnchorSet(to);
    }
    Q_INVOKABLE void pageChanged() { owner_.readText(false); }
    Q_INVOKABLE void closeWindow()
    {
        bool cancel = false;
        owner_.WindowClosing(cancel);
    }

private:
    WebBrowser &owner_;
};

class BookPage : public QWebEnginePage {
public:
    BookPage(WebBrowser &owner, QObject *parent) : QWebEnginePage(parent), owner_(owner) {}

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override
    {
        if (!isMainFrame)
            return owner_.frameWantsNavigation(url, type == NavigationTypeRedirect);
        return owner_.pageWantsNavigation(url, type == NavigationTypeRedirect);
    }

    // A page's own dialogs go through the program's dialogs, which a screen
    // reader reads, the keyboard answers and the automation channel sees. The
    // engine is never held inside a dialog: the text is shown once it has
    // gone on, and a question is refused (its text is still shown).
    void javaScriptAlert(const QUrl &, const QString &msg) override { owner_.showPageMessage(msg); }
    bool javaScriptConfirm(const QUrl &, const QString &msg) override
    {
        owner_.showPageMessage(msg);
        return false;
    }
    // Free text typed into a page's prompt is not part of reading a book.
    bool javaScriptPrompt(const QUrl &, const QString &, const QString &, QString *) override { return false; }

private:
    WebBrowser &owner_;
};

// The files of a book packed in a zip, served to the engine from the zip:
// nothing is unpacked to disk. One for the program; each browser names the
// files it reads through.
class PackedBookHandler : public QWebEngineUrlSchemeHandler {
public:
    using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;
    static PackedBookHandler &instance()
    {
        static auto *handler = [] {
            auto *h = new PackedBookHandler(QWebEngineProfile::defaultProfile());
            // Only where the scheme was made known before the application started.
            if (QWebEngineUrlScheme::schemeByName(kPackedScheme).name() == kPackedScheme)
                QWebEngineProfile::defaultProfile()->installUrlSchemeHandler(kPackedScheme, h);
            return h;
        }();
        return *handler;
    }
    IFiles *files = nullptr;

    void requestStarted(QWebEngineUrlRequestJob *job) override
    {
        const QString path = pathFromAddress(job->requestUrl().adjusted(QUrl::RemoveFragment | QUrl::RemoveQuery).toString());
        // The request filter has let through only the open book's own files.
        const Result<QByteArray> bytes =
            files && files->isPacked(path) ? files->readFile(path, bookFileLimit(BookFileKind::Text)) : Result<QByteArray>(Failure{});
        if (!bytes) {
            job->fail(QWebEngineUrlRequestJob::UrlNotFound);
            return;
        }
        auto *buffer = new QBuffer(job);
        buffer->setData(*bytes);
        buffer->open(QIODevice::ReadOnly);
        QByteArray type = QMimeDatabase().mimeTypeForFile(path, QMimeDatabase::MatchExtension).name().toUtf8();
        // A file on disk has its encoding guessed by the engine, one served
        // here does not: a text in UTF-8 that does not say so is said to be,
        // any other is left to its own declaration or the engine's default.
        if (type.startsWith("text/") || type.endsWith("xml")) {
            QStringDecoder utf8(QStringDecoder::Utf8);
            (void)utf8(*bytes);
            if (!utf8.hasError())
                type += "; charset=utf-8";
        }
        job->reply(type, buffer);
    }
};

// A page reads the book's files and nothing else on the disk (its scripts
// could otherwise read any file and send it on). Books made on Windows name
// their files in any letter case: a file:// request goes to the file that
// exists, whatever the case of the name asked for.
class BookFileInterceptor : public QWebEngineUrlRequestInterceptor {
public:
    BookFileInterceptor(IFiles &files, WebBrowser &owner, QObject *parent)
        : QWebEngineUrlRequestInterceptor(parent), files_(files), owner_(owner)
    {
    }

    void interceptRequest(QWebEngineUrlRequestInfo &info) override
    {
        const QUrl url = info.requestUrl();
        const bool document = info.resourceType() == QWebEngineUrlRequestInfo::ResourceTypeMainFrame;
        if (url.scheme() == QLatin1String(kPackedScheme)) {
            // A file of a packed book: the same rule as on disk.
            if (!owner_.mayRead(pathFromAddress(url.toString()), kindOf(info.resourceType()), document))
                info.block(true);
            return;
        }
        if (!url.isLocalFile()) {
            // Nothing of a book reaches the network: only what the page holds
            // itself (data, blobs, a blank page) loads.
            static const QStringList kept{QStringLiteral("data"), QStringLiteral("blob"), QStringLiteral("about"),
                                          QStringLiteral("qrc")};
            if (!kept.contains(url.scheme().toLower()))
                info.block(true);
            return;
        }
        const QString asked = url.toLocalFile();
        if (!owner_.mayRead(asked, kindOf(info.resourceType()),
                            info.resourceType() == QWebEngineUrlRequestInfo::ResourceTypeMainFrame)) {
            info.block(true);
            return;
        }
        if (QFileInfo::exists(asked))
            return;
        const QString real = files_.resolve(asked);
        if (real.isEmpty() || (real == asked && !files_.isPacked(real)))
            return;
        QUrl to = WebBrowser::fileUrl(files_, real);
        to.setQuery(url.query());
        to.setFragment(url.fragment());
        info.redirect(to);
    }

private:
    IFiles &files_;
    static BookFileKind kindOf(QWebEngineUrlRequestInfo::ResourceType type)
    {
        switch (type) {
        case QWebEngineUrlRequestInfo::ResourceTypeImage:
        case QWebEngineUrlRequestInfo::ResourceTypeFavicon: return BookFileKind::Image;
        case QWebEngineUrlRequestInfo::ResourceTypeMedia: return BookFileKind::Audio;
        default: return BookFileKind::Text;
        }
    }

    WebBrowser &owner_;
};

// The link bridge in a world of its own, and the window.close() override in
// the page's world, where the page's own scripts call it.
void WebBrowser::installScripts()
{
    bridge_ = new LinkBridge(*this);
    bridge_->setParent(this);
    auto *channel = new QWebChannel(this);
    channel->registerObject(QStringLiteral("qyrLinks"), bridge_);
    page_->setWebChannel(channel, kWorld);

    QFile channelJs(QStringLiteral(":/qtwebchannel/qwebchannel.js"));
    channelJs.open(QIODevice::ReadOnly);
    QWebEngineScript script;
    script.setName(QStringLiteral("qyr-links"));
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(kWorld);
    // In frames too: their jumps inside the page are links as well.
    script.setRunsOnSubFrames(true);
    script.setSourceCode(QString::fromUtf8(channelJs.readAll()) + QString::fromUtf8(kLinkScript));
    page_->scripts().insert(script);

    QWebEngineScript closer;
    closer.setName(QStringLiteral("qyr-close"));
    closer.setInjectionPoint(QWebEngineScript::DocumentCreation);
    closer.setWorldId(QWebEngineScript::MainWorld);
    closer.setRunsOnSubFrames(false);
    closer.setSourceCode(QString::fromUtf8(kCloseScript));
    page_->scripts().insert(closer);
}

PageTextView *WebBrowser::newTextView()
{
    auto *view = new PageTextView(holder_);
    view->lower();
    view->onLinkActivated = [this](int link) {
        // The page's own link is clicked: the same path as a click on it.
        page_->runJavaScript(QStringLiteral("(function (n) { var a = (window.__qyrTextLinks || [])[n]; "
                                            "if (a && a.isConnected) a.click(); })(%1);")
                                 .arg(link),
                             kWorld);
    };
    view->onPlaceChanged = [this](int place) {
        page_->runJavaScript(QString::fromUtf8(kMarkPlaceScript).arg(place), kWorld);
    };
    return view;
}

void WebBrowser::registerPackedScheme()
{
    QWebEngineUrlScheme scheme(kPackedScheme);
    // Addressed like files ("qyrlibro://libro/path"), so that a page's
    // relative links resolve; local, as the files on disk are.
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
    scheme.setFlags(QWebEngineUrlScheme::SecureScheme | QWebEngineUrlScheme::LocalScheme |
                    QWebEngineUrlScheme::LocalAccessAllowed);
    QWebEngineUrlScheme::registerScheme(scheme);
}

WebBrowser::WebBrowser(IFiles &files, QWidget *parent) : QObject(parent), files_(files)
{
    PackedBookHandler::instance().files = &files;
    // The engine hands keys the page did not use back to the view's parent:
    // a holder of its own keeps them from reaching the window a second time.
    holder_ = new QWidget(parent);
    holder_->setObjectName(QStringLiteral("objwbHolder"));
    auto *fill = new QVBoxLayout(holder_);
    fill->setContentsMargins(0, 0, 0, 0);
    view_ = new QWebEngineView(holder_);
    fill->addWidget(view_);
    page_ = new BookPage(*this, view_);
    view_->setPage(page_);
    view_->setObjectName(QStringLiteral("objwb"));
    view_->setAccessibleName(QStringLiteral("Pagina del libro"));
    view_->setAccessibleDescription(QStringLiteral("Il contenuto della pagina del libro"));
    // The page's text for the screen reader, under the page the eye sees.
    static const bool accessible = (installPageTextAccessibility(), true);
    Q_UNUSED(accessible);
    // Two text views by turns: each new page's text goes into the one not
    // shown, which takes the keyboard. A screen reader still reading the old
    // page (its say-all, its caret placed where it stopped) reads and moves
    // the one left behind, never the new page.
    text_ = newTextView();
    spare_ = newTextView();
    spare_->hide();
    holder_->installEventFilter(this);

    interceptor_ = new BookFileInterceptor(files_, *this, this);
    page_->setUrlRequestInterceptor(interceptor_);

    installScripts();

    connect(page_, &QWebEnginePage::loadingChanged, this,
            [this](const QWebEngineLoadingInfo &info) { loadingChanged(info); });
    connect(page_, &QWebEnginePage::titleChanged, this, [this](const QString &t) {
        // The engine's own error page titles are not the book's.
        if (!failedLoad_)
            TitleChange(t);
    });
    connect(page_, &QWebEnginePage::renderProcessTerminated, this, [this] {
        // The engine starts a new renderer for the next load.
        if (retry_.isEmpty()) {
            text_->stopAwaiting();
            return;
        }
        const QUrl target = std::exchange(retry_, QUrl());
        QTimer::singleShot(0, this, [this, target] { load(target); });
    });
    connect(page_, &QWebEnginePage::windowCloseRequested, this, [this] {
        bool cancel = false;
        WindowClosing(cancel);
    });
}

// The page holds the web channel and the request interceptor, which are ours:
// it goes first, whatever order the window destroys its children in.
WebBrowser::~WebBrowser()
{
    // The engine may still answer a script, or report a load, while the page
    // goes: nothing of it reaches this half-destroyed object.
    *alive_ = false;
    if (PackedBookHandler::instance().files == &files_)
        PackedBookHandler::instance().files = nullptr;
    if (page_)
        disconnect(page_, nullptr, this, nullptr);
    if (holder_)
        delete holder_.data();
}

QUrl WebBrowser::toLoadableUrl(const QString &url)
{
    if (hasUrlScheme(url) && !isFileAddress(url))
        return QUrl(url);
    QString path = url;
    QString tail; // anchor and query, with their "#" or "?"
    if (isFileAddress(url)) {
        const QUrl parsed(url);
        path = pathFromAddress(url);
        if (parsed.hasQuery())
            tail += QLatin1Char('?') + parsed.query();
        if (parsed.hasFragment())
            tail += QLatin1Char('#') + parsed.fragment();
    } else if (files_.resolve(url).isEmpty()) {
        // A plain path may hold "#" or "?" in a folder name ("Libro #1"): it
        // is cut only where what comes before names a file.
        for (int i = 0; i < url.size(); ++i) {
            if ((url.at(i) == QLatin1Char('#') || url.at(i) == QLatin1Char('?')) &&
                !files_.resolve(url.left(i)).isEmpty()) {
                path = url.left(i);
                tail = url.mid(i);
                break;
            }
        }
    }
    // The file that exists, whatever the letter case of the name asked for.
    QString real = files_.resolve(path);
    if (real.isEmpty())
        real = pathFromAddress(path);
    QUrl out = fileUrl(files_, real);
    const int hash = tail.indexOf(QLatin1Char('#'));
    if (tail.startsWith(QLatin1Char('?')))
        out.setQuery(tail.mid(1, hash < 0 ? -1 : hash - 1));
    if (hash >= 0)
        out.setFragment(tail.mid(hash + 1));
    return out;
}

QUrl WebBrowser::fileUrl(IFiles &files, const QString &path)
{
    QUrl url = QUrl::fromLocalFile(path);
    if (files.isPacked(path)) {
        url.setScheme(QLatin1String(kPackedScheme));
        url.setHost(QLatin1String(kPackedHost));
    }
    return url;
}

bool WebBrowser::isBookFile(const QUrl &url)
{
    return url.isLocalFile() || url.scheme() == QLatin1String(kPackedScheme);
}

bool WebBrowser::samePage(const QUrl &a, const QUrl &b)
{
    if (a.isEmpty() || b.isEmpty())
        return false;
    const auto bare = [](const QUrl &u) { return u.adjusted(QUrl::RemoveFragment).toString(); };
    return bare(a).compare(bare(b), isBookFile(a) ? Qt::CaseInsensitive : Qt::CaseSensitive) == 0;
}

bool WebBrowser::sameDocument(const QUrl &from, const QUrl &to)
{
    if (!from.isValid() || from.isEmpty() || !to.hasFragment())
        return false;
    const auto bare = [](const QUrl &u) { return u.adjusted(QUrl::RemoveFragment).toString(); };
    // File names compare without regard to case, as the files are found.
    return bare(from).compare(bare(to), isBookFile(from) ? Qt::CaseInsensitive : Qt::CaseSensitive) == 0;
}

void WebBrowser::navigate(const QString &url)
{
    bool cancel = false;
    BeforeNavigate2(url, cancel);
    if (!cancel)
        goAhead(url);
}

void WebBrowser::linkActivated(const QString &href)
{
    bool cancel = false;
    BeforeNavigate2(href, cancel);
    if (!cancel && keptInside(toLoadableUrl(href), href))
        goAhead(href);
}

void WebBrowser::setBookFolder(const QString &folder) { bookFolder_ = folder.isEmpty() ? QString() : realPath(folder); }

bool WebBrowser::mayRead(const QString &path, BookFileKind kind, bool document)
{
    const Result<QString> admitted = files_.admit(bookFolder_, path, kind);
    if (admitted)
        return true;
    // A page of the book that is missing loads as the engine shows a missing
    // file, and the program says so.
    if (admitted.failure().number == err::FileNotFound && liesBelow(bookFolder_, realPath(path)))
        return true;
    // The page the program itself opened (its own pages, outside the book),
    // still only a regular file of a text's size.
    return document && !programDocument_.isEmpty() && realPath(path) == programDocument_ &&
           files_.admit(folderOf(programDocument_), path, BookFileKind::Text);
}

// What a page may lead to: a file of the book (or the page the program
// itself opened, for its own anchors), a blank page, or a script of its own.
bool WebBrowser::keptInside(const QUrl &target, const QString &asked)
{
    const QString scheme = target.scheme().toLower();
    if (scheme == QLatin1String("javascript"))
        return true;
    if (scheme == QLatin1String("about") &&
        (target.path() == QLatin1String("blank") || target.path() == QLatin1String("srcdoc")))
        return true;
    if (isBookFile(target) && mayRead(pathFromAddress(target.toString()), BookFileKind::Text, true))
        return true;
    NavigationRefused(asked);
    return false;
}

void WebBrowser::goAhead(const QString &url)
{
    if (url.startsWith(QLatin1String("javascript:"), Qt::CaseInsensitive)) {
        page_->runJavaScript(QUrl::fromPercentEncoding(url.mid(11).toUtf8()), QWebEngineScript::MainWorld);
        return;
    }
    const QUrl target = toLoadableUrl(url);
    if (sameDocument(location_, target)) {
        // A jump inside the page: scroll to the anchor, then the same
        // document-complete as after a load, so its audio position applies.
        readyState_ = 1;
        location_ = target;
        page_->runJavaScript(QStringLiteral("(function (h) { if (location.hash !== h) { window.__qyrOwnHash = h; "
                                            "location.hash = h; } })(%1);")
                                 .arg(jsString(QLatin1Char('#') + target.fragment(QUrl::FullyEncoded))),
                             kWorld);
        text_->goToAnchor(target.fragment());
        const QString done = target.toString();
        QTimer::singleShot(0, this, [this, done] {
            readyState_ = 4;
            DocumentComplete(done);
        });
        return;
    }
    load(target);
}

void WebBrowser::load(const QUrl &target)
{
    readyState_ = 1;
    ++loads_;
    programNavigation_ = true;
    programDocument_ = isBookFile(target) ? realPath(pathFromAddress(target.toString())) : QString();
    text_->awaitNewPage();
    view_->setUrl(target);
    watchLoad(target);
}

// A page whose script never ends holds the engine: no later load of the view
// ever completes. A load still unfinished after a while asks the page for an
// answer; a page that gives none is abandoned (its renderer ended) and the
// load made again in a fresh one.
void WebBrowser::watchLoad(const QUrl &target)
{
    const int generation = ++loadGeneration_;
    // Watched until this page itself has loaded: the page it replaces may
    // still complete after the request (a script that then hangs its
    // renderer), and that must not count as this load done.
    auto current = [this, generation, target] {
        return generation == loadGeneration_ && !(readyState_ == 4 && samePage(location_, target));
    };
    QTimer::singleShot(kPatienceMs, this, [this, target, current] {
        if (!current())
            return;
        auto answered = std::make_shared<bool>(false);
        page_->runJavaScript(QStringLiteral("1"), kWorld, [answered](const QVariant &) { *answered = true; });
        QTimer::singleShot(kPatienceMs, this, [this, target, current, answered] {
            if (*answered || !current())
                return;
            const qint64 pid = page_->renderProcessPid();
            if (pid <= 0)
                return;
            retry_ = target;
#ifdef Q_OS_WIN
            if (HANDLE h = OpenProcess(PROCESS_TERMINATE, FALSE, DWORD(pid))) {
                TerminateProcess(h, 1);
                CloseHandle(h);
            }
#else
            ::kill(pid_t(pid), SIGKILL);
#endif
        });
    });
}

bool WebBrowser::pageWantsNavigation(const QUrl &url, bool redirect)
{
    if (redirect)
        return true;
    if (programNavigation_) {
        programNavigation_ = false;
        return true;
    }
    bool cancel = false;
    BeforeNavigate2(url.toString(), cancel);
    if (cancel || !keptInside(url, url.toString()))
        return false;
    // From here the page shown is on its way out: Enter no longer follows
    // its links, and the caret keys wait for the new page's text.
    if (!sameDocument(location_, url))
        text_->awaitNewPage();
    return true;
}

// A frame's own navigation to another document: what its frame's page
// loads while it loads itself (the frame's first document) is part of that
// load, not a navigation of its own.
bool WebBrowser::frameWantsNavigation(const QUrl &url, bool redirect)
{
    if (redirect || readyState_ != 4)
        return true;
    bool cancel = false;
    BeforeNavigate2(url.toString(), cancel);
    return !cancel && keptInside(url, url.toString());
}

// A jump inside a frame's document: it has been made (the frame put its
// address back), so only the before-navigate remains, for the commands.
void WebBrowser::frameAnchorSet(const QString &to)
{
    bool cancel = false;
    BeforeNavigate2(to, cancel);
}

void WebBrowser::takeFields(const QVariantMap &fields)
{
    for (auto it = fields.cbegin(); it != fields.cend(); ++it) {
        const QString key = it.key().toLower();
        auto known = snapshot_.find(key);
        if (known != snapshot_.end())
            known->value = it.value().toString();
        else
            snapshot_.insert(key, PageElement{it.key(), QString(), QString(), it.value().toString(), true, false});
    }
}

void WebBrowser::showPageMessage(const QString &text)
{
    if (!dialogs_ || !silencedPage_.isEmpty())
        return;
    // A page that keeps on sending them (a loop of alerts) queues no more
    // than a reader could answer.
    constexpr int kQueued = 20;
    if (pageMessages_.size() < kQueued)
        pageMessages_ << text;
    if (!showingPageMessages_)
        QTimer::singleShot(0, this, [this, alive = alive_] {
            if (*alive)
                showPageMessages();
        });
}

// One dialog at a time, each after the one before has been answered: nested
// dialogs would run out of stack. After a few in a short time the reader is
// asked whether to see more from this page; the default, "No", stops them
// until another page opens, so Enter pressed to clear them ends them.
void WebBrowser::showPageMessages()
{
    if (showingPageMessages_)
        return;
    showingPageMessages_ = true;
    constexpr int kBurst = 3;
    constexpr qint64 kBurstMs = 10000;
    const QUrl page = view_->url();
    while (!pageMessages_.isEmpty() && dialogs_ && silencedPage_.isEmpty()) {
        const QString text = pageMessages_.takeFirst();
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        // Counted for each page: another page's messages are not its own.
        if (!samePage(countedPage_, page)) {
            countedPage_ = page;
            pageMessageTimes_.clear();
        }
        while (!pageMessageTimes_.isEmpty() && now - pageMessageTimes_.first() > kBurstMs)
            pageMessageTimes_.removeFirst();
        if (pageMessageTimes_.size() >= kBurst) {
            const Answer more = dialogs_->message(QStringLiteral("Messaggio della pagina"),
                                                  QStringLiteral("Questa pagina mostra molti messaggi. Mostrarne altri?"),
                                                  Buttons::YesNo, Icon::Question);
            pageMessageTimes_.clear();
            if (more != Answer::Yes) {
                silencedPage_ = page;
                break;
            }
        }
        pageMessageTimes_ << now;
        dialogs_->message(QStringLiteral("Messaggio della pagina"), text, Buttons::Ok, Icon::Information);
    }
    pageMessages_.clear();
    showingPageMessages_ = false;
}

void WebBrowser::anchorSetByPage(const QString &to, const QString &from)
{
    // Only a jump inside the page on show (or the one loading) moves the
    // reader without a load.
    if (!sameDocument(location_, QUrl(to)) && !sameDocument(view_->url(), QUrl(to)))
        return;
    bool cancel = false;
    BeforeNavigate2(to, cancel);
    if (cancel) {
        // A command: the page stays where it was, its address too.
        page_->runJavaScript(QStringLiteral("history.replaceState(history.state, '', %1);").arg(jsString(from)), kWorld);
        return;
    }
    location_ = QUrl(to);
    text_->goToAnchor(location_.fragment());
    readyState_ = 4;
    DocumentComplete(to);
}

QString WebBrowser::locationURL() { return (location_.isEmpty() ? view_->url() : location_).toString(); }

// The document's own name: the last part of its address (anchor included),
// so that the address without it is the page's folder.
QString WebBrowser::locationName()
{
    const QString url = locationURL();
    const int slash = url.lastIndexOf(QLatin1Char('/'));
    return slash >= 0 ? url.mid(slash + 1) : url;
}

QString WebBrowser::title() { return view_->title(); }

void WebBrowser::loadingChanged(const QWebEngineLoadingInfo &info)
{
    switch (info.status()) {
    case QWebEngineLoadingInfo::LoadStartedStatus:
        readyState_ = 1;
        ++loads_;
        failedLoad_ = false;
        highlighted_.clear();
        if (!sameDocument(location_, info.url()))
            text_->awaitNewPage();
        break;
    case QWebEngineLoadingInfo::LoadSucceededStatus:
        programNavigation_ = false;
        // Another page has opened: its messages are shown again (the page the
        // reader stopped may still be sending some while it goes).
        if (!samePage(silencedPage_, info.url()))
            silencedPage_ = QUrl();
        takeSnapshot();
        break;
    case QWebEngineLoadingInfo::LoadFailedStatus:
        programNavigation_ = false;
        failedLoad_ = true;
        location_ = info.url();
        readyState_ = 4;
        text_->stopAwaiting();
        // The program returns to the table of contents on this title, and
        // says why itself: the engine's own words are English.
        TitleChange(QStringLiteral("Errore di caricamento: ") + QFileInfo(info.url().path()).fileName());
        break;
    case QWebEngineLoadingInfo::LoadStoppedStatus: {
        // Mostly replaced by another navigation, which reports for itself;
        // if none follows, the keys held go to the page still shown.
        const int loads = loads_;
        QTimer::singleShot(2000, this, [this, loads, alive = alive_] {
            if (*alive && loads_ == loads)
                text_->stopAwaiting();
        });
        break;
    }
    }
}

void WebBrowser::takeSnapshot()
{
    const QUrl url = view_->url();
    page_->runJavaScript(QString::fromUtf8(kSnapshotScript), kWorld, [this, url, alive = alive_](const QVariant &result) {
        // A newer load has begun meanwhile: its own snapshot will follow.
        if (!*alive || view_->url() != url)
            return;
        const QJsonObject r = QJsonDocument::fromJson(result.toString().toUtf8()).object();
        snapshot_.clear();
        const QJsonArray elements = r.value(QStringLiteral("elements")).toArray();
        for (const QJsonValue &v : elements) {
            const QJsonObject m = v.toObject();
            PageElement e{QString(), m.value(QStringLiteral("content")).toString(),
                          m.value(QStringLiteral("href")).toString(), m.value(QStringLiteral("value")).toString(), true,
                          m.value(QStringLiteral("hasContent")).toBool()};
            for (const QString &key : {m.value(QStringLiteral("name")).toString(), m.value(QStringLiteral("id")).toString()}) {
                if (key.isEmpty())
                    continue;
                e.name = key;
                // The first element of a name wins, as in the page's collection.
                if (!snapshot_.contains(key.toLower()))
                    snapshot_.insert(key.toLower(), e);
            }
        }
        styleSheets_ = r.value(QStringLiteral("sheets")).toInt();
        location_ = url;
        hasDocument_ = true;
        readyState_ = 4;
        DocumentComplete(url.toString());
        applyHighlight();
        // After the page's audio has been started: the walk takes a while
        // on a long page, and the reader listens first.
        readText(true);
    });
}

PageElement WebBrowser::element(const QString &name) { return snapshot_.value(name.toLower()); }

void WebBrowser::setFocus() { text_->setFocus(Qt::OtherFocusReason); }

// The keyboard goes to the page's text, named by its title, where the
// screen reader's own keys read it.
void WebBrowser::focusDocument() { text_->setFocus(Qt::OtherFocusReason); }

QWidget *WebBrowser::textView() const { return text_; }

void WebBrowser::showText(const QVariant &walked, bool fresh)
{
    PageTextContent content = pageTextFromVariant(walked);
    // Made in one piece: a page of megabytes made it slowly in many.
    qsizetype size = view_->title().size();
    for (const PageTextBlock &b : content.blocks) {
        size += 1 + b.marker.size();
        for (const PageTextRun &r : b.runs)
            size += r.text.size() + 1;
    }
    QString signature;
    signature.reserve(size);
    signature += view_->title();
    for (const PageTextBlock &b : content.blocks) {
        signature += QLatin1Char('\n');
        signature += b.marker;
        for (const PageTextRun &r : b.runs) {
            signature += r.text;
            signature += QLatin1Char(r.link >= 0 ? '*' : ' ');
        }
    }
    // The same words again (a page that only moved things about): the
    // reader's caret is left alone.
    if (!fresh && signature == textSignature_)
        return;
    textSignature_ = signature;
    if (fresh) {
        // The new page in the other view; the keys held for it go along.
        PageTextView *old = std::exchange(text_, std::exchange(spare_, text_));
        old->handOverTo(*text_);
        text_->setGeometry(holder_->rect());
        text_->show(content, view_->title(), true);
        text_->setVisible(true);
        if (old->hasFocus())
            text_->setFocus(Qt::OtherFocusReason);
        old->leavePage();
        old->hide();
        return;
    }
    text_->show(content, view_->title(), false);
}

void WebBrowser::readText(bool fresh)
{
    if (!hasDocument_)
        return;
    const QUrl url = view_->url();
    page_->runJavaScript(QString::fromUtf8(pageTextScript()), kWorld, [this, url, fresh, alive = alive_](const QVariant &r) {
        if (!*alive || view_->url() != url)
            return;
        showText(r, fresh);
        // A new page opened at an anchor, or jumped to one before its text came.
        if (fresh && location_.hasFragment())
            text_->goToAnchor(location_.fragment());
    });
}

bool WebBrowser::eventFilter(QObject *obj, QEvent *e)
{
    if (obj == holder_ && e->type() == QEvent::Resize) {
        text_->setGeometry(holder_->rect());
        spare_->setGeometry(holder_->rect());
    }
    return QObject::eventFilter(obj, e);
}

void WebBrowser::createStyleSheet(const QString &url, int index)
{
    // A document that is not a book file (the about page) may not read local
    // files: the sheet goes in as text instead of as a link.
    QVariant text;
    if (!isBookFile(view_->url()) && isFileAddress(url)) {
        if (const Result<QByteArray> sheet = files_.readFile(files_.resolve(url), bookFileLimit(BookFileKind::Text)))
            text = QString::fromUtf8(*sheet);
    }
    // Inserted before the owner of the sheet now at index, or after the last
    // one, or at the top of the head when the page has none.
    page_->runJavaScript(QStringLiteral(R"JS(
(function (u, i, css) {
  var l;
  if (css !== null) { l = document.createElement('style'); l.textContent = css; }
  else { l = document.createElement('link'); l.rel = 'stylesheet'; l.href = u; }
  var owners = [];
  for (var k = 0; k < document.styleSheets.length; k++)
    if (document.styleSheets[k].ownerNode) owners.push(document.styleSheets[k].ownerNode);
  var head = document.head || document.documentElement;
  if (owners[i] && owners[i].parentNode) owners[i].parentNode.insertBefore(l, owners[i]);
  else if (owners.length) { var last = owners[owners.length - 1]; last.parentNode.insertBefore(l, last.nextSibling); }
  else head.insertBefore(l, head.firstChild);
})(%1, %2, %3);
)JS")
                             .arg(jsString(url))
                             .arg(index)
                             .arg(text.isNull() ? QStringLiteral("null") : jsString(text.toString())),
                         kWorld);
    ++styleSheets_;
}

bool WebBrowser::follow(const QString &name, const QString &href)
{
    if (!hasDocument_)
        return false;
    page_->runJavaScript(QStringLiteral(R"JS(
(function (n, h) {
  var all = document.querySelectorAll('a[href],area[href]');
  for (var i = 0; i < all.length; i++)
    if (n && (all[i].getAttribute('name') === n || all[i].id === n)) { all[i].click(); return true; }
  for (var i = 0; i < all.length; i++)
    if (h && (all[i].getAttribute('href') === h || all[i].href === h)) { all[i].click(); return true; }
  return false;
})(%1, %2);
)JS")
                             .arg(jsString(name), jsString(href)),
                         kWorld, [this, alive = alive_](const QVariant &found) {
                             if (*alive && !found.toBool() && onFollowMissed)
                                 onFollowMissed();
                         });
    return true;
}

void WebBrowser::setBodyHtml(const QString &html)
{
    page_->runJavaScript(QStringLiteral("document.body.innerHTML = %1;").arg(jsString(html)), kWorld);
    highlighted_.clear();
    applyHighlight();
    readText(false);
}

void WebBrowser::highlight(const QString &elementId)
{
    highlight_ = elementId;
    applyHighlight();
}

void WebBrowser::applyHighlight()
{
    // While a page loads the script would mark the page going away, and say
    // so: the new page is marked once it has loaded.
    if ((highlight_.isEmpty() && highlighted_.isEmpty()) || readyState_ != 4)
        return;
    page_->runJavaScript(QString::fromUtf8(kHighlightScript).arg(jsString(highlight_)), kWorld,
                         [this, loads = loads_, alive = alive_](const QVariant &marked) {
                             if (*alive && loads_ == loads)
                                 highlighted_ = marked.toString();
                         });
}

} // namespace qyr

#include "webbrowser.moc"
