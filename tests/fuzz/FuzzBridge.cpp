// The bridge's request parser and dispatcher over a recording host: the
// first byte chooses runtime mode and the source address, the rest is the
// page's message. Handlers read their arguments as the real ones do.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "shared/bridge/BridgeArguments.h"
#include "shared/bridge/BridgeDispatcher.h"
#include "shared/bridge/BridgeProtocol.h"

using namespace Norvane::Shared;

namespace {

class TRecordingHost : public IBridgeHost {
public:
    bool Runtime = false;
    std::vector<std::string> Posted;
    void PostWebMessageAsJson(const std::string& Json) override { Posted.push_back(Json); }
    void ShowRefusal(const std::string& Text) override { Posted.push_back("refused " + Text); }
    bool IsRuntimeMode() const override { return Runtime; }
    void FocusBrowser() override { Posted.emplace_back("focus"); }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    if (Size == 0)
        return 0;
    TRecordingHost host;
    host.Runtime = (Data[0] & 1) != 0;
    const char* source = (Data[0] & 2) ? "https://example.org/" : "file:///index.html";
    const std::string message(reinterpret_cast<const char*>(Data + 1), Size - 1);
    TBridgeDispatcher dispatcher(host);
    dispatcher.Register({30001, "qvx.files.fileExists", true, false, ""},
                        [](const TBridgeCall& Call) {
                            return TBridgeResult::PlainText(ReadPathArg(Call.Data, "filePath"));
                        });
    dispatcher.Register({50006, "qvx.window.setState", true, true, RuntimeOnlyRefusal("setState")},
                        [](const TBridgeCall& Call) {
                            return TBridgeResult::Boolean(ReadBoolArg(Call.Data, "maximized", false));
                        });
    dispatcher.Register({50001, "qvx.app.close", false, false, ""}, nullptr);
    try {
        dispatcher.HandleWebMessage(source, message, message);
    } catch (const std::exception&) {
    }
    // Every reply the dispatcher posted is itself valid JSON.
    for (const auto& posted : host.Posted)
        if (!posted.empty() && posted[0] == '{')
            TJsonValue::Parse(posted);
    return 0;
}
