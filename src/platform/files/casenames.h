#pragma once
// The one rule for a file name asked for in another letter case than the
// disk's (books made on Windows say CAP1.MP3 for cap1.mp3): the name written
// exactly, when the folder has it; else, of the names that differ from it
// in letter case alone, the first in the order of their characters' codes
// ("CAP1.mp3" before "Cap1.mp3" before "cap1.mp3"). The disk and the DAISY
// reader both find names by it, so they always pick the same file.
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

namespace qyr {

class CaseNames {
public:
    CaseNames() = default;
    explicit CaseNames(const QStringList &names);
    // The name as in the folder, or empty.
    QString find(const QString &name) const;
    const QStringList &names() const { return names_; }

private:
    QStringList names_;
    QSet<QString> exact_;
    QHash<QString, QString> folded_; // the name in folded case to the one chosen
};

} // namespace qyr
