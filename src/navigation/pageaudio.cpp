#include "pageaudio.h"
#include "../platform/bookpath.h"
#include "../platform/convert.h"
#include "../shell/frmbrowser.h"

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
constexpr std::array<Extension, 6> kExtensions{{{".wma", false},
                                                {".wmv", true},
                                                {".mp3", false},
                                                {".wav", false},
                                                {".m1v", true},
                                                {".avi", true}}};

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

// Beside the page, then in the application folder, then in its Libro
// folder; at each place a name without extension gets the first extension
// that exists there. Empty when the file is nowhere.
QString PageAudio::findAudio(const QString &name, const QString &pageFolder, bool &video, StepLabel &step)
{
    QStringList places;
    if (!pageFolder.isEmpty())
        places << pageFolder;
    places << f.books.folder() << joinPath(f.books.folder(), QStringLiteral("Libro"));
    // A failing look-up counts as "not there": the next place is tried.
    auto exists = [&](const QString &path) {
        bool found = false;
        IgnoreFailure([&] { found = f.ports.files.fileExists(path); });
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
bool PageAudio::stepElement(bool next, StepLabel &step)
{
    step.label = QStringLiteral("Next o Prev Audio");
    const bool moved = Guard(f.er, step, [&] {
        if (next) {
            if (nAudioIndex == std::numeric_limits<qint32>::max())
                throw QyrError(err::Overflow);
            ++nAudioIndex;
        } else if (nAudioIndex >= 1) {
            --nAudioIndex;
        }
    });
    Q_UNUSED(moved);
    step.label = QStringLiteral("Get QYRPLAYER_AUDIO");
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
    IgnoreFailure([&] { f.ports.browser.navigate(nextPageBase() + nextPage); });
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
        p.file = f.player().FileName();
        p.position = f.player().CurrentPosition();
        p.playing = f.player().IsPlaying();
    });
    p.page = pathFromAddress(f.ports.browser.locationURL());
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
    f.player().setAutoStart(p->playing);
    f.player().setRate(f.feedback.PlayerRate());
    f.player().setFileName(p->file);
    f.player().setCurrentPosition(p->position);
    return true;
}

double PageAudio::loadedDuration()
{
    // The length is known once the player has opened the file; a file that
    // never opens gives up after a while with what there is.
    const qint64 until = f.ports.pump.nowMs() + 3000;
    double d = 0;
    for (;;) {
        IgnoreFailure([&] { d = f.player().Duration().toDouble(); });
        if (d > 0 || f.ports.pump.nowMs() >= until)
            return d;
        f.ports.pump.sleep(20);
    }
}

