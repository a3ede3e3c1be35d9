// The system functions: logoff, reboot and shutdown.
#include "shared/bridge/BrowserExternalModule.h"

#include "platform/System.h"
#include "shared/SysUtils.h"

namespace Norvane::Shared {

TBridgeResult TBrowserExternalModule::EndSession(unsigned Flags) {
    if (TSysUtils::ExitWindows(Flags))
        return TBridgeResult::Boolean(true);
    return TBridgeResult::Error(Platform::LastErrorMessage());
}

TBridgeResult TBrowserExternalModule::SystemLogoff(const TBridgeCall&) {
    return EndSession(EWX_LOGOFF | EWX_FORCE);
}

TBridgeResult TBrowserExternalModule::SystemReboot(const TBridgeCall&) {
    return EndSession(EWX_REBOOT | EWX_FORCE);
}

TBridgeResult TBrowserExternalModule::SystemShutdown(const TBridgeCall&) {
    return EndSession(EWX_SHUTDOWN | EWX_FORCE);
}

} // namespace Norvane::Shared
