#pragma once
// The registry exporter and restorer behind the import/export panel: writes a
// key with everything below it as a REGEDIT4 file, and brings a registry text
// file or a hive file back into the program's own settings tree. Nothing
// outside that tree is ever written: such parts of a file are counted and left.
#include "../platform/files.h"
#include "../platform/hive.h"
#include "../platform/registry.h"
#include "regfile.h"

#include <QString>

namespace qyr {

// The predefined root handles of the registry.
namespace hkey {
constexpr quint32 ClassesRoot = 0x80000000u;
constexpr quint32 CurrentUser = 0x80000001u;
constexpr quint32 LocalMachine = 0x80000002u;
constexpr quint32 Users = 0x80000003u;
constexpr quint32 CurrentConfig = 0x80000005u;
} // namespace hkey

struct ExportResult {
    bool written = false; // the file now holds the export (success is also its existence)
    int keys = 0;         // key blocks written
    int values = 0;       // value lines written
    int unreadable = 0;   // reads of values or subkeys that failed: those blocks were written without them
    // Written in the registry editor's version 5 format (UTF-16LE with a
    // byte order mark): the tree holds characters outside the ANSI code page.
    bool version5 = false;
    int unrepresentable = 0; // characters written as "?": only when appending to a REGEDIT4 file
    QString problem;         // why the file was not written, in Italian
};

struct ImportResult {
    bool applied = false;  // the settings tree was changed
    int keys = 0;          // keys written (made when missing) or deleted
    int values = 0;        // values written or deleted
    int ignoredKeys = 0;   // keys outside the program's settings tree, left alone
    int ignoredValues = 0; // the values of those keys
    int emptyValues = 0;   // value lines without data, or under a deleted key: nothing to do
    // What was left out, for the reader; empty when the file was taken whole.
    QString notice() const;
};

// A file read whole and checked, not yet applied: what applying it would
// cost can be told to the reader first.
struct ImportPlan {
    QString file;
    bool hive = false;
    regfile::Parsed text;        // a registry text file
    HiveContent content;         // a hive
    QString target;              // hive: the key it replaces
    bool outsideOwnTree = false; // hive: the target is not the program's tree, nothing is written
    int bookmarks = 0;           // bookmarks in the tree now
    int bookmarksDeleted = 0;    // how many of them the import would delete
};

class RegistryExchange {
public:
    // limits bound a registry text file as the hive reader's bound a hive.
    RegistryExchange(IRegistry &registry, IFiles &files, IHiveReader *hives = nullptr,
                     const ImportLimits &limits = ImportLimits());

    // "HKEY_CURRENT_USER\" and the like; empty for an unknown handle.
    static QString rootName(quint32 root);

    // Writes the key (and, with recurse, every key below it, depth first) as
    // REGEDIT4 text in the ANSI code page with CR LF line ends, or, when the
    // tree holds characters that code page lacks, in the version 5 format so
    // that none is lost. With append the blocks go after the file's content,
    // in its format, with no second header when it already has one. The file
    // is replaced in one step, so a failed export never leaves half a file
    // and the old one stays whole. Reads that fail are skipped, never reported.
    ExportResult exportKey(quint32 root, const QString &keyPath, const QString &file, bool recurse, bool append);

    // Reading and checking a REGEDIT4 or version 5 file, or a hive, before
    // anything is written. A refusal has an Italian text (naming the line
    // when the file is malformed, the limit it goes past, or saying that it
    // is no regular file, no sound hive, or holds nothing of the program's
    // tree) ending with "Le impostazioni non sono state modificate.".
    // A hive replaces the content of keyPath (under root): the hive's root is
    // the key that was saved, or, in a whole user profile, the key found at
    // keyPath below that root.
    Result<ImportPlan> planTextFile(const QString &file);
    Result<ImportPlan> planHive(const QString &keyPath, const QString &file, quint32 root);
    // Applies a plan in one transaction; a store that fails changes nothing
    // and is refused as a plan is.
    Result<ImportResult> carryOut(const ImportPlan &plan);
    // The apply step of a text file's plan, for an already parsed file.
    Result<ImportResult> apply(const regfile::Parsed &parsed);

    // Plan and apply in one call, a refusal raised as QyrError: for a caller
    // whose own guard is around the call.
    ImportResult importTextFile(const QString &file);
    ImportResult restoreHive(const QString &keyPath, const QString &file, quint32 root);

private:
    void exportBlock(quint32 root, const QString &path, bool recurse, QString &out, ExportResult &r,
                     regfile::Format format);
    void ensureKey(const QString &key);
    void writeTree(const QString &path, const HiveKey &key, ImportResult &r);
    Result<ImportPlan> countDeletedBookmarks(ImportPlan &plan);
    void countBookmarks(ImportPlan &plan);
    void applyEntry(const regfile::Entry &e, ImportResult &r);

    IRegistry &registry_;
    IFiles &files_;
    IHiveReader *hives_;
    ImportLimits limits_;
};

} // namespace qyr