void PageAudio::hand(const QString &path, bool video, const QString &positionText, StepLabel &step)
{
    auto run = [&](auto &&statement) { Guard(f.er, step, statement); };
    if (video) {
        // A video the page reads in plays (in the video window) at normal
        // speed, and the page's next audio follows its end: loaded without
        // starting, it would leave the reading stopped without a word.
        run([&] { f.player().setAutoStart(true); });
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
}

// A pending resume of the last session applies to whatever now plays; a
// reload of the page goes on without a word if it cannot.
void PageAudio::resumeLastSession(bool quiet, StepLabel &step)
{
    if (!bResumePending)
        return;
    auto resume = [&] {
        const QString saved = f.prefs.stored(QStringLiteral("BranoPos"));
        f.player().setCurrentPosition(conv::toDouble(saved));
    };
    if (quiet)
        IgnoreFailure(resume);
    else
        Guard(f.er, step, resume);
    bResumePending = false;
}

const QString &PageAudio::reloadAddress()
{
    static const QString address = QStringLiteral("LOCATION.RELOAD");
    return address;
}

QString PageAudio::elementName(qint32 index) { return index != 0 ? kAudio + QLatin1Char('_') + QString::number(index) : kAudio; }

// The audio of the page the last session ended in, when that page names it
// still; otherwise its first audio (a place saved without one included).
qint32 PageAudio::resumedIndex()
{
    if (!bResumePending)
        return 0;
    bool ok = false;
    const qint32 index = f.prefs.stored(resumeAudioKey()).toInt(&ok);
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

bool PageAudio::Playaudio(const QString &address, bool next, bool previous)
{
    if (bDisableState)
        return false; // a bookmark recall is stopping the old file: no chaining

    StepLabel step{QStringLiteral("Playaudio - "), QStringLiteral("Inizio Ricerca URL")};
    auto nothingPlayed = [&](bool quiet = false) {
        resumeLastSession(quiet, step);
        return false;
    };
    // The folder of the page that names the audio: the page being loaded, or
    // the page on show for its next and previous audio.
    const QString pageFolder = folderOf(pathFromAddress(address.isEmpty() ? f.ports.browser.locationURL() : address));

    step.label = QStringLiteral("Stop Audio 1");
    Guard(f.er, step, [&] { f.player().Stop_Player(); });

    step.label = QStringLiteral("2");
    if (address == reloadAddress()) {
        // The file stopped above plays again, and the reading goes on from
        // it: the page's audio being read stays the one after which the
        // next follows.
        step.label = QStringLiteral("Play_Player 1");
        IgnoreFailure([&] { f.player().Play_Player(); });
        return nothingPlayed(true);
    }
    const bool stepped = next || previous;
    const int indexBefore = nAudioIndex;
    if (!chooseElement(next, previous, step))
        return false;
    if (!stepped && resumeAfterReload(address))
        return true;

    step.label = QStringLiteral("QYRPLAYER_AUDIO_POS");
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
        f.feedback.OSD(notice::audioNotFound(fileName), false);
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
    Guard(f.er, QStringLiteral("Player:PlayStateChange"), [&] {
        // A link's video that ends or is stopped gives the page its audio back.
        if ((NewMode == 8 || NewMode == 1) && resumeAfterVideo())
            return;
        if (NewMode == 8) // media ended: the page's next audio, or the next page
            Playaudio(QString(), true, false);
    });
}

void PageAudio::oPlayer_PlayFileChange(const QString &NewFile)
{
    Guard(f.er, QStringLiteral("oPlayer_PlayFileChange"), [&] { f.TxtDebFilename.setText(NewFile); });
}

// The page on show, as a path: the anchor of a jump inside it does not count.
QString PageAudio::pageOnShow() { return pathFromAddress(f.ports.browser.locationURL().section(QLatin1Char('#'), 0, 0)); }

void PageAudio::playLinkVideo(const QString &file)
{
    const QString page = pageOnShow();
    QString loaded;
    IgnoreFailure([&] { loaded = f.player().FileName(); });
    // A video that follows another one gives back what the first interrupted.
    if (!interrupted_ || interrupted_->video != loaded || interrupted_->page != page) {
        Interrupted i{page, QString(), std::nullopt};
        if (!loaded.isEmpty()) {
            Place p;
            p.page = page;
            p.file = loaded;
            IgnoreFailure([&] { p.position = f.player().CurrentPosition(); });
            p.index = nAudioIndex;
            p.element = oAudioElem;
            i.audio = p;
        }
        interrupted_ = i;
    }
    f.player().setFileName(file);
    f.player().Play_Player();
    IgnoreFailure([&] { interrupted_->video = f.player().FileName(); });
}

// True when the player's file was a link's video over the page on show: the
// audio it interrupted is loaded again, playing, where it was.
bool PageAudio::resumeAfterVideo()
{
    if (!interrupted_)
        return false;
    const Interrupted i = *std::exchange(interrupted_, std::nullopt);
    QString loaded;
    IgnoreFailure([&] { loaded = f.player().FileName(); });
    if (loaded != i.video || pageOnShow() != i.page)
        return false; // the reading has moved on since
    if (!i.audio)
        return true; // nothing was being read: the video just ends
    nAudioIndex = i.audio->index;
    oAudioElem = i.audio->element;
    f.player().Stop_Player();
    f.player().setAutoStart(true);
    f.player().setRate(f.feedback.PlayerRate());
    f.player().setFileName(i.audio->file);
    if (i.audio->position > 0) {
        f.ports.pump.processEvents();
        f.player().setCurrentPosition(i.audio->position);
    }
    return true;
}

} // namespace qyr
