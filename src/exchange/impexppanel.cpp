#include "impexppanel.h"
#include "../platform/convert.h"
#include "../shell/frmbrowser.h"
#include "registryexchange.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

#include <algorithm>

namespace qyr {

namespace {

const QString kExportTitle = QStringLiteral("Esportazione Marcatori LUMO");
const QString kBackupName = QStringLiteral("QYRPlayer_Backup.reg");
const QString kTestExportName = QStringLiteral("provatxt.reg");

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
QString joinPath(const QString &folder, const QString &name)
{
    if (folder.endsWith(QLatin1Char('/')) || folder.endsWith(QLatin1Char('\\')))
        return folder + name;
    return folder + QDir::separator() + name;
}

// The exported file is always a ".REG" file: whatever follows the first dot
// of the name is replaced.
QString withRegExtension(const QString &name)
{
    const int dot = name.indexOf(QLatin1Char('.'));
    return dot < 0 ? name + QStringLiteral(".REG") : name.left(dot + 1) + QStringLiteral("REG");
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

bool sameFile(const QString &a, const QString &b)
{
    const QString ca = QFileInfo(a).canonicalFilePath();
    return !ca.isEmpty() && ca == QFileInfo(b).canonicalFilePath();
}

} // namespace

ImpExpPanel::ImpExpPanel(frmBrowser &f) : f(f) {}

void ImpExpPanel::connect()
{
    if (connected_)
        return;
    connected_ = true;
    // Design properties of the panel's own controls.
    f.Drive.setToolTip(QStringLiteral("Elenco Unità disco"));
    f.Dir.setToolTip(QStringLiteral("Elenco Directory"));
    f.TextFileName.setToolTip(QStringLiteral("Nome file da Importare - Esportare"));
    if (f.File.pattern().isEmpty())
        f.File.setPattern(QStringLiteral("*.reg;*.qyr"));
    for (int i = 0; i < int(f.cmdImpExp.size()); ++i)
        f.cmdImpExp[size_t(i)].Click.connect([this, i] { cmdImpExp_Click(i); });
    f.Drive.Change.connect([this] { Drive_Change(); });
    // The folder list shows the new folder before its handler runs, as the
    // list control itself would.
    f.Dir.Change.connect([this] {
        listFolders();
        Dir_Change();
    });
    f.File.Change.connect([this] { listFiles(); });
    f.File.Click.connect([this] { File_Click(); });
    f.Command1.Click.connect([this] { Command1_Click(); });
    // However the bookmark panel closes, the import/export panel inside it
    // closes too: it would otherwise open again with the list hidden.
    f.fraMarcatori.PropertyChanged.connect([this](const char *prop) {
        if (QByteArray(prop) == "visible" && !f.fraMarcatori.visible() && f.frmImpExp.visible())
            cancelPanel();
    });
}

void ImpExpPanel::cancelPanel()
{
    for (int i : {0, 1, 4})
        f.cmdImpExp[size_t(i)].setVisible(true);
    f.ListMarkers.setVisible(true);
    f.frmImpExp.setVisible(false);
}

void ImpExpPanel::cmdImpExp_Click(int Index)
{
    Guard(
        f.er, QStringLiteral("cmdImpExp_Click"),
        [&] {
            switch (Index) {
            case 0:
                openPanel(true);
                break;
            case 1:
                openPanel(false);
                break;
            case 2:
                runOk();
                break;
            case 3:
                cancelPanel();
                break;
            case 4:
                if (f.bResumeAfterList)
                    f.resumeWithReload();
                f.fraMarcatori.setVisible(false);
                f.objwb.setVisible(true);
                break;
            default:
                break;
            }
        },
        [this] { f.oFso = false; });
}

void ImpExpPanel::openPanel(bool forExport)
{
    for (int i : {0, 1, 4})
        f.cmdImpExp[size_t(i)].setVisible(false);
    f.ListMarkers.setVisible(false);
    f.frmImpExp.setCaption(forExport ? QStringLiteral("   Esportazione Marcatori   ")
                                     : QStringLiteral("   Importazione Marcatori   "));
    f.TextFileName.setVisible(forExport);
    f.lblNomeFile.setVisible(f.TextFileName.visible());
    f.File.setTop(forExport ? f.cmdImpExp[3].top() : f.Dir.top());
    // A window made very small leaves no room for the list; the panel works all the same.
    f.File.setHeight(std::max(0.0f, f.frmImpExp.height() - (f.File.top() + 200.0f)));
    f.File.setPattern(forExport ? QStringLiteral("*.reg") : QStringLiteral("*.qyr;*.reg"));

    // Volumes come and go and files change while the panel is closed.
    listDrives();
    if (f.Dir.path().isEmpty())
        f.Dir.setPath(driveFolder(f.Drive.path()));
    else
        listFolders();
    if (f.File.path() != f.Dir.path())
        f.File.setPath(f.Dir.path());
    else
        listFiles();
    // Shown last, with its name box (export) or not (import) and its lists
    // filled: the keyboard lands in the right place, and no list refilled
    // after it draws a screen reader's attention away.
    f.frmImpExp.setVisible(true);
}

void ImpExpPanel::runOk()
{
    const bool exporting = f.TextFileName.visible();
    const QString name = f.TextFileName.text();
    if (name.trimmed().isEmpty()) {
        // Nothing chosen yet: say what is missing and leave the panel open.
        say(exporting ? QStringLiteral("Scrivere il nome del file da esportare nella casella \"Nome file\".")
                      : QStringLiteral("Scegliere nell'elenco dei file il file da importare."));
        return;
    }
    f.oFso = true;
    if (exporting)
        exportTo(name, joinPath(f.Dir.path(), withRegExtension(name)));
    else
        importFrom(joinPath(f.Dir.path(), name));
    f.oFso = false;
    closePanel();
}

void ImpExpPanel::exportTo(const QString &name, const QString &path)
{
    IFiles &files = f.ports.files;
    if (files.fileExists(path)) {
        QString question = f.msg.strMsgSostFile;
        question.replace(QLatin1String("@FILE@"), name);
        if (f.ports.dialogs.message(kExportTitle, question, Buttons::YesNoCancel, Icon::Question) != Answer::Yes)
            return;
        if (!files.deleteFile(path)) {
            // A read-only file is replaced as well: the reader said so.
            const QString existing = files.resolve(path);
            QFile::setPermissions(existing, QFile::permissions(existing) | QFile::WriteOwner | QFile::WriteUser);
            files.deleteFile(path);
        }
    }
    RegistryExchange exchange(f.ports.registry, f.ports.hives);
    const ExportResult r = exchange.exportKey(hkey::CurrentUser, RegistryExchange::programKey(), path, true, false);
    f.TextFileName.setText(QString());
    QString text;
    if (r.written && files.fileExists(path)) {
        text = f.msg.strMsgExportOk;
        text.replace(QLatin1String("@FILE@"), path);
    } else {
        text = f.msg.strMsgExportKo;
        text.replace(QLatin1String("@FILE@"), path);
        if (!r.problem.isEmpty())
            text += QStringLiteral("\r\n") + r.problem;
    }
    say(text);
}

void ImpExpPanel::importFrom(const QString &path)
{
    // Restoring the safety copy itself must not overwrite it first: it is
    // the only copy of what the reader wants back.
    bool choseBackup = false;
    for (const QString &folder : ownFilesFolders())
        choseBackup = choseBackup || sameFile(path, joinPath(folder, kBackupName));
    if (!choseBackup) {
        try {
            exportOwnFile(kBackupName);
        } catch (const QyrError &e) {
            throw QyrError(e.number(), QStringLiteral("Copia di sicurezza delle impostazioni non riuscita: "
                                                      "l'importazione non è stata eseguita.\r\n") +
                                           e.description());
        }
    }

    RegistryExchange exchange(f.ports.registry, f.ports.hives);
    // Any failure below is thrown before the settings change: the file was
    // read whole and checked, then applied in one step.
    const ImportResult r = path.toUpper().contains(QLatin1String(".REG"))
                               ? exchange.importTextFile(path)
                               : exchange.restoreHive(RegistryExchange::programKey(), path, hkey::CurrentUser);

    // Whether reading is on is the reader's choice now, not the file's.
    f.settings.Save(f.strAppName, QStringLiteral("Player"), QStringLiteral("AudioOff"), conv::fromBool(f.bAudioOff));

    f.marks.ClearMarcatori();
    f.marks.Marcatori(0, QString(), 0);

    QString text = f.msg.strMsgRipristinoOk;
    text.replace(QLatin1String("@FILE@"), path);
    const QString notice = r.notice();
    if (!notice.isEmpty())
        text += QStringLiteral("\r\n") + notice;
    say(text);
}

void ImpExpPanel::closePanel()
{
    cancelPanel();
    f.File.setPath(f.Dir.path());
    listFiles(); // the exported file appears in the list
}

void ImpExpPanel::Drive_Change()
{
    // A drive that is not ready leaves the folder list where it was.
    IgnoreFailure([&] {
        const QString folder = driveFolder(f.Drive.path());
        if (f.ports.files.folderExists(folder))
            f.Dir.setPath(folder);
    });
}

void ImpExpPanel::Dir_Change()
{
    Guard(f.er, QStringLiteral("Dir_Change"), [&] { f.File.setPath(f.Dir.path()); });
}

void ImpExpPanel::File_Click()
{
    IgnoreFailure([&] {
        const int i = f.File.listIndex();
        if (i >= 0 && i < f.File.items().size())
            f.TextFileName.setText(f.File.items().at(i));
    });
}

void ImpExpPanel::File_DblClick()
{
    Guard(f.er, QStringLiteral("File_DblClick"), [&] { cmdImpExp_Click(2); });
}

void ImpExpPanel::File_KeyDown(qint16, qint16) {}

void ImpExpPanel::Dir_KeyDown(qint16 KeyCode, qint16)
{
    if (KeyCode != 13)
        return;
    IgnoreFailure([&] {
        const int i = f.Dir.listIndex();
        if (i >= 0 && i < dirPaths_.size())
            f.Dir.setPath(dirPaths_.at(i));
    });
}

void ImpExpPanel::TextFileName_KeyDown(qint16 KeyCode, qint16)
{
    Guard(f.er, QStringLiteral("TextFileName_KeyDown"), [&] {
        if (KeyCode == 13)
            cmdImpExp_Click(2);
    });
}

void ImpExpPanel::Command1_Click()
{
    Guard(f.er, QStringLiteral("Command1_Click"), [&] { exportOwnFile(kTestExportName); });
}

void ImpExpPanel::setOwnFilesFolder(const QString &folder) { ownFolder_ = folder; }

QStringList ImpExpPanel::ownFilesFolders() const
{
    if (!ownFolder_.isEmpty())
        return {ownFolder_};
    const QString config = QDir::toNativeSeparators(
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/qyrplayer"));
#ifdef Q_OS_WIN
    // The root of C: is where readers look for it, but only administrators
    // may write there on recent Windows.
    return {QStringLiteral("c:\\"), config};
#else
    return {config};
#endif
}

QString ImpExpPanel::backupFile() const { return joinPath(ownFilesFolders().first(), kBackupName); }

QString ImpExpPanel::testExportFile() const { return joinPath(ownFilesFolders().first(), kTestExportName); }

QString ImpExpPanel::exportOwnFile(const QString &fileName)
{
    RegistryExchange exchange(f.ports.registry, f.ports.hives);
    QString problem;
    for (const QString &folder : ownFilesFolders()) {
        QDir().mkpath(folder);
        const QString path = joinPath(folder, fileName);
        const ExportResult r = exchange.exportKey(hkey::CurrentUser, RegistryExchange::programKey(), path, true, false);
        if (r.written)
            return path;
        problem = r.problem;
    }
    throw QyrError(err::PathAccess, problem);
}

void ImpExpPanel::listDrives()
{
    IgnoreFailure([&] {
        QStringList roots;
#ifndef Q_OS_WIN
        roots << QDir::rootPath() << QDir::toNativeSeparators(QDir::homePath());
#endif
        for (const QString &v : f.ports.files.volumes()) {
            const QString root = QDir::toNativeSeparators(v);
            if (!roots.contains(root) && f.ports.files.folderExists(driveFolder(root)))
                roots << root;
        }
        f.Drive.setItems(roots);
    });
}

void ImpExpPanel::listFolders()
{
    IgnoreFailure([&] {
        const QString folder = f.Dir.path();
        dirPaths_.clear();
        f.Dir.setItems({});
        if (folder.isEmpty())
            return;
        // The folders above are shown by their full path, so that they are
        // told apart from those below by ear.
        QStringList items = foldersFromRoot(folder);
        const int self = int(items.size()) - 1;
        dirPaths_ = items;
        for (const QString &sub : f.ports.files.folders(folder)) {
            items << sub;
            dirPaths_ << joinPath(folder, sub);
        }
        f.Dir.setItems(items);
        // The folder itself is highlighted: Enter on a folder above it goes
        // up, on one below it goes down.
        f.Dir.setListIndex(self);
    });
}

void ImpExpPanel::listFiles()
{
    IgnoreFailure([&] {
        f.File.setItems(f.File.path().isEmpty() ? QStringList()
                                                : f.ports.files.files(f.File.path(), f.File.pattern()));
    });
}

void ImpExpPanel::say(const QString &text)
{
    f.ports.dialogs.message(f.strAppName, text, Buttons::Ok, Icon::Information);
}

} // namespace qyr
