// System actions that reach beyond the process: ending the user's session or
// the machine's run, and starting programs with administrator rights. Both sit
// behind replaceable interfaces, so that tests (and other hosts) put their own
// in place and nothing can end the real session by accident.
#pragma once

#include "platform/ChildProcess.h"

#include <memory>
#include <string>
#include <vector>

namespace Norvane::Platform {

enum class SessionAction { LogOff, Reboot, PowerOff };

class SessionControl {
public:
    virtual ~SessionControl() = default;
    // Asks the system to carry out the action. Force: applications are not
    // asked first. True when the system accepted the request; otherwise false
    // with the last error set.
    virtual bool EndSession(SessionAction action, bool force) = 0;
};

// The one in use; by default the login manager (systemd-logind over D-Bus:
// Session.Terminate of the caller's session, Manager.Reboot, Manager.PowerOff).
std::shared_ptr<SessionControl> CurrentSessionControl();
// Puts a replacement in place (null: the default again); returns the one before.
std::shared_ptr<SessionControl> SetSessionControl(std::shared_ptr<SessionControl> control);

class Elevation {
public:
    virtual ~Elevation() = default;
    // Starts the program with administrator rights. Null when it could not be
    // started; a refused authorisation counts as not started (exit code 0).
    virtual std::unique_ptr<ChildProcess> StartElevated(const std::string& program,
                                                        const std::vector<std::string>& arguments) = 0;
};

// The one in use; by default: directly when the process already runs as root,
// otherwise through pkexec (polkit's authorisation prompt).
std::shared_ptr<Elevation> CurrentElevation();
std::shared_ptr<Elevation> SetElevation(std::shared_ptr<Elevation> elevation);

} // namespace Norvane::Platform
