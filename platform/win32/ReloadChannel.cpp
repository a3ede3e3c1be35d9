// The Windows build has no reload channel yet: "norvane-pack run --watch"
// restarts the application on every change there.
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
