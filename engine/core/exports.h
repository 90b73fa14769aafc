// The two entry points of libkpengn30.so, for hosts that load the engine by name and look them
// up with dlsym. Everything else is reached through the objects they hand out.
#pragma once

#include <cstdint>

#include "platform/automation/automation.h"

extern "C" {

// *out receives the engine's static class list (no reference taken). 0, or -4 for null.
using WGetClassInfoFn = int32_t (*)(void** out);
// Creates the top-level application object for classId (the engine class id
// {0x00010000, 0x00000100}) and answers its interface iid in *out, holding one reference.
// -3 for another class id, -4 for null pointers, -5 without memory, -10000 / -10001 when the
// control library libkpctrl30.so is missing or incomplete, -10102 / -10003 when the printers
// cannot be listed; on failure *out is null.
using WCreateObjectFn = int32_t (*)(const plat::InterfaceId* classId, const plat::InterfaceId* iid,
                                    void** out);

int32_t WGetClassInfo(void** out);
int32_t WCreateObject(const plat::InterfaceId* classId, const plat::InterfaceId* iid, void** out);
}
