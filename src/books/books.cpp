#include "books.h"
#include "../platform/bookpath.h"
#include "../shell/frmbrowser.h"

namespace qyr {

namespace {
const QString kIndex = QStringLiteral("Index.htm");
const QString kChooserTitle = QStringLiteral("Apri un libro");
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
    Guard(f.er, QStringLiteral("Apertura del libro"), [&] {
        // One durable save at most, and none when nothing changed.
        f.view.transaction([&] {
            f.view.openBook(folder_);
            f.view.setLastBook(folder_);
        });
    });
}

void Books::chooseAndOpen()
{
    Guard(f.er, QStringLiteral("Apri libro"), [&] {
        const std::optional<QString> chosen = f.ports.dialogs.chooseFolder(kChooserTitle, folderOf(folder_));
        if (!chosen || chosen->isEmpty()) {
            f.feedback.OSD(QStringLiteral("Nessun libro aperto: si continua con quello di prima."), false);
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
        f.feedback.OSD(QStringLiteral("Nessun libro aperto: si continua con quello di prima."), false);
        return false;
    }
    // The book being left keeps its place, as at exit.
    f.startup.savePlace();
    if (f.oPlayer && f.oPlayer->hasCurrentPlayer())
        f.oPlayer->Stop_Player();
    f.view.transaction([&] {
        f.view.openBook(folder);
        f.view.setLastBook(folder);
    });
    folder_ = folder;
    f.marks.ClearMarcatori();
    f.about.openReadingPlace();
    f.feedback.OSD(QStringLiteral("Libro aperto: %1").arg(folder), false);
    return true;
}

} // namespace qyr
