#include "keymap.h"
#include "../shell/frmbrowser.h"

namespace qyr {

void KeyMap::Form_KeyDown(qint16 KeyCode, qint16 Shift)
{
    Q_UNUSED(KeyCode);
    Q_UNUSED(Shift);
}

} // namespace qyr
