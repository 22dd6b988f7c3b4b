#include "books.h"
#include "../platform/bookpath.h"
#include "../shell/frmbrowser.h"

namespace qyr {

namespace {
const QString kIndex = QStringLiteral("Index.htm");
const QString kChooserTitle = QStringLiteral("Apri un libro");
const QString kNoneOpened = QStringLiteral("Nessun libro aperto: si continua con quello di prima.");
} // namespace

QString bookFolderOf(IFiles &files, const QString &folderOrIndex)
{
    const QString given = pathFromAddress(folderOrIndex);
    if (given.isEmpty())
        return QString();
    if (files.folderExists(given))
        return files.fileExists(joinPath(given, kIndex)) ? given : QString();
    if (given.section(QLatin1Char('/'), -1).section(QLatin1Char('\\'), -1).compare(kIndex, Qt::CaseInsensitive) == 0 &&
        files.fileExists(given))
        return folderOf(given);
    return QString();
}

Books::Books(frmBrowser &f) : f(f), folder_(f.ports.appFolder) {}

QString Books::indexPage() const { return joinPath(folder_, kIndex); }

void Books::openAtStart()
{
    Guard(f.er, QStringLiteral("Apertura del libro"), [&] { enter(folder_); });
}

// The book's own settings opened and the book remembered for the next start:
// one durable save at most, and none when nothing changed.
void Books::enter(const QString &folder)
{
    f.view.transaction([&] {
        f.view.openBook(folder);
        f.view.setLastBook(folder);
    });
}

void Books::chooseAndOpen()
{
    Guard(f.er, QStringLiteral("Apri libro"), [&] {
        const std::optional<QString> chosen = f.ports.dialogs.chooseFolder(kChooserTitle, folderOf(folder_));
        if (!chosen || chosen->isEmpty()) {
            f.feedback.OSD(kNoneOpened, false);
            return;
        }
        open(*chosen);
    });
}

bool Books::open(const QString &folderOrIndex)
{
    const QString folder = bookFolderOf(f.ports.files, folderOrIndex);
    if (folder.isEmpty()) {
        f.ports.dialogs.message(kChooserTitle,
                                QStringLiteral("La cartella %1 non contiene un libro: manca il file Index.htm.")
                                    .arg(pathFromAddress(folderOrIndex)),
                                Buttons::Ok, Icon::Warning);
        f.feedback.OSD(kNoneOpened, false);
        return false;
    }
    // The book being left keeps its place, as at exit.
    f.startup.savePlace();
    if (f.oPlayer && f.oPlayer->hasCurrentPlayer())
        f.oPlayer->Stop_Player();
    enter(folder);
    folder_ = folder;
    f.marks.ClearMarcatori();
    f.about.openReadingPlace();
    f.feedback.OSD(QStringLiteral("Libro aperto: %1").arg(folder), false);
    return true;
}

} // namespace qyr
