// libFuzzer entry: every input is a host state chunk for one live processor, which keeps
// whatever state the inputs before it restored.

#include "StateRestoreCheck.h"

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size);

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    static FuzzSession session;
    abort_on ("state restore", session.check->restore (data, size).problems);
    return 0;
}
