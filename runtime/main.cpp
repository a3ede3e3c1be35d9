// Program entry of the runtime. The start-up sequence grows here step by step;
// for now it finds and opens the payload and reads the settings.
#include <cstdio>

#include "shared/ExeUtils.h"
#include "shared/Streams.h"

int main() {
    using namespace Norvane::Shared;
    TExeUtils exeUtils;
    if (!exeUtils.ExeHasAttachedStub())
        return 0;
    TMemoryStream payload;
    exeUtils.GetZipFromExe(payload);
    std::printf("payload: %lld bytes\n", static_cast<long long>(payload.Size()));
    return 0;
}
