// The dispatcher: the table of the bridge's functions (filled from
// shared/bridge/Functions.json), the routing of one web message to the
// function of its number, and the replies. Functions return a TBridgeResult;
// the dispatcher alone formats it into the reply.
#pragma once

#include "shared/bridge/BridgeProtocol.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace Norvane::Shared {

// A function of the bridge as it is registered with the dispatcher: its
// number, its name in the page's script library, whether the library's
// wrapper passes the page's argument object, and whether it is refused when
// no payload archive is open (with its refusal text).
struct TBridgeFunction {
    std::int32_t Id = 0;
    std::string ScriptName;      // e.g. "qvx.files.fileExists"
    bool TakesArguments = false; // the wrapper passes the page's argument object
    bool RuntimeOnly = false;    // refused when no payload archive is open
    std::string RefusalText;     // shown instead of running it; empty unless RuntimeOnly
};

// "Calls to <Name>() works only at runtime.", the refusal of a runtime-only
// function named Name.
std::string RuntimeOnlyRefusal(std::string_view Name);

// What a function answers: a success with its result, an error with its text,
// or no reply now (a function that answers later through
// TBridgeDispatcher::Reply, or never, as qvx.app.close).
class TBridgeResult {
public:
    // Results in the encodings of BridgeProtocol.h.
    static TBridgeResult Boolean(bool Value) { return {true, true, Value ? "true" : "false"}; }
    // A JSON string with only ", \ and the control characters escaped.
    static TBridgeResult PlainText(std::string_view Text) { return {true, true, PlainJsonString(Text)}; }
    // A JSON string in ASCII (every other character as a \u escape).
    static TBridgeResult EscapedText(std::string_view Text) { return {true, true, EscapedJsonString(Text)}; }
    static TBridgeResult Integer(long long Value) { return {true, true, std::to_string(Value)}; }
    static TBridgeResult Strings(const std::vector<std::string>& Items) {
        return {true, true, JsonStringArray(Items)};
    }
    // A JSON object or array built by the caller, every string in it made by
    // EscapedJsonString or PlainJsonString and every number finite.
    static TBridgeResult JsonValue(std::string Json) { return {true, true, std::move(Json)}; }
    // An error: its text as an escaped JSON string.
    static TBridgeResult Error(std::string_view Text) { return {true, false, EscapedJsonString(Text)}; }
    static TBridgeResult NoReply() { return {false, false, {}}; }

    bool Replies() const { return FReplies; }
    bool Success() const { return FSuccess; }
    // The result as ready JSON text.
    const std::string& Json() const { return FJson; }

private:
    TBridgeResult(bool Replies, bool Success, std::string Json)
        : FReplies(Replies), FSuccess(Success), FJson(std::move(Json)) {}
    bool FReplies;
    bool FSuccess;
    std::string FJson;
};

// One call as a function receives it.
struct TBridgeCall {
    const std::string& Uuid;
    const TJsonValue& Data; // the request's data object
};

// The plain-string message that the browser window's click listener posts
// when it is not in runtime mode.
inline constexpr std::string_view BrowserClickedMessage = "qvx-webbrowser-clicked";

// What the dispatcher needs from the window that carries the bridge.
class IBridgeHost {
public:
    virtual ~IBridgeHost() = default;
    // Posts a reply to the page as a JSON message.
    virtual void PostWebMessageAsJson(const std::string& Json) = 0;
    // Shows the refusal of a runtime-only function (a modal information box).
    virtual void ShowRefusal(const std::string& Text) = 0;
    // True when a payload archive is open.
    virtual bool IsRuntimeMode() const = 0;
    // Gives the input focus to the browser window's host control, then to the
    // browser control.
    virtual void FocusBrowser() = 0;
};

// A function of the table. An EBridgeFailure it raises is answered as the
// call's error; any other error propagates (see HandleWebMessage).
using TBridgeHandler = std::function<TBridgeResult(const TBridgeCall& Call)>;

class TBridgeDispatcher {
public:
    explicit TBridgeDispatcher(IBridgeHost& Host) : FHost(Host) {}

    // Puts Function into the table, served by Handler; a null Handler keeps
    // the number in the table without serving it yet (ignored in runtime mode,
    // refused outside it when the function is runtime-only). A number already
    // in the table, or one that is not positive, raises std::invalid_argument.
    void Register(TBridgeFunction Function, TBridgeHandler Handler);
    // Serves a function of the table with Handler from now on (replacing the
    // one before). Raises std::invalid_argument for a number outside the table.
    void Serve(std::int32_t Id, TBridgeHandler Handler);
    // The function of a number; nullptr for a number outside the table.
    const TBridgeFunction* Find(std::int32_t Id) const;
    bool IsServed(std::int32_t Id) const;
    // The table, in the order of the numbers.
    std::vector<TBridgeFunction> Functions() const;

    // Handles one web message of the browser:
    //  0. A message whose Source (the sending document's address) is not an
    //     application address is dropped: no reply, no error, one line on
    //     standard error naming the address.
    //  1. MessageAsString is the message when it is a plain string, else empty.
    //  2. Outside runtime mode the string "qvx-webbrowser-clicked" focuses the
    //     browser and ends the handling.
    //  3./4. MessageAsJson is parsed and read (ParseBridgeRequest).
    //  5. An id that is no 32-bit integer ends the handling without a reply.
    //  6. A number that is not in the table is ignored: no reply, no message.
    //     A runtime-only function outside runtime mode shows its refusal text
    //     and gets no reply, whether it is served or not. A function not
    //     served yet is ignored. Otherwise its handler runs with the uuid and
    //     the data, and its result is replied (EBridgeFailure as an error).
    //  7. The parsed message is released when the handler returns.
    // Errors of steps 3 to 6, including any that a handler raises, propagate
    // to the caller; nothing is posted for them.
    void HandleWebMessage(std::string_view Source, std::string_view MessageAsString,
                          std::string_view MessageAsJson);

    // Posts the reply of a result to the page (nothing for NoReply): for a
    // function that answers after it has returned.
    void Reply(std::string_view Uuid, const TBridgeResult& Result);
    // Posts FormatBridgeReply(Uuid, Result, Success) to the page.
    void SendReply(std::string_view Uuid, std::string_view Result, bool Success);

    IBridgeHost& Host() const { return FHost; }

    // In an author's run: a call of a number outside the table, and every
    // error reply, leave one line on standard error naming the function.
    void SetReportFailures(bool Value) { FReportFailures = Value; }

private:
    IBridgeHost& FHost;
    bool FReportFailures = false;
    // While reporting: the function of each call not answered yet, by uuid
    // (forgotten past a bound, for calls that never get an answer).
    std::unordered_map<std::string, std::string> FPendingCalls;
    struct TEntry {
        TBridgeFunction Function;
        TBridgeHandler Handler;
    };
    std::map<std::int32_t, TEntry> FTable;
};

} // namespace Norvane::Shared
