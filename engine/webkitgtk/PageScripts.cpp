#include "engine/webkitgtk/PageScripts.h"

#include "engine/webkitgtk/AddressMapping.h"
#include "engine/webkitgtk/Json.h"
#include "shared/Resources.h"

#include <initializer_list>
#include <stdexcept>
#include <utility>

namespace Norvane::Engine {

namespace {

// A script expression that is true in a document that may carry the host:
// one whose address starts with the application's prefix, an object address
// made by such a document, or a top document "about:blank" (the engine's
// error page for an address of the application reads so; the engine takes
// such a document's messages only while the view's own address is one of
// the application's).
std::string HostDocumentTest() {
    const std::string Prefix = ToJsonString(AppPrefix());
    return "(function (h) { return h.indexOf(" + Prefix +
           ") === 0 || (h.indexOf(\"blob:\") === 0 && h.indexOf(" + Prefix +
           ", 5) === 5) || (h === \"about:blank\" && window.top === window); })(String(location.href))";
}

// The text of an embedded script (engine/webkitgtk/scripts) with each
// placeholder replaced by its value.
std::string ScriptText(std::string_view Name,
                       std::initializer_list<std::pair<std::string_view, std::string>> Values = {}) {
    const std::string_view found = Shared::FindResource(Name);
    if (found.data() == nullptr)
        throw std::logic_error("the page script " + std::string(Name) + " is not embedded");
    std::string text(found);
    for (const auto& [placeholder, value] : Values)
        for (std::size_t at = text.find(placeholder); at != std::string::npos;
             at = text.find(placeholder, at + value.size()))
            text.replace(at, placeholder.size(), value);
    return text;
}

} // namespace

const std::string& WebViewShimScript() {
    static const std::string Script =
        ScriptText("webview-shim.js", {{"__HOST_DOCUMENT__", HostDocumentTest()}});
    return Script;
}

const std::string& MessageForwarderScript() {
    static const std::string Script =
        ScriptText("message-forwarder.js", {{"__HOST_DOCUMENT__", HostDocumentTest()}});
    return Script;
}

std::string MediaAddressScript(const std::string& Base) {
    return ScriptText("media-addresses.js", {{"__HOST_DOCUMENT__", HostDocumentTest()},
                                             {"__APP_PREFIX__", ToJsonString(AppPrefix())},
                                             {"__MEDIA_BASE__", ToJsonString(Base)}});
}

bool SplitForwardedMessage(std::string_view Message, std::string& SenderAddress, std::string& Json) {
    const std::size_t Break = Message.find('\n');
    if (Break == std::string_view::npos)
        return false;
    SenderAddress.assign(Message.substr(0, Break));
    Json.assign(Message.substr(Break + 1));
    return true;
}

std::string UnpatternedHostDocumentScript(std::string_view Script) {
    return "if (" + HostDocumentTest() + " && String(location.href).indexOf(" + ToJsonString(AppPrefix()) +
           ") !== 0) (0, eval)(" + ToJsonString(std::string(Script)) + ");";
}

const std::string& FocusEdgeScript() {
    static const std::string Script = ScriptText("focus-edge.js");
    return Script;
}

const std::string& WaitingFrameScript() {
    static const std::string Script = ScriptText("waiting-frame.js");
    return Script;
}

const char* DispatchFunctionName() {
    return "__norvaneDispatch";
}

} // namespace Norvane::Engine
