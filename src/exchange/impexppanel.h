#pragma once
// The bookmark import/export panel: choosing a file with the drive, folder
// and file lists, exporting the settings tree to it, or importing a registry
// text file or a hive from it after a safety copy; and the debug panel's
// test export.
#include <QString>
#include <QStringList>

#include "../platform/result.h"
#include "../platform/signal.h"
#include "../services/panels.h"
#include <array>
#include <functional>
#include <utility>

namespace qyr {

class ErrorReporter;
class IFiles;
class IDialogs;
class IBrowser;
class RegistryExchange;
class Messages;
class PlayerSettings;
class Feedback;
class BookmarkStore;

class ImpExpPanel {
public:
    // What it works with.
    struct Uses {
        ErrorReporter &er;
        IFiles &files;
        IDialogs &dialogs;
        IBrowser &browser;
        RegistryExchange &exchange; // the settings tree written to and read from files
        Messages &msg;
        PlayerSettings &prefs;
        Feedback &feedback;
        BookmarkStore &marks;
        BookmarkControls bookmarks;
        FileChooserControls chooser;
        Control &objwb;
    };

    explicit ImpExpPanel(Uses uses);
    // The list closed: the reading paused for it goes on.
    Signal<> ListClosed;

    // Subscribes the handlers to the panel's controls. Calling it again
    // changes nothing.
    void connect();

    // 0 opens the panel for export, 1 for import, 2 carries it out, 3
    // cancels, 4 closes the bookmark panel.
    void cmdImpExp_Click(int Index);
    void Drive_Change();
    void Dir_Change();
    void File_Click();
    // Raised by the widget layer: the models of the lists and of the name
    // box carry no double-click or key events of their own.
    void File_DblClick();
    void File_KeyDown(qint16 KeyCode, qint16 Shift);
    void Dir_KeyDown(qint16 KeyCode, qint16 Shift);
    void TextFileName_KeyDown(qint16 KeyCode, qint16 Shift);
    // The test export of the debug panel, without question or message.
    void Command1_Click();

    // The user's configuration folder, where the safety copies before each
    // import go (in a folder of their own) and, off Windows, the test export.
    // An empty folder restores the default.
    void setOwnFilesFolder(const QString &folder);
    QString testExportFile() const;
    // The last safety copies, dated, the oldest first; and their folder,
    // which the drive list offers as kCopiesDrive.
    QStringList safetyCopies() const;
    QString safetyCopiesFolder() const;
    static inline const QString kCopiesDrive = QStringLiteral("Copie di sicurezza");
    // A new dated safety copy of the settings tree, the oldest beyond those
    // kept removed; its path, or why it could not be written.
    Result<QString> safetyCopy();

    // The lists read the file system again: drives (volumes may come and
    // go), the folders of the current folder, the files matching the pattern.
    void listDrives();
    void listFolders();
    void listFiles();

private:
    void openPanel(bool forExport);
    // A refused import comes back, and the panel stays open.
    Result<Done> runOk();
    void exportTo(const QString &name, const QString &path);
    Result<Done> importFrom(const QString &path);
    void closePanel();
    // Back to the bookmark list, nothing done.
    void cancelPanel();
    // Writes the settings tree into fileName in the first of the own-files
    // folders that takes it; the path written, or why the last one refused.
    Result<QString> exportOwnFile(const QString &fileName);
    QStringList ownFilesFolders() const;
    QString configFolder() const;
    // A new safety copy of the settings tree; its path, or why it could not be written.
    Result<QString> makeSafetyCopy();
    // Keeps the newest copies; never the file just imported.
    void pruneSafetyCopies(const QString &imported);
    // The folder a drive list entry stands for.
    QString folderOfDrive(const QString &drive) const;
    void say(const QString &text);

    Uses u;
    bool connected_ = false;
    QString ownFolder_;
    QStringList dirPaths_; // the full path behind each entry of the folder list
};

} // namespace qyr
