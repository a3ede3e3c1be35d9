// The base64 function: decodeToFile.
#include "shared/bridge/BrowserExternalModule.h"

#include "shared/StrUtils.h"

namespace Norvane::Shared {

TBridgeResult TBrowserExternalModule::Base64DecodeToFile(const TBridgeCall& Call) {
    return WritePageFile(Call, [](const std::string& Contents) { return TStrUtils::DecodeBase64(Contents); });
}

} // namespace Norvane::Shared
