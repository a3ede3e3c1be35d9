// The Windows build does not watch files yet: "norvane-pack run --watch" says
// so and ends before packing.
#include "platform/FileWatch.h"

#include "platform/System.h"

namespace Norvane::Platform {

std::unique_ptr<TFileWatch> CreateFileWatch() {
    SetLastError(50 /* ERROR_NOT_SUPPORTED */, "watching files for changes is not supported on Windows yet");
    return nullptr;
}

} // namespace Norvane::Platform
