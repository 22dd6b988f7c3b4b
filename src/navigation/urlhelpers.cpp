#include "urlhelpers.h"
#include "../shell/frmbrowser.h"
