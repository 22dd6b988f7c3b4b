#include "pageaudio.h"
#include "../shell/frmbrowser.h"
