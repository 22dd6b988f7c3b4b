#pragma once
// Small pieces the key actions share.
#include "../platform/result.h"

#include <QString>
#include <QVariant>

namespace qyr {

class IDialogs;

namespace keyhelp {

// A number the facade hands back as a variant (duration, volume): an empty
// variant counts as 0, a text is read in the user's format; anything else
// is a type mismatch.
Result<double> number(const QVariant &v);
// A message box with an OK button.
void tell(IDialogs &dialogs, const QString &title, const QString &text);

} // namespace keyhelp
} // namespace qyr
