#include "linkcommands.h"
#include "../platform/bookpath.h"
#include "../platform/browser.h"
#include "../platform/convert.h"
#include "../platform/errorreport.h"
#include "../platform/errors.h"
#include "../platform/openbook.h"
#include "../services/feedback.h"
#include "../services/playerslot.h"
#include "daisyreading.h"
#include "pageaudio.h"
#include "urlhelpers.h"

#include <QDir>

namespace qyr {

namespace {
const QString kStop = QStringLiteral("#QYRP_STOP#");
const QString kPause = QStringLiteral("#QYRP_PAUSE#");
const QString kPlay = QStringLiteral("#QYRP_PLAY#");
const QString kKeyCmd = QStringLiteral("#QYRP_KEYCMD#");
const QString kKeyAlt = QStringLiteral("#KEYALT#");
const QString kKeyShift = QStringLiteral("#KEYSHIFT#");
const QString kKeyCtrl = QStringLiteral("#KEYCTRL#");
const QString kNoFull = QStringLiteral("@NOFULL@");
const QString kDictionary = QStringLiteral("#PLAYVIDEODIZIONARIO");

void removeHtm(QString &file)
{
    file.remove(QStringLiteral(".htm"));
    file.remove(QStringLiteral(".HTM"));
}
} // namespace

void LinkCommands::refused(const QString &url)
{
    IgnoreFailure([&] { u.feedback.OSD(QStringLiteral("Collegamento fuori dal libro: ") + url, false); });
}

void LinkCommands::objWB_BeforeNavigate2(const QString &URL, bool &Cancel)
{
    // A command keeps the page where it is, even when it fails on the way.
    // Every navigation passes here first, so the browser's bounds follow the
    // book open now before anything of the new page is read.
    u.browser.setBookFolder(u.book.folder());
    const QString name = QStringLiteral("objWB_BeforeNavigate2");
    Guard(u.er, name, [&] {
        u.TextURL.setText(URL);
        if (playerCommand(URL, Cancel))
            return;
        // A command the link writes wrongly (a key that is no number, the
        // dictionary's video without its element) is told, and the browser goes on.
        const Result<bool> key = keyCommand(URL, Cancel);
        if (!key)
            return u.er.report(name, key.failure());
        if (*key || personalVideo(URL, Cancel))
            return;
        if (const int heading = DaisyReading::headingOfLink(URL); heading >= 0) {
            Cancel = true;
            u.goToHeading(heading);
            return;
        }
        if (const Result<Done> video = videoLink(URL, Cancel); !video)
            u.er.report(name, video.failure());
    });
}

// Reload, stop, pause, play: the player's own commands.
bool LinkCommands::playerCommand(const QString &URL, bool &Cancel)
{
    if (URL.toUpper().contains(PageAudio::reloadAddress())) {
        u.audio.Playaudio(PageAudio::reloadAddress(), AudioChoice::OfPage);
        Cancel = true;
    } else if (URL.contains(kStop)) {
        u.player.get().Stop_Player();
        Cancel = true;
        u.feedback.sayStopped();
    } else if (URL.contains(kPause)) {
        u.player.get().Pause_Player();
        Cancel = true;
        u.feedback.sayPaused();
    } else if (URL.contains(kPlay)) {
        u.player.get().Play_Player();
        Cancel = true;
        u.feedback.sayPlaying();
    } else {
        return false;
    }
    return true;
}

// A key press written in the link: the key map handles it as if typed.
Result<bool> LinkCommands::keyCommand(const QString &URL, bool &Cancel)
{
    if (!URL.contains(kKeyCmd))
        return false;
    qint16 mask = 0;
    if (URL.contains(kKeyAlt))
        mask += 4;
    if (URL.contains(kKeyShift))
        mask += 1;
    if (URL.contains(kKeyCtrl))
        mask += 2;
    QString key = URL.mid(URL.indexOf(kKeyCmd));
    key.remove(kKeyCtrl);
    key.remove(kKeyShift);
    key.remove(kKeyAlt);
    key.remove(kKeyCmd);
    const Result<qint16> code = conv::tryInt16(key);
    if (!code)
        return code.failure();
    u.pressKey(*code, mask);
    Cancel = true;
    return true;
}

// A video named by the link with its own marker, in any folder.
bool LinkCommands::personalVideo(const QString &URL, bool &Cancel)
{
    if (!URL.contains(QStringLiteral("@VIDEO_PERS@")) && !URL.contains(QStringLiteral("#VIDEO_PERS#")))
        return false;
    const QString sep = URL.contains(QStringLiteral("@VIDEO_PERS@")) ? QStringLiteral("@") : QStringLiteral("#");
    QString file = URL;
    file.remove(kNoFull);
    file.remove(sep + QStringLiteral("VIDEO_PERS") + sep);
    file.remove(sep);
    file = u.urls.PulisciUrl(file);
    u.player.get().setFullScreen(!URL.contains(kNoFull));
    removeHtm(file);
    u.audio.playLinkVideo(file);
    Cancel = true;
    return true;
}

// The dictionary's video: the name the page's element holds now. A name
// without a folder is looked for as page audio is (beside the page, then in
// the book folder); when it is nowhere, beside the page, where the player
// says it cannot be opened.
Result<QString> LinkCommands::dictionaryVideo()
{
    const PageElement e = u.browser.element(QStringLiteral("VideoNomeFile"));
    if (!e.found)
        return Failure::of(err::ObjectNotSet);
    QString name = e.value.trimmed();
    name.remove(kNoFull);
    removeHtm(name);
    if (isFileAddress(name))
        return pathFromAddress(name);
    if (name.isEmpty() || hasUrlScheme(name) || QDir::isAbsolutePath(name))
        return name;
    const QString pageFolder = folderOf(pathFromAddress(u.browser.locationURL().section(QLatin1Char('#'), 0, 0)));
    const QString found = u.audio.locate(name, pageFolder);
    return found.isEmpty() ? joinPath(pageFolder, name) : found;
}

// A link to a video file, or the dictionary's video named by the page.
Result<Done> LinkCommands::videoLink(const QString &URL, bool &Cancel)
{
    if (!URL.toUpper().contains(kDictionary) && !UrlHelpers::namesVideo(URL))
        return Done{};
    QString file;
    if (URL.contains(kDictionary)) {
        const Result<QString> named = dictionaryVideo();
        if (!named)
            return named.failure();
        file = *named;
        u.player.get().setFullScreen(false);
    } else {
        file = URL;
        u.player.get().setFullScreen(!file.contains(kNoFull));
        file.remove(kNoFull);
        file = u.urls.PulisciUrl(file);
        removeHtm(file);
    }
    u.audio.playLinkVideo(file);
    Cancel = true;
    return Done{};
}

} // namespace qyr
