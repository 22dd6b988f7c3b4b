#include "impexppanel.h"
#include "../bookmarks/bookmarkstore.h"
#include "../books/bookview.h"
#include "../platform/bookpath.h"
#include "../platform/browser.h"
#include "../platform/convert.h"
#include "../platform/dialogs.h"
#include "../platform/errorreport.h"
#include "../platform/errors.h"
#include "../platform/files.h"
#include "../platform/hive.h"
#include "../services/feedback.h"
#include "../services/messages.h"
#include "../services/playersettings.h"
#include "registryexchange.h"

#include <QDateTime>
#include <QDir>
#include <QRegularExpression>

#include <algorithm>

namespace qyr {

namespace {

const QString kExportTitle = QStringLiteral("Esportazione Marcatori LUMO");
const QString kImportTitle = QStringLiteral("Importazione Marcatori LUMO");
const QString kTestExportName = QStringLiteral("provatxt.reg");
// Safety copies: dated, so that the names sort from the oldest; never overwritten.
const QString kCopyPrefix = QStringLiteral("QYRPlayer_Backup_");
const QString kCopiesFolder = QStringLiteral("copie-di-sicurezza");
constexpr int kCopiesKept = 10;

// A drive entry as a folder: "C:" is the root of drive C.
QString driveFolder(const QString &drive)
{
    QString d = QDir::toNativeSeparators(drive);
    static const QRegularExpression bareDrive(QStringLiteral("^[A-Za-z]:$"));
    if (bareDrive.match(d).hasMatch())
        d += QLatin1Char('\\');
    return d;
}

// A drive root already ends with its separator: no second one.
QString inFolder(const QString &folder, const QString &name)
{
    if (folder.endsWith(QLatin1Char('/')) || folder.endsWith(QLatin1Char('\\')))
        return folder + name;
    return folder + QDir::separator() + name;
}

// The exported file is always a ".REG" file. Only a last extension is
// replaced, and only one that looks like an extension (up to five letters or
// digits, a letter among them): "segnalibri 12.03.2025" keeps its date.
QString withRegExtension(const QString &name)
{
    static const QRegularExpression extension(QStringLiteral("\\.(?=[A-Za-z0-9]{0,4}[A-Za-z])[A-Za-z0-9]{1,5}$"));
    QString base = name;
    base.remove(extension);
    return base + QStringLiteral(".REG");
}

// The folder and each folder above it, from the root down, as native paths.
QStringList foldersFromRoot(const QString &folder)
{
    QString p = QDir::cleanPath(QDir::fromNativeSeparators(folder));
    QStringList out;
    for (;;) {
        out.prepend(QDir::toNativeSeparators(p));
        if (p.endsWith(QLatin1Char('/')))
            break; // "/" or "C:/"
        QString parent = p.left(p.lastIndexOf(QLatin1Char('/')));
        if (parent.isEmpty() || parent.endsWith(QLatin1Char(':')))
            parent += QLatin1Char('/');
        if (parent == p || !p.contains(QLatin1Char('/')))
            break;
        p = parent;
    }
    return out;
}

} // namespace

ImpExpPanel::ImpExpPanel(Uses uses) : u(std::move(uses)) {}

void ImpExpPanel::connect()
{
    if (connected_)
        return;
    connected_ = true;
    // Design properties of the panel's own controls.
    u.chooser.Drive.setToolTip(QStringLiteral("Elenco Unità disco"));
    u.chooser.Dir.setToolTip(QStringLiteral("Elenco Directory"));
    u.chooser.TextFileName.setToolTip(QStringLiteral("Nome file da Importare - Esportare"));
    if (u.chooser.File.pattern().isEmpty())
        u.chooser.File.setPattern(QStringLiteral("*.reg;*.qyr"));
    for (int i = 0; i < int(u.bookmarks.cmdImpExp.size()); ++i)
        u.bookmarks.cmdImpExp[size_t(i)].Click.connect([this, i] { cmdImpExp_Click(i); });
    u.chooser.Drive.Change.connect([this] { Drive_Change(); });
    // The folder list shows the new folder before its handler runs, as the
    // list control itself would.
    u.chooser.Dir.Change.connect([this] {
        listFolders();
        Dir_Change();
    });
    u.chooser.File.Change.connect([this] { listFiles(); });
    u.chooser.File.Click.connect([this] { File_Click(); });
    u.chooser.Command1.Click.connect([this] { Command1_Click(); });
    // However the bookmark panel closes, the import/export panel inside it
    // closes too: it would otherwise open again with the list hidden.
    u.bookmarks.fraMarcatori.PropertyChanged.connect([this](Prop prop) {
        if (prop == Prop::Visible && !u.bookmarks.fraMarcatori.visible() && u.chooser.frmImpExp.visible())
            cancelPanel();
    });
}

void ImpExpPanel::cancelPanel()
{
    for (int i : {0, 1, 4})
        u.bookmarks.cmdImpExp[size_t(i)].setVisible(true);
    u.bookmarks.ListMarkers.setVisible(true);
    u.chooser.frmImpExp.setVisible(false);
}

void ImpExpPanel::cmdImpExp_Click(int Index)
{
    const QString name = QStringLiteral("cmdImpExp_Click");
    Guard(u.er, name, [&] {
        switch (Index) {
        case 0: openPanel(true); break;
        case 1: openPanel(false); break;
        case 2:
            // A refused import is reported here, and the panel stays open.
            if (const Result<Done> done = runOk(); !done)
                u.er.report(name, done.failure());
            break;
        case 3: cancelPanel(); break;
        case 4:
            ListClosed();
            u.bookmarks.fraMarcatori.setVisible(false);
            u.objwb.setVisible(true);
            break;
        default: break;
        }
    });
}

void ImpExpPanel::openPanel(bool forExport)
{
    for (int i : {0, 1, 4})
        u.bookmarks.cmdImpExp[size_t(i)].setVisible(false);
    u.bookmarks.ListMarkers.setVisible(false);
    u.chooser.frmImpExp.setCaption(forExport ? QStringLiteral("   Esportazione Marcatori   ")
                                             : QStringLiteral("   Importazione Marcatori   "));
    u.chooser.TextFileName.setVisible(forExport);
    u.chooser.lblNomeFile.setVisible(u.chooser.TextFileName.visible());
    u.chooser.File.setTop(forExport ? u.bookmarks.cmdImpExp[3].top() : u.chooser.Dir.top());
    // A window made very small leaves no room for the list; the panel works all the same.
    u.chooser.File.setHeight(std::max(0.0f, u.chooser.frmImpExp.height() - (u.chooser.File.top() + 200.0f)));
    u.chooser.File.setPattern(forExport ? QStringLiteral("*.reg") : QStringLiteral("*.qyr;*.reg"));

    // Volumes come and go and files change while the panel is closed.
    listDrives();
    if (u.chooser.Dir.path().isEmpty())
        u.chooser.Dir.setPath(folderOfDrive(u.chooser.Drive.path()));
    else
        listFolders();
    if (u.chooser.File.path() != u.chooser.Dir.path())
        u.chooser.File.setPath(u.chooser.Dir.path());
    else
        listFiles();
    // Shown last, with its name box (export) or not (import) and its lists
    // filled: the keyboard lands in the right place, and no list refilled
    // after it draws a screen reader's attention away.
    u.chooser.frmImpExp.setVisible(true);
}

Result<Done> ImpExpPanel::runOk()
{
    const bool exporting = u.chooser.TextFileName.visible();
    // An import takes the file chosen in the list, never a name left in the
    // hidden name box by an earlier export.
    const int chosen = u.chooser.File.listIndex();
    const QString name = exporting                                               ? u.chooser.TextFileName.text()
                         : chosen >= 0 && chosen < u.chooser.File.items().size() ? u.chooser.File.items().at(chosen)
                                                                                 : QString();
    if (name.trimmed().isEmpty()) {
        // Nothing chosen yet: say what is missing and leave the panel open.
        say(exporting ? QStringLiteral("Scrivere il nome del file da esportare nella casella \"Nome file\".")
                      : QStringLiteral("Scegliere nell'elenco dei file il file da importare."));
        return Done{};
    }
    if (exporting) {
        exportTo(name, inFolder(u.chooser.Dir.path(), withRegExtension(name)));
    } else if (const Result<Done> imported = importFrom(inFolder(u.chooser.Dir.path(), name)); !imported) {
        return imported;
    }
    closePanel();
    return Done{};
}

void ImpExpPanel::exportTo(const QString &name, const QString &asked)
{
    IFiles &files = u.files;
    QString path = asked;
    if (files.fileExists(path)) {
        QString question = u.msg.strMsgSostFile;
        question.replace(QLatin1String("@FILE@"), name);
        if (u.dialogs.message(kExportTitle, question, Buttons::YesNoCancel, Icon::Question) != Answer::Yes)
            return;
        // A read-only file is replaced as well: the reader said so. It is not
        // deleted: the new file takes its place only once written whole.
        // The same file is replaced, whatever the letter case it was found in.
        const QString existing = files.resolve(path);
        if (!existing.isEmpty())
            path = existing;
        // One that stays read-only fails the write, which says so.
        if (!existing.isEmpty())
            static_cast<void>(files.makeWritable(existing));
    }
    const ExportResult r = u.exchange.exportKey(hkey::CurrentUser, programKey(), path, true, false);
    u.chooser.TextFileName.setText(QString());
    QString text;
    if (r.written && files.fileExists(path)) {
        text = u.msg.strMsgExportOk;
        text.replace(QLatin1String("@FILE@"), path);
        if (r.version5)
            text += QStringLiteral("\r\nIl file è in formato Unicode (Windows Registry Editor 5.00), perché le "
                                   "impostazioni contengono caratteri che il formato REGEDIT4 non può rappresentare.");
    } else {
        text = u.msg.strMsgExportKo;
        text.replace(QLatin1String("@FILE@"), path);
        if (!r.problem.isEmpty())
            text += QStringLiteral("\r\n") + r.problem;
    }
    say(text);
}

Result<Done> ImpExpPanel::importFrom(const QString &path)
{
    // The file is read whole and checked before anything else: one that
    // cannot be imported leaves the settings and the safety copies as they were.
    const Result<ImportPlan> planned = path.toUpper().contains(QLatin1String(".REG"))
                                           ? u.exchange.planTextFile(path)
                                           : u.exchange.planHive(programKey(), path, hkey::CurrentUser);
    if (!planned)
        return planned.failure();
    const ImportPlan &plan = *planned;
    if (plan.bookmarksDeleted > 0) {
        const QString question =
            plan.bookmarksDeleted == 1
                ? QStringLiteral("Importando il file %1 verrà cancellato 1 segnalibro su %2. Continuare?")
                      .arg(path)
                      .arg(plan.bookmarks)
                : QStringLiteral("Importando il file %1 verranno cancellati %2 segnalibri su %3. Continuare?")
                      .arg(path)
                      .arg(plan.bookmarksDeleted)
                      .arg(plan.bookmarks);
        if (u.dialogs.message(kImportTitle, question, Buttons::YesNo, Icon::Question) != Answer::Yes)
            return Done{};
    }

    const Result<QString> copy = makeSafetyCopy();
    if (!copy)
        return Failure{copy.failure().number, QStringLiteral("Copia di sicurezza delle impostazioni non riuscita: "
                                                             "l'importazione non è stata eseguita.\r\n") +
                                                  copy.failure().description};
    const Result<ImportResult> r = u.exchange.carryOut(plan);
    if (!r) {
        // Nothing changed: the copies stay as they were (one left behind is pruned later).
        static_cast<void>(u.files.deleteFile(*copy));
        return r.failure();
    }
    pruneSafetyCopies(path);

    // Whether reading is on is the reader's choice now, not the file's.
    u.prefs.save(QStringLiteral("AudioOff"), conv::fromBool(u.feedback.audioOff()));

    // The list as the page shows it on opening: on the table of contents,
    // the whole book's, imported bookmarks included.
    u.marks.listAsOpened(u.marks.wholeBookShown());

    QString text = u.msg.strMsgRipristinoOk;
    text.replace(QLatin1String("@FILE@"), path);
    text += QStringLiteral("\r\nLe impostazioni di prima sono salvate nella copia di sicurezza %1.").arg(*copy);
    const QString notice = r->notice();
    if (!notice.isEmpty())
        text += QStringLiteral("\r\n") + notice;
    say(text);
    return Done{};
}

Result<QString> ImpExpPanel::makeSafetyCopy()
{
    const QString folder = safetyCopiesFolder();
    if (!u.files.makeFolder(folder))
        return Failure{err::PathAccess, QStringLiteral("Impossibile creare la cartella %1.").arg(folder)};
    // A new name every time: a later import never writes over an earlier copy.
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss"));
    QString copy = inFolder(folder, kCopyPrefix + stamp + QStringLiteral(".reg"));
    for (int n = 2; u.files.fileExists(copy); ++n)
        copy = inFolder(folder, kCopyPrefix + stamp + QStringLiteral("_%1.reg").arg(n, 3, 10, QLatin1Char('0')));
    const ExportResult r = u.exchange.exportKey(hkey::CurrentUser, programKey(), copy, true, false);
    if (!r.written)
        return Failure{err::PathAccess, r.problem};
    return copy;
}

Result<QString> ImpExpPanel::safetyCopy()
{
    const Result<QString> copy = makeSafetyCopy();
    if (copy)
        pruneSafetyCopies(QString());
    return copy;
}

void ImpExpPanel::pruneSafetyCopies(const QString &imported)
{
    QStringList copies = safetyCopies();
    while (copies.size() > kCopiesKept) {
        const QString oldest = copies.takeFirst();
        // The copy just restored stays: it may be the one the reader wants again.
        // One that cannot be deleted is tried again at the next prune.
        if (!u.files.sameFile(oldest, imported))
            static_cast<void>(u.files.deleteFile(oldest));
    }
}

QString ImpExpPanel::safetyCopiesFolder() const { return inFolder(configFolder(), kCopiesFolder); }

QStringList ImpExpPanel::safetyCopies() const
{
    QStringList out;
    for (const QString &name : u.files.files(safetyCopiesFolder(), kCopyPrefix + QStringLiteral("*.reg")))
        out << inFolder(safetyCopiesFolder(), name);
    return out;
}

QString ImpExpPanel::folderOfDrive(const QString &drive) const
{
    if (drive == kCopiesDrive) {
        // Shown empty when it cannot be made.
        static_cast<void>(u.files.makeFolder(safetyCopiesFolder()));
        return safetyCopiesFolder();
    }
    return driveFolder(drive);
}

void ImpExpPanel::closePanel()
{
    cancelPanel();
    u.chooser.File.setPath(u.chooser.Dir.path());
    listFiles(); // the exported file appears in the list
}

void ImpExpPanel::Drive_Change()
{
    // A drive that is not ready leaves the folder list where it was.
    IgnoreFailure([&] {
        const QString folder = folderOfDrive(u.chooser.Drive.path());
        // The copies' folder was just made, on the disk itself.
        if (u.chooser.Drive.path() == kCopiesDrive || u.files.folderExists(folder))
            u.chooser.Dir.setPath(folder);
    });
}

void ImpExpPanel::Dir_Change()
{
    Guard(u.er, QStringLiteral("Dir_Change"), [&] { u.chooser.File.setPath(u.chooser.Dir.path()); });
}

void ImpExpPanel::File_Click()
{
    IgnoreFailure([&] {
        const int i = u.chooser.File.listIndex();
        if (i >= 0 && i < u.chooser.File.items().size())
            u.chooser.TextFileName.setText(u.chooser.File.items().at(i));
    });
}

void ImpExpPanel::File_DblClick()
{
    Guard(u.er, QStringLiteral("File_DblClick"), [&] { cmdImpExp_Click(2); });
}

void ImpExpPanel::File_KeyDown(qint16, qint16) {}

void ImpExpPanel::Dir_KeyDown(qint16 KeyCode, qint16)
{
    if (KeyCode != 13)
        return;
    IgnoreFailure([&] {
        const int i = u.chooser.Dir.listIndex();
        if (i >= 0 && i < dirPaths_.size())
            u.chooser.Dir.setPath(dirPaths_.at(i));
    });
}

void ImpExpPanel::TextFileName_KeyDown(qint16 KeyCode, qint16)
{
    Guard(u.er, QStringLiteral("TextFileName_KeyDown"), [&] {
        if (KeyCode == 13)
            cmdImpExp_Click(2);
    });
}

void ImpExpPanel::Command1_Click()
{
    const QString name = QStringLiteral("Command1_Click");
    Guard(u.er, name, [&] {
        if (const Result<QString> written = exportOwnFile(kTestExportName); !written)
            u.er.report(name, written.failure());
    });
}

void ImpExpPanel::setOwnFilesFolder(const QString &folder) { ownFolder_ = folder; }

QString ImpExpPanel::configFolder() const
{
    if (!ownFolder_.isEmpty())
        return ownFolder_;
    return u.files.ownFolder();
}

QStringList ImpExpPanel::ownFilesFolders() const
{
    if (!ownFolder_.isEmpty())
        return {ownFolder_};
#ifdef Q_OS_WIN
    // The root of C: is where readers look for it, but only administrators
    // may write there on recent Windows.
    return {QStringLiteral("c:\\"), configFolder()};
#else
    return {configFolder()};
#endif
}

QString ImpExpPanel::testExportFile() const { return inFolder(ownFilesFolders().first(), kTestExportName); }

Result<QString> ImpExpPanel::exportOwnFile(const QString &fileName)
{
    QString problem;
    for (const QString &folder : ownFilesFolders()) {
        // A folder that cannot be made fails the write, and the next is tried.
        static_cast<void>(u.files.makeFolder(folder));
        const QString path = inFolder(folder, fileName);
        const ExportResult r = u.exchange.exportKey(hkey::CurrentUser, programKey(), path, true, false);
        if (r.written)
            return path;
        problem = r.problem;
    }
    return Failure{err::PathAccess, problem};
}

void ImpExpPanel::listDrives()
{
    IgnoreFailure([&] {
        QStringList roots;
#ifndef Q_OS_WIN
        roots << QDir::rootPath() << QDir::toNativeSeparators(QDir::homePath());
#endif
        for (const QString &v : u.files.volumes()) {
            const QString root = QDir::toNativeSeparators(v);
            if (!roots.contains(root) && u.files.folderExists(driveFolder(root)))
                roots << root;
        }
        // The safety copies live in a hidden folder that the folder list
        // would never show: they get an entry of their own.
        roots << kCopiesDrive;
        u.chooser.Drive.setItems(roots);
    });
}

void ImpExpPanel::listFolders()
{
    IgnoreFailure([&] {
        const QString folder = u.chooser.Dir.path();
        dirPaths_.clear();
        u.chooser.Dir.setItems({});
        if (folder.isEmpty())
            return;
        // The folders above are shown by their full path, so that they are
        // told apart from those below by ear.
        QStringList items = foldersFromRoot(folder);
        const int self = int(items.size()) - 1;
        dirPaths_ = items;
        for (const QString &sub : u.files.folders(folder)) {
            items << sub;
            dirPaths_ << inFolder(folder, sub);
        }
        u.chooser.Dir.setItems(items);
        // The folder itself is highlighted: Enter on a folder above it goes
        // up, on one below it goes down.
        u.chooser.Dir.setListIndex(self);
    });
}

void ImpExpPanel::listFiles()
{
    IgnoreFailure([&] {
        u.chooser.File.setItems(u.chooser.File.path().isEmpty()
                                    ? QStringList()
                                    : u.files.files(u.chooser.File.path(), u.chooser.File.pattern()));
    });
}

void ImpExpPanel::say(const QString &text) { u.dialogs.message(programName(), text, Buttons::Ok, Icon::Information); }

} // namespace qyr
