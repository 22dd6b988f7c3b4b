#pragma once
// Small pieces the key actions share.
#include <QString>
#include <QVariant>

namespace qyr {

class frmBrowser;
class oEkoPlayer;

namespace keyhelp {

// The player facade; a failure of the key when there is none.
oEkoPlayer &player(frmBrowser &f);
// The player's position in whole seconds (halves to even) as "mm:ss".
QString positionText(frmBrowser &f);
// A number the facade hands back as a variant (duration, volume): an empty
// variant counts as 0, a text is read in the user's format.
double number(const QVariant &v);
// A message box with an OK button.
void tell(frmBrowser &f, const QString &title, const QString &text);

} // namespace keyhelp
} // namespace qyr
