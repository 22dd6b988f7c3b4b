#include "impexppanel.h"
#include "../shell/frmbrowser.h"

namespace qyr {

void ImpExpPanel::connect()
{
    if (connected_)
        return;
    connected_ = true;
}

} // namespace qyr
