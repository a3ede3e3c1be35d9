// The replaceable session control and elevation; each backend makes the
// system's own (platform/SessionDefaults.h).
#include "platform/Session.h"

#include "platform/SessionDefaults.h"

#include <mutex>

namespace Norvane::Platform {
namespace {

std::mutex Lock;
std::shared_ptr<SessionControl> Session;
std::shared_ptr<Elevation> Elevator;

} // namespace

std::shared_ptr<SessionControl> CurrentSessionControl() {
    std::lock_guard lock(Lock);
    if (!Session)
        Session = MakeSystemSessionControl();
    return Session;
}

std::shared_ptr<SessionControl> SetSessionControl(std::shared_ptr<SessionControl> control) {
    std::lock_guard lock(Lock);
    auto previous = std::move(Session);
    Session = std::move(control);
    return previous;
}

std::shared_ptr<Elevation> CurrentElevation() {
    std::lock_guard lock(Lock);
    if (!Elevator)
        Elevator = MakeSystemElevation();
    return Elevator;
}

std::shared_ptr<Elevation> SetElevation(std::shared_ptr<Elevation> elevation) {
    std::lock_guard lock(Lock);
    auto previous = std::move(Elevator);
    Elevator = std::move(elevation);
    return previous;
}

} // namespace Norvane::Platform
