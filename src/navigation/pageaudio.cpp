#include "pageaudio.h"
#include "../platform/bookpath.h"
#include "../platform/browser.h"
#include "../platform/convert.h"
#include "../platform/errorreport.h"
#include "../platform/errors.h"
#include "../platform/files.h"
#include "../platform/openbook.h"
#include "../platform/pump.h"
#include "../services/feedback.h"
#include "../services/messages.h"
#include "../services/playersettings.h"
#include "../services/playerslot.h"

#include <QFileInfo>

#include <algorithm>
#include <array>
#include <limits>
#include <utility>

namespace qyr {

namespace {

const QString kAudio = QStringLiteral("QYRPLAYER_AUDIO");
const QString kPosition = QStringLiteral("QYRPLAYER_AUDIO_POS");
const QString kNextPage = QStringLiteral("QYRPLAYER_AUDIO_NEXTHTML_");
// More audio elements than any page has: the search for a file's element ends.
constexpr qint32 kMaxElements = 1000;

struct Extension {
    const char *text;
    bool video;
};
// Tried in this order on a name without extension.
constexpr std::array<Extension, 6> kExtensions{
    {{".wma", false}, {".wmv", true}, {".mp3", false}, {".wav", false}, {".m1v", true}, {".avi", true}}};

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

QString PageAudio::content(const QString &elementName) { return u.browser.element(elementName).content; }

// The folder of the page shown, as a URL. The location name is the page's
// title for most pages, not its file name, so the folder is cut from the
// location URL itself (anchor and query dropped first: they may hold "/").
QString PageAudio::nextPageBase()
{
    QString base = u.browser.locationURL();
    const int hash = base.indexOf(QLatin1Char('#'));
    if (hash >= 0)
        base.truncate(hash);
    const int query = base.indexOf(QLatin1Char('?'));
    if (query >= 0)
        base.truncate(query);
    const int cut = std::max(base.lastIndexOf(QLatin1Char('/')), base.lastIndexOf(QLatin1Char('\\')));
    return base.left(cut + 1);
}

// Beside the page, then in the application folder, then in its Libro
// folder; at each place a name without extension gets the first extension
// that exists there. Empty when the file is nowhere.
QString PageAudio::findAudio(const QString &name, const QString &pageFolder, bool &video, StepLabel &step)
{
    QStringList places;
    if (!pageFolder.isEmpty())
        places << pageFolder;
    places << u.book.folder() << joinPath(u.book.folder(), QStringLiteral("Libro"));
    // A failing look-up counts as "not there": the next place is tried.
    auto exists = [&](const QString &path) {
        bool found = false;
        IgnoreFailure([&] { found = u.files.fileExists(path); });
        return found;
    };
    const bool completed = hasExtension(name);
    for (const QString &place : places) {
        const QString path = joinPath(place, name);
        step.label = QStringLiteral("Controllo esistenza file ") + path;
        if (completed) {
            if (exists(path))
                return path;
            continue;
        }
        for (const Extension &ext : kExtensions) {
            if (exists(path + QLatin1String(ext.text))) {
                video = ext.video;
                return path + QLatin1String(ext.text);
            }
        }
        if (exists(path)) // a file really named without extension
            return path;
    }
    return QString();
}

QString PageAudio::locate(const QString &name, const QString &pageFolder)
{
    StepLabel step{QString(), QString()};
    bool video = false;
    return findAudio(name, pageFolder, video, step);
}

// Moves to the page's next or previous audio element. False when the page
// goes on with its next page instead (the new page plays its own audio).
// Past the largest element number the reader is told, and the same element
// is read again.
bool PageAudio::stepElement(bool next, StepLabel &step)
{
    step.label = QStringLiteral("Next o Prev Audio");
    if (next && nAudioIndex == std::numeric_limits<qint32>::max())
        u.er.report(step.text(), err::Overflow);
    else if (next)
        ++nAudioIndex;
    else if (nAudioIndex >= 1)
        --nAudioIndex;
    oAudioElem = elementName(nAudioIndex);
    // A missing element reads as empty here.
    QString audioName;
    IgnoreFailure([&] { audioName = content(oAudioElem); });
    if (!audioName.isEmpty())
        return true;
    oAudioElem = kNextPage + QString::number(nAudioIndex);
    QString nextPage;
    IgnoreFailure([&] { nextPage = content(oAudioElem); });
    if (nextPage.isEmpty())
        return true;
    IgnoreFailure([&] { u.browser.navigate(nextPageBase() + nextPage); });
    return false;
}

// The start position of the audio chosen: from the address (an index entry)
// or from the page's position element of that audio.
QString PageAudio::startPosition(const QString &address)
{
    if (address.contains(kPosition)) {
        // Past the marker and one separator.
        return address.mid(address.indexOf(kPosition) + kPosition.size() + 1);
    }
    const QString element = nAudioIndex > 0 ? kPosition + QLatin1Char('_') + QString::number(nAudioIndex) : kPosition;
    QString text;
    IgnoreFailure([&] { text = content(element); });
    return text;
}

void PageAudio::keepPlaceForReload()
{
    Place p;
    IgnoreFailure([&] {
        p.file = u.player.get().FileName();
        p.position = u.player.get().CurrentPosition();
        p.playing = u.player.get().IsPlaying();
    });
    p.page = pathFromAddress(u.browser.locationURL());
    p.index = nAudioIndex;
    p.element = oAudioElem;
    reloadPlace_ = p;
}

// After a reload of the same page (a new style sheet), the reading goes on
// from the file and position it had; any other page starts afresh.
bool PageAudio::resumeAfterReload(const QString &address)
{
    const std::optional<Place> p = std::exchange(reloadPlace_, std::nullopt);
    if (!p || p->file.isEmpty() || pathFromAddress(address) != p->page)
        return false;
    nAudioIndex = p->index;
    oAudioElem = p->element;
    u.player.get().setAutoStart(p->playing);
    u.player.get().setRate(u.feedback.PlayerRate());
    u.player.get().setFileName(p->file);
    u.player.get().setCurrentPosition(p->position);
    return true;
}

double PageAudio::loadedDuration()
{
    // The length is known once the player has opened the file; a file that
    // never opens gives up after a while with what there is.
    const qint64 until = u.pump.nowMs() + 3000;
    double d = 0;
    for (;;) {
        IgnoreFailure([&] { d = u.player.get().Duration().toDouble(); });
        if (d > 0 || u.pump.nowMs() >= until)
            return d;
        u.pump.sleep(20);
    }
}

void PageAudio::hand(const QString &path, bool video, const QString &positionText, StepLabel &step)
{
    auto run = [&](auto &&statement) { Guard(u.er, step, statement); };
    if (video) {
        // A video the page reads in plays (in the video window) at normal
        // speed, and the page's next audio follows its end: loaded without
        // starting, it would leave the reading stopped without a word.
        run([&] { u.player.get().setAutoStart(true); });
        run([&] { u.player.get().setRate(1.0f); });
        run([&] { u.player.get().setFileName(path); });
    } else {
        run([&] { u.player.get().setAutoStart(true); });
        run([&] { u.player.get().setRate(u.feedback.PlayerRate()); });
        run([&] { u.player.get().setFileName(path); }); // auto-start plays it
        if (!positionText.isEmpty()) {
            run([&] { u.pump.processEvents(); });
            // One that is no number is told, and the file plays from its start.
            if (const Result<double> at = conv::tryDouble(positionText))
                run([&] { u.player.get().setCurrentPosition(*at); });
            else
                u.er.report(step.text(), at.failure());
        }
    }
    step.label = QStringLiteral("do events");
    run([&] { u.pump.processEvents(); });
    run([&] { u.player.get().setRate(u.feedback.PlayerRate()); });
}

// A pending resume of the last session applies to whatever now plays; a
// reload of the page goes on without a word if it cannot.
void PageAudio::resumeLastSession(bool quiet, StepLabel &step)
{
    if (!bResumePending)
        return;
    auto resume = [&] {
        const QString saved = u.prefs.stored(QStringLiteral("BranoPos"));
        u.player.get().setCurrentPosition(conv::toDouble(saved));
    };
    if (quiet)
        IgnoreFailure(resume);
    else
        Guard(u.er, step, resume);
    bResumePending = false;
}

const QString &PageAudio::reloadAddress()
{
    static const QString address = QStringLiteral("LOCATION.RELOAD");
    return address;
}

QString PageAudio::elementName(qint32 index)
{
    return index != 0 ? kAudio + QLatin1Char('_') + QString::number(index) : kAudio;
}

// The audio of the page the last session ended in, when that page names it
// still; otherwise its first audio (a place saved without one included).
qint32 PageAudio::resumedIndex()
{
    if (!bResumePending)
        return 0;
    bool ok = false;
    const qint32 index = u.prefs.stored(resumeAudioKey()).toInt(&ok);
    if (!ok || index < 1)
        return 0;
    QString name;
    IgnoreFailure([&] { name = content(elementName(index)); });
    return name.trimmed().isEmpty() ? 0 : index;
}

const QString &PageAudio::resumeAudioKey()
{
    static const QString key = QStringLiteral("BranoAudio");
    return key;
}

// The element to play: the page's first audio (or the one the last session
// ended in), or the next or previous one. False when there is none.
bool PageAudio::chooseElement(bool next, bool previous, StepLabel &step)
{
    if (!next && !previous) {
        nAudioIndex = resumedIndex();
        oAudioElem = elementName(nAudioIndex);
        return true;
    }
    if (previous && !next && nAudioIndex < 1) {
        resumeLastSession(false, step); // the first audio has none before it
        return false;
    }
    return stepElement(next, step);
}

bool PageAudio::Playaudio(const QString &address, AudioChoice which)
{
    const bool next = which == AudioChoice::Next;
    const bool previous = which == AudioChoice::Previous;
    if (bDisableState)
        return false; // a bookmark recall is stopping the old file: no chaining

    // Named at each step after which a failure can be reported.
    StepLabel step{QStringLiteral("Playaudio - "), QString()};
    auto nothingPlayed = [&](bool quiet = false) {
        resumeLastSession(quiet, step);
        return false;
    };
    // The folder of the page that names the audio: the page being loaded, or
    // the page on show for its next and previous audio.
    const QString pageFolder = folderOf(pathFromAddress(address.isEmpty() ? u.browser.locationURL() : address));

    step.label = QStringLiteral("Stop Audio 1");
    Guard(u.er, step, [&] { u.player.get().Stop_Player(); });

    step.label = QStringLiteral("2");
    if (address == reloadAddress()) {
        // The file stopped above plays again, and the reading goes on from
        // it: the page's audio being read stays the one after which the
        // next follows.
        IgnoreFailure([&] { u.player.get().Play_Player(); });
        return nothingPlayed(true);
    }
    const bool stepped = next || previous;
    const int indexBefore = nAudioIndex;
    if (!chooseElement(next, previous, step))
        return false;
    if (!stepped && resumeAfterReload(address))
        return true;

    QString fileName;
    IgnoreFailure([&] { fileName = content(oAudioElem).trimmed(); });
    const QString positionText = startPosition(address);

    step.label = QStringLiteral("Definizione file Audio");
    if (fileName.isEmpty())
        return nothingPlayed();
    bool video = false;
    const QString path = findAudio(fileName, pageFolder, video, step);
    if (path.isEmpty()) {
        // Told, so the reader knows why the page is silent. Going back stays
        // on the audio that was playing.
        if (previous)
            nAudioIndex = indexBefore;
        u.feedback.OSD(notice::audioNotFound(fileName), false);
        return nothingPlayed();
    }
    step.label = QStringLiteral("Controllo esistenza file2");
    hand(path, video, positionText, step);
    resumeLastSession(false, step);
    return true;
}

bool PageAudio::followFile(const QString &fileName)
{
    const QString wanted = QFileInfo(fileName).fileName();
    const QString wantedBase = QFileInfo(fileName).completeBaseName();
    if (wanted.isEmpty())
        return false;
    for (qint32 index = 0; index < kMaxElements; ++index) {
        QString name;
        IgnoreFailure([&] { name = content(elementName(index)).trimmed(); });
        if (name.isEmpty())
            return false; // past the page's last audio
        // The element may name the file without its extension or with a folder.
        name.replace(QLatin1Char('\\'), QLatin1Char('/'));
        const QString given = QFileInfo(name).fileName();
        const bool same = given.compare(wanted, Qt::CaseInsensitive) == 0 ||
                          (!hasExtension(given) && given.compare(wantedBase, Qt::CaseInsensitive) == 0);
        if (same) {
            nAudioIndex = index;
            oAudioElem = elementName(index);
            return true;
        }
    }
    return false;
}

void PageAudio::oPlayer_PlayStateChange(qint32 NewMode)
{
    Guard(u.er, QStringLiteral("Player:PlayStateChange"), [&] {
        // A link's video that ends or is stopped gives the page its audio back.
        if ((NewMode == 8 || NewMode == 1) && resumeAfterVideo())
            return;
        if (NewMode == 8) // media ended: the page's next audio, or the next page
            Playaudio(QString(), AudioChoice::Next);
    });
}

void PageAudio::oPlayer_PlayFileChange(const QString &NewFile)
{
    Guard(u.er, QStringLiteral("oPlayer_PlayFileChange"), [&] { u.TxtDebFilename.setText(NewFile); });
}

// The page on show, as a path: the anchor of a jump inside it does not count.
QString PageAudio::pageOnShow() { return pathFromAddress(u.browser.locationURL().section(QLatin1Char('#'), 0, 0)); }

void PageAudio::playLinkVideo(const QString &file)
{
    const QString page = pageOnShow();
    QString loaded;
    IgnoreFailure([&] { loaded = u.player.get().FileName(); });
    // A video that follows another one gives back what the first interrupted.
    if (!interrupted_ || interrupted_->video != loaded || interrupted_->page != page) {
        Interrupted i{page, QString(), std::nullopt};
        if (!loaded.isEmpty()) {
            Place p;
            p.page = page;
            p.file = loaded;
            IgnoreFailure([&] { p.position = u.player.get().CurrentPosition(); });
            p.index = nAudioIndex;
            p.element = oAudioElem;
            i.audio = p;
        }
        interrupted_ = i;
    }
    u.player.get().setFileName(file);
    u.player.get().Play_Player();
    IgnoreFailure([&] { interrupted_->video = u.player.get().FileName(); });
}

// True when the player's file was a link's video over the page on show: the
// audio it interrupted is loaded again, playing, where it was.
bool PageAudio::resumeAfterVideo()
{
    if (!interrupted_)
        return false;
    const Interrupted i = *std::exchange(interrupted_, std::nullopt);
    QString loaded;
    IgnoreFailure([&] { loaded = u.player.get().FileName(); });
    if (loaded != i.video || pageOnShow() != i.page)
        return false; // the reading has moved on since
    if (!i.audio)
        return true; // nothing was being read: the video just ends
    nAudioIndex = i.audio->index;
    oAudioElem = i.audio->element;
    u.player.get().Stop_Player();
    u.player.get().setAutoStart(true);
    u.player.get().setRate(u.feedback.PlayerRate());
    u.player.get().setFileName(i.audio->file);
    if (i.audio->position > 0) {
        u.pump.processEvents();
        u.player.get().setCurrentPosition(i.audio->position);
    }
    return true;
}

} // namespace qyr
