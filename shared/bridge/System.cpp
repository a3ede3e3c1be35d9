// The system functions: logoff, reboot and shutdown.
#include "shared/bridge/BrowserExternalModule.h"

#include "platform/System.h"
#include "shared/SysUtils.h"

namespace Norvane::Shared {

// The session's manager may take its time to answer: the call waits on the
// bridge's worker, not in the window.
TBridgeResult TBrowserExternalModule::EndSession(const TBridgeCall& Call, unsigned Flags) {
    return ReplyFromWorker(Call, [Flags] {
        if (TSysUtils::ExitWindows(Flags))
            return TBridgeResult::Boolean(true);
        return TBridgeResult::Error(Platform::LastErrorMessage());
    });
}

TBridgeResult TBrowserExternalModule::SystemLogoff(const TBridgeCall& Call) {
    return EndSession(Call, EWX_LOGOFF | EWX_FORCE);
}

TBridgeResult TBrowserExternalModule::SystemReboot(const TBridgeCall& Call) {
    return EndSession(Call, EWX_REBOOT | EWX_FORCE);
}

TBridgeResult TBrowserExternalModule::SystemShutdown(const TBridgeCall& Call) {
    return EndSession(Call, EWX_SHUTDOWN | EWX_FORCE);
}

} // namespace Norvane::Shared
