#include "platform/Session.h"
#include "platform/SessionDefaults.h"

#include "platform/System.h"
#include "platform/posix/DBusClient.h"

#include <cerrno>

namespace Norvane::Platform {
namespace {

// systemd-logind. There is no counterpart of forcing applications closed:
// logind never asks them, so the flag changes nothing here.
class LogindSessionControl : public SessionControl {
public:
    bool EndSession(SessionAction action, bool /*force*/) override {
        Posix::DBusCall call;
        call.Bus = Posix::DBusBus::System;
        call.Destination = "org.freedesktop.login1";
        switch (action) {
        case SessionAction::LogOff:
            // logind resolves "auto" from the caller's credentials: the
            // session this process belongs to, or, for a program started
            // outside one (a systemd user unit), its user's graphical session.
            call.ObjectPath = "/org/freedesktop/login1/session/auto";
            call.Interface = "org.freedesktop.login1.Session";
            call.Method = "Terminate";
            break;
        case SessionAction::Reboot:
        case SessionAction::PowerOff:
            call.ObjectPath = "/org/freedesktop/login1";
            call.Interface = "org.freedesktop.login1.Manager";
            call.Method = action == SessionAction::Reboot ? "Reboot" : "PowerOff";
            call.Arguments = {false}; // not interactive: no authorisation prompt
            break;
        }
        return Posix::CallDBusMethod(call);
    }
};

// pkexec ends with 126 when the user dismissed the authorisation and with 127
// when it was not granted; both mean the program never ran.
class PkexecProcess : public ChildProcess {
public:
    explicit PkexecProcess(std::unique_ptr<ChildProcess> inner) : FInner(std::move(inner)) {}
    int ExitCode() override { return Map(FInner->ExitCode()); }
    int Wait() override { return Map(FInner->Wait()); }
    std::size_t ReadOutput(char* Buffer, std::size_t Size) override {
        return FInner->ReadOutput(Buffer, Size);
    }
    WaitHandle EndHandle() override { return FInner->EndHandle(); }

private:
    static int Map(int code) { return code == 126 || code == 127 ? 0 : code; }
    std::unique_ptr<ChildProcess> FInner;
};

class DefaultElevation : public Elevation {
public:
    std::unique_ptr<ChildProcess> StartElevated(const std::string& program,
                                                const std::vector<std::string>& arguments) override {
        std::string path = FindProgram(program);
        if (path.empty()) {
            SetLastError(ENOENT, "Program not found: " + program);
            return nullptr;
        }
        ProcessStartInfo info;
        if (IsSuperUser()) {
            info.Arguments.push_back(path);
            info.Arguments.insert(info.Arguments.end(), arguments.begin(), arguments.end());
            return StartProcess(info);
        }
        std::string pkexec = FindProgram("pkexec");
        if (pkexec.empty()) {
            SetLastError(ENOENT, "pkexec is not installed");
            return nullptr;
        }
        info.Arguments = {pkexec, path};
        info.Arguments.insert(info.Arguments.end(), arguments.begin(), arguments.end());
        auto process = StartProcess(info);
        if (!process)
            return nullptr;
        return std::make_unique<PkexecProcess>(std::move(process));
    }
};

} // namespace

std::shared_ptr<SessionControl> MakeSystemSessionControl() {
    return std::make_shared<LogindSessionControl>();
}

std::shared_ptr<Elevation> MakeSystemElevation() {
    return std::make_shared<DefaultElevation>();
}

} // namespace Norvane::Platform
