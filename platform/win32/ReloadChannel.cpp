// The Windows build has no reload channel yet: "norvane-pack run --watch"
// stops before it would be needed (no file watch either, platform/FileWatch.h).
#include "platform/ReloadChannel.h"

namespace Norvane::Platform {

bool TReloadListener::Listen(const std::string&, std::function<void()>) {
    return false;
}

TReloadListener::~TReloadListener() = default;

bool AskToReload(const std::string&) {
    return false;
}

} // namespace Norvane::Platform
