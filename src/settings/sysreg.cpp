#include "settings/sysreg.h"
// placeholder, replaced by the real store in the next commit
