#include "pageaudio.h"
#include "../platform/convert.h"
#include "../shell/frmbrowser.h"

#include <algorithm>
#include <array>
#include <limits>

namespace qyr {

namespace {

const QString kAudio = QStringLiteral("QYRPLAYER_AUDIO");
const QString kPosition = QStringLiteral("QYRPLAYER_AUDIO_POS");
const QString kNextPage = QStringLiteral("QYRPLAYER_AUDIO_NEXTHTML_");
const QString kReload = QStringLiteral("LOCATION.RELOAD");

struct Extension {
    const char *text;
    bool video;
};
// Tried in this order on a name without extension.
constexpr std::array<Extension, 6> kExtensions{{{".wma", false},
                                                {".wmv", true},
                                                {".mp3", false},
                                                {".wav", false},
                                                {".m1v", true},
                                                {".avi", true}}};

// A page folder taken from a file:/// address, in the Windows form the rest
// of the path is built in; other folders are left as they are.
void cleanFolder(QString &folder)
{
    if (!folder.contains(QLatin1String("file:///")))
        return;
    folder.remove(QLatin1String("file:///"));
    folder.replace(QLatin1Char('/'), QLatin1Char('\\'));
    folder.replace(QLatin1String("%20"), QLatin1String(" "));
}

// Positions are 1-based with 0 for "absent", so a name without any separator
// counts as having an extension as soon as it holds a dot.
bool hasExtension(const QString &name)
{
    if (!name.contains(QLatin1Char('.')))
        return false;
    const int dot = name.lastIndexOf(QLatin1Char('.')) + 1;
    return dot >= name.lastIndexOf(QLatin1Char('/')) + 1 || dot >= name.lastIndexOf(QLatin1Char('\\')) + 1;
}

} // namespace

void PageAudio::connect()
{
    if (connected_)
        return;
    connected_ = true;
    f.PlayerStateChanged.connect([this](qint32 mode) { oPlayer_PlayStateChange(mode); });
    f.PlayerFileChanged.connect([this](const QString &name) { oPlayer_PlayFileChange(name); });
}

QString PageAudio::content(const QString &elementName) { return f.ports.browser.element(elementName).content; }

// The folder of the page shown, as a URL. The location name is the page's
// title for most pages, not its file name, so the folder is cut from the
// location URL itself (anchor and query dropped first: they may hold "/").
QString PageAudio::nextPageBase()
{
    QString base = f.ports.browser.locationURL();
    const int hash = base.indexOf(QLatin1Char('#'));
    if (hash >= 0)
        base.truncate(hash);
    const int query = base.indexOf(QLatin1Char('?'));
    if (query >= 0)
        base.truncate(query);
    const int cut = std::max(base.lastIndexOf(QLatin1Char('/')), base.lastIndexOf(QLatin1Char('\\')));
    return base.left(cut + 1);
}

bool PageAudio::Playaudio(const QString &address, bool next, bool previous)
{
    if (f.bDisableState)
        return false; // a bookmark recall is stopping the old file: no chaining

    StepLabel step{QStringLiteral("Playaudio - "), QString()};
    bool ignoring = false;
    // One statement: a failure is reported under the step reached (or skipped
    // silently in the stretches that ignore failures) and the procedure goes on
    // with the next statement.
    auto run = [&](auto &&statement) {
        if (ignoring)
            IgnoreFailure(statement);
        else
            Guard(f.er, step, statement, [this] { f.oFso = false; });
    };
    bool result = false;

    auto finish = [&]() {
        f.oFso = false;
        if (f.bResumePending) {
            run([&] {
                const QString saved = f.settings.Get(f.strAppName, QStringLiteral("Player"), QStringLiteral("BranoPos"));
                f.player().setCurrentPosition(conv::toDouble(saved));
            });
            f.bResumePending = false;
        }
        return result;
    };

    step.label = QStringLiteral("Inizio Ricerca URL");
    f.oFso = true;
    QString folder;
    if (!address.isEmpty()) {
        folder = address.left(address.lastIndexOf(QLatin1Char('\\')) + 1);
        if (folder.isEmpty())
            folder = address.left(address.lastIndexOf(QLatin1Char('/')) + 1);
    }

    step.label = QStringLiteral("Stop Audio 1");
    run([&] { f.player().Stop_Player(); });

    if (!next && !previous) {
        f.oAudioElem = kAudio;
        f.nAudioIndex = 0;
    } else {
        step.label = QStringLiteral("Next o Prev Audio");
        run([&] {
            if (next) {
                if (f.nAudioIndex == std::numeric_limits<qint32>::max())
                    throw QyrError(err::Overflow);
                ++f.nAudioIndex;
            } else if (f.nAudioIndex >= 1) {
                --f.nAudioIndex;
            }
        });
        step.label = QStringLiteral("Get QYRPLAYER_AUDIO");
        f.oAudioElem = f.nAudioIndex != 0 ? kAudio + QLatin1Char('_') + QString::number(f.nAudioIndex) : kAudio;

        // A missing element reads as empty here.
        ignoring = true;
        QString audioName;
        run([&] { audioName = content(f.oAudioElem); });
        if (audioName.isEmpty()) {
            f.oAudioElem = kNextPage + QString::number(f.nAudioIndex);
            QString nextPage;
            run([&] { nextPage = content(f.oAudioElem); });
            if (!nextPage.isEmpty()) {
                // The new page's load plays its own audio; the helper and a
                // pending resume are left for that call.
                run([&] { f.ports.browser.navigate(nextPageBase() + nextPage); });
                return false;
            }
        }
        ignoring = false;
    }

    step.label = QStringLiteral("2");
    if (address == kReload) {
        ignoring = true;
        step.label = QStringLiteral("Play_Player 1");
        run([&] { f.player().Play_Player(); }); // the file stopped above plays again
        return finish();
    }

    // Missing elements read as empty here.
    ignoring = true;
    step.label = QStringLiteral("QYRPLAYER_AUDIO_POS");
    const QString positionElem = (next || previous) && f.nAudioIndex > 0
                                     ? kPosition + QLatin1Char('_') + QString::number(f.nAudioIndex)
                                     : kPosition;
    QString fileName;
    run([&] { fileName = content(f.oAudioElem); });
    QString positionText;
    if (address.contains(kPosition) || !f.strPendingAnchor.isEmpty()) {
        const QString &source = f.strPendingAnchor.isEmpty() ? address : f.strPendingAnchor;
        // Past the marker and one separator; without a marker this still skips
        // 19 characters, so short index anchors give no position at all.
        positionText = source.mid(source.indexOf(kPosition) + kPosition.size() + 1);
    } else {
        run([&] { positionText = content(positionElem); });
    }
    ignoring = false;

    step.label = QStringLiteral("Definizione file Audio");
    if (fileName.isEmpty())
        return finish();
    if (!fileName.contains(QLatin1Char('/')) && !fileName.contains(QLatin1Char('\\')) && !address.trimmed().isEmpty()) {
        cleanFolder(folder);
        fileName = folder + fileName;
    }
    bool video = false;
    if (!hasExtension(fileName)) {
        for (const Extension &ext : kExtensions) {
            const QString candidate = fileName + QLatin1String(ext.text);
            bool exists = false;
            run([&] { exists = f.ports.files.fileExists(candidate); });
            if (exists) {
                fileName = candidate;
                video = ext.video;
                break;
            }
        }
    }

    // Beside the page, then in the application folder, then in its Libro
    // folder; each group of tests runs on a fresh helper.
    auto renewHelper = [&] { f.oFso = true; };
    auto exists = [&](const QString &path) {
        bool found = false;
        run([&] { found = f.ports.files.fileExists(path); });
        return found;
    };
    renewHelper();
    step.label = QStringLiteral("Controllo esistenza file ") + fileName;
    QString path = fileName;
    if (!exists(path)) {
        cleanFolder(folder);
        path = folder + fileName;
    }
    renewHelper();
    step.label = QStringLiteral("Controllo esistenza file1");
    if (!exists(path)) {
        path = f.appFolder + QStringLiteral("\\") + fileName;
        if (!exists(path))
            path = f.appFolder + QStringLiteral("\\Libro\\") + fileName;
    }
    renewHelper();
    step.label = QStringLiteral("Controllo esistenza file2");
    if (!exists(path))
        return finish(); // not found anywhere: no message

    if (video) {
        // A video is loaded without starting, at normal speed.
        run([&] { f.player().setAutoStart(false); });
        run([&] { f.player().setRate(1.0f); });
        run([&] { f.player().setFileName(path); });
    } else {
        run([&] { f.player().setAutoStart(true); });
        run([&] { f.player().setRate(f.feedback.PlayerRate()); });
        run([&] { f.player().setFileName(path); }); // auto-start plays it
        if (!positionText.isEmpty()) {
            run([&] { f.ports.pump.processEvents(); });
            run([&] { f.player().setCurrentPosition(conv::toDouble(positionText)); });
        }
    }
    step.label = QStringLiteral("do events");
    run([&] { f.ports.pump.processEvents(); });
    run([&] { f.player().setRate(f.feedback.PlayerRate()); });
    result = true;
    return finish();
}

void PageAudio::oPlayer_PlayStateChange(qint32 NewMode)
{
    Guard(f.er, QStringLiteral("Player:PlayStateChange"), [&] {
        if (NewMode == 8) // media ended: the page's next audio, or the next page
            Playaudio(QString(), true, false);
    });
}

void PageAudio::oPlayer_PlayFileChange(const QString &NewFile)
{
    Guard(f.er, QStringLiteral("oPlayer_PlayFileChange"), [&] { f.TxtDebFilename.setText(NewFile); });
}

} // namespace qyr
