#pragma once

#include "store/sysreg.h"

// Reads of the settings dialog from the store: a failed read leaves the value as it was (its default), as every
// load wants.
template <typename Read>
void ReadOrKeep(Read read) {
    try {
        read();
    } catch (const ESysRegError&) {
    }
}

// Closing after a load commits at most the keys the open created; failing to keep them costs nothing.
inline void CloseAfterLoad() {
    ReadOrKeep([] { SysReg().CloseKey(); });
}
