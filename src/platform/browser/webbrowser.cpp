#include "webbrowser.h"
#include "../bookpath.h"
#include "../files.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMimeDatabase>
#include <QRegularExpression>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace qyr {

class BookPage : public QWebEnginePage {
public:
    BookPage(WebBrowser &owner, QObject *parent) : QWebEnginePage(parent), owner_(owner) {}

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType, bool isMainFrame) override
    {
        if (!isMainFrame)
            return true;
        return owner_.pageWantsNavigation(url.toString());
    }

private:
    WebBrowser &owner_;
};

namespace {
// Collects every element with a name or an id: what the logic reads of a page.
const char *kSnapshotScript = R"JS(
(function () {
  var out = [];
  var all = document.querySelectorAll('[name],[id]');
  for (var i = 0; i < all.length; i++) {
    var e = all[i];
    out.push({ name: e.getAttribute('name') || '', id: e.id || '',
               content: e.getAttribute('content') || '',
               href: e.href ? String(e.href) : '',
               value: (e.value !== undefined && e.value !== null) ? String(e.value) : '' });
  }
  return out;
})()
)JS";
} // namespace

WebBrowser::WebBrowser(IFiles &files, QWidget *parent) : QObject(parent), files_(files)
{
    view_ = new QWebEngineView(parent);
    page_ = new BookPage(*this, view_);
    view_->setPage(page_);
    view_->setObjectName(QStringLiteral("objwb"));
    view_->setAccessibleName(QStringLiteral("Pagina del libro"));
    view_->setAccessibleDescription(QStringLiteral("Il contenuto della pagina del libro"));
    connect(page_, &QWebEnginePage::loadStarted, this, [this] { readyState_ = 1; });
    connect(page_, &QWebEnginePage::loadFinished, this, [this](bool ok) { loadFinished(ok); });
    connect(page_, &QWebEnginePage::titleChanged, this, [this](const QString &t) { TitleChange(t); });
}

WebBrowser::~WebBrowser() = default;

QString WebBrowser::toLoadableUrl(const QString &url)
{
    if (hasUrlScheme(url) && !url.startsWith(QLatin1String("file:"), Qt::CaseInsensitive))
        return url;
    // A book path or file address: find the file whatever its letter case,
    // and keep the anchor or query that follows the file name.
    QString path = url;
    QString tail;
    const int cut = path.indexOf(QRegularExpression(QStringLiteral("[#?]")));
    if (cut >= 0) {
        tail = path.mid(cut);
        path = path.left(cut);
    }
    QString real = files_.resolve(path);
    if (real.isEmpty())
        real = toNativeBookPath(path);
    return QUrl::fromLocalFile(real).toString() + tail;
}

void WebBrowser::navigate(const QString &url)
{
    bool cancel = false;
    BeforeNavigate2(url, cancel);
    if (cancel)
        return;
    readyState_ = 1;
    programNavigation_ = true;
    view_->setUrl(QUrl(toLoadableUrl(url)));
}

bool WebBrowser::pageWantsNavigation(const QString &url)
{
    if (programNavigation_) {
        programNavigation_ = false;
        return true;
    }
    bool cancel = false;
    BeforeNavigate2(url, cancel);
    return !cancel;
}

QString WebBrowser::locationURL() { return view_->url().toString(); }

QString WebBrowser::locationName()
{
    const QString t = view_->title();
    return t.isEmpty() ? locationURL() : t;
}

QString WebBrowser::title() { return view_->title(); }

void WebBrowser::loadFinished(bool ok)
{
    Q_UNUSED(ok);
    programNavigation_ = false;
    const QString url = locationURL();
    page_->runJavaScript(QString::fromUtf8(kSnapshotScript), [this, url](const QVariant &result) {
        snapshot_.clear();
        for (const QVariant &v : result.toList()) {
            const QVariantMap m = v.toMap();
            PageElement e{QString(), m.value(QStringLiteral("content")).toString(),
                          m.value(QStringLiteral("href")).toString(), m.value(QStringLiteral("value")).toString(), true};
            for (const QString &key : {m.value(QStringLiteral("name")).toString(), m.value(QStringLiteral("id")).toString()}) {
                if (key.isEmpty())
                    continue;
                e.name = key;
                // The first element of a name wins, as in the page's collection.
                if (!snapshot_.contains(key.toLower()))
                    snapshot_.insert(key.toLower(), e);
            }
        }
        hasDocument_ = true;
        readyState_ = 4;
        DocumentComplete(url);
    });
}

PageElement WebBrowser::element(const QString &name) { return snapshot_.value(name.toLower()); }

void WebBrowser::setFocus() { view_->setFocus(); }

// The about page names its logo by a book path; a blank document may not read
// local files, so the picture goes in as data.
QString WebBrowser::inlineLocalImages(const QString &html)
{
    static const QRegularExpression src(QStringLiteral("src='([^']*)'"));
    QString out;
    int last = 0;
    auto it = src.globalMatch(html);
    while (it.hasNext()) {
        const auto m = it.next();
        out += html.mid(last, m.capturedStart(1) - last);
        QString value = m.captured(1);
        if (!hasUrlScheme(value)) {
            const QString real = files_.resolve(value);
            QFile f(real);
            if (!real.isEmpty() && f.open(QIODevice::ReadOnly)) {
                const QString mime = QMimeDatabase().mimeTypeForFile(QFileInfo(real)).name();
                value = QStringLiteral("data:%1;base64,%2").arg(mime, QString::fromLatin1(f.readAll().toBase64()));
            }
        }
        out += value;
        last = m.capturedEnd(1);
    }
    out += html.mid(last);
    return out;
}

void WebBrowser::setBodyHtml(const QString &html)
{
    const QString body = inlineLocalImages(html);
    // A one-element JSON array is a safe script literal for any text.
    page_->runJavaScript(QStringLiteral("document.body.innerHTML = (%1)[0];")
                             .arg(QString::fromUtf8(QJsonDocument(QJsonArray{body}).toJson(QJsonDocument::Compact))));
}

} // namespace qyr
