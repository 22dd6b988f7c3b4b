#include "debugpanel.h"
#include "../shell/frmbrowser.h"

namespace qyr {

void DebugPanel::connect()
{
    if (connected_)
        return;
    connected_ = true;
}

} // namespace qyr
