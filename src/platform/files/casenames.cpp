#include "casenames.h"

namespace qyr {

CaseNames::CaseNames(const QStringList &names) : names_(names)
{
    exact_.reserve(names.size());
    folded_.reserve(names.size());
    for (const QString &n : names) {
        exact_.insert(n);
        auto it = folded_.find(n.toCaseFolded());
        if (it == folded_.end())
            folded_.insert(n.toCaseFolded(), n);
        else if (QString::compare(n, *it, Qt::CaseSensitive) < 0)
            *it = n;
    }
}

QString CaseNames::find(const QString &name) const
{
    if (exact_.contains(name))
        return name;
    return folded_.value(name.toCaseFolded());
}

} // namespace qyr
