// The message protocol between the page's script library (window.qvx) and the
// host: the table of function numbers, the request and reply formats, the rules
// by which functions read their arguments, and the dispatcher that routes one
// web message to the function of its number.
//
// Request (page to host), a JSON object:
//   {"id": <function number>, "uuid": "<correlation key>", "data": {<arguments>}}
// Reply (host to page), JSON text built exactly as
//   {"uuid": "<uuid>", "success": true|false, "result": <result>}
// where <result> is ready JSON text supplied by the function: an escaped JSON
// string, a plain JSON string, true/false or an array of strings.
//
// The uuid comes back exactly as the page sent it; only the characters that
// JSON does not allow inside a string literal as they are (", \ and the
// control characters U+0000 to U+001F) are escaped, so that a reply is always
// valid JSON and the page's promise settles. Plain JSON strings follow the same
// rule.
//
// Errors raised while a request is read (EBridgeError) carry these texts:
//
//   key missing          Value '<key>' not found
//   wrong JSON kind      Conversion from <kind> to <type> is not supported
//   not JSON at all      Invalid JSON text: <reason> (at byte <offset>)
//   nested too deeply    Invalid JSON text: nesting deeper than 512 levels (at byte <offset>)
//
// with these names for the kinds of JSON value and for the types wanted:
//
//   | JSON value          | <kind>      |   | wanted                     | <type>      |
//   |---------------------|-------------|---|----------------------------|-------------|
//   | object              | TJSONObject |   | text (id, uuid, arguments) | string      |
//   | array               | TJSONArray  |   | boolean argument           | Boolean     |
//   | string              | TJSONString |   | the request's data         | TJSONObject |
//   | number              | TJSONNumber |   |                            |             |
//   | true                | TJSONTrue   |   |                            |             |
//   | false               | TJSONFalse  |   |                            |             |
//   | null                | TJSONNull   |   |                            |             |
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace Norvane::Shared {

// An error in a request or an argument. It is not answered to the page: the
// dispatcher lets it propagate, and the bridge's owner reports it.
class EBridgeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// ----------------------------------------------------------------------------
// JSON values as the bridge reads them. Numbers keep their source text, so
// 12.5, 1e3 or 12345678901234567890 read back exactly as the page wrote them.

enum class TJsonKind { Null, False, True, Number, String, Array, Object };

struct TJsonMember;

class TJsonValue {
public:
    // Deepest nesting of arrays and objects that Parse accepts.
    static constexpr std::size_t MaxDepth = 512;

    // Defined where TJsonMember is complete (a vector of an incomplete type
    // cannot be made inline here).
    TJsonValue(); // null
    static TJsonValue Null();
    static TJsonValue Boolean(bool Value);
    static TJsonValue Number(std::string Text);
    static TJsonValue String(std::string Text);
    static TJsonValue Array();
    static TJsonValue Object();

    // Parses one complete JSON text (UTF-8; white space around it allowed).
    // Raises EBridgeError "Invalid JSON text: ..." for anything else. Every
    // text read (strings and keys) is valid UTF-8: an escaped UTF-16 surrogate
    // that is not part of a pair (a high one not directly followed by an
    // escaped low one, a low one without a high one before it) reads as U+FFFD.
    static TJsonValue Parse(std::string_view Text);

    TJsonKind Kind() const { return FKind; }
    bool IsNull() const { return FKind == TJsonKind::Null; }
    bool IsBoolean() const { return FKind == TJsonKind::True || FKind == TJsonKind::False; }
    bool IsNumber() const { return FKind == TJsonKind::Number; }
    bool IsString() const { return FKind == TJsonKind::String; }
    bool IsArray() const { return FKind == TJsonKind::Array; }
    bool IsObject() const { return FKind == TJsonKind::Object; }

    // String: its contents; Number: its source text; true/false/null: that
    // word; arrays and objects: empty.
    const std::string& Text() const { return FText; }

    // Elements of an array (empty for other kinds).
    const std::vector<TJsonValue>& Items() const { return FItems; }
    // Members of an object in their order (empty for other kinds).
    const std::vector<TJsonMember>& Members() const { return FMembers; }
    // The value of the first member called Key; nullptr when this is no
    // object or has no such member.
    const TJsonValue* Find(std::string_view Key) const;

    // Appending, for building values (the kind must be Array or Object).
    void Add(TJsonValue Value);
    void Add(std::string Key, TJsonValue Value);

    // The kind's name in error texts (table above).
    std::string_view ClassName() const { return KindName(FKind); }
    static std::string_view KindName(TJsonKind Kind);

private:
    TJsonKind FKind = TJsonKind::Null;
    std::string FText = "null";
    std::vector<TJsonValue> FItems;
    std::vector<TJsonMember> FMembers;
};

struct TJsonMember {
    std::string Key;
    TJsonValue Value;
};

// ----------------------------------------------------------------------------
// Error texts.

inline constexpr std::string_view NotFoundErrorFormat = "Value '%s' not found";
inline constexpr std::string_view ConversionErrorFormat = "Conversion from %0:s to %1:s is not supported";

// "Value '<Key>' not found".
std::string NotFoundErrorText(std::string_view Key);
// "Conversion from <FromKind> to <ToType> is not supported".
std::string ConversionErrorText(std::string_view FromKind, std::string_view ToType);

// Target type names of the conversion error.
inline constexpr std::string_view TextTypeName = "string";
inline constexpr std::string_view BooleanTypeName = "Boolean";
inline constexpr std::string_view ObjectTypeName = "TJSONObject";

// ----------------------------------------------------------------------------
// The functions.

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

// ----------------------------------------------------------------------------
// Requests.

struct TBridgeRequest {
    std::string IdText; // the id as text: a number's JSON text or a string's contents
    std::string Uuid;
    TJsonValue Data; // always an object
};

// Parses the JSON text of a request and reads, in this order, "id" and "uuid"
// as text and "data" as an object. A missing key raises "Value '<key>' not
// found" (also when the message is no JSON object at all); an id or uuid that
// is an object, array or null, and a data that is no object, raise the
// conversion error.
TBridgeRequest ParseBridgeRequest(std::string_view Json);

// Decimal text with an optional sign and nothing else, within the 32-bit range.
bool TryParseInt32(std::string_view Text, std::int32_t& Value);

// ----------------------------------------------------------------------------
// Argument reading. Data is the request's data object.

// A text argument: absent or null gives Default; a string its contents; a
// number its JSON text (12.5 stays "12.5"); true/false "true"/"false"; an
// object or array raises "Conversion from TJSONObject to string is not
// supported" (or TJSONArray).
std::string ReadTextArg(const TJsonValue& Data, std::string_view Key, std::string_view Default = {});
// A boolean argument: absent or null gives Default; true/false its value;
// any other kind raises "Conversion from <kind> to Boolean is not supported".
bool ReadBoolArg(const TJsonValue& Data, std::string_view Key, bool Default);

// ----------------------------------------------------------------------------
// Replies and result encodings.

// {"uuid": "<Uuid>", "success": <true|false>, "result": <Result>}; the uuid is
// escaped as described at the top, Result is put in as it is.
std::string FormatBridgeReply(std::string_view Uuid, std::string_view Result, bool Success);
// "text" with only ", \ and U+0000..U+001F escaped; every other byte as it is.
std::string PlainJsonString(std::string_view Text);
// The JSON string literal of TStrUtils::StringToJsonString (pure ASCII).
std::string EscapedJsonString(std::string_view Text);
// [ then the escaped JSON strings of the items joined by "," then ]; [] when empty.
std::string JsonStringArray(const std::vector<std::string>& Items);

// ----------------------------------------------------------------------------
// Numbers as the window functions write and read them.

// General format with up to 15 significant digits: no trailing zeros, the
// exponent form (1E20, 1E-5) when the exponent is below -4 or 15 and above;
// DecimalSeparator in place of the point.
std::string FormatGeneralFloat(double Value, std::string_view DecimalSeparator);
// A decimal number with "." as the only decimal separator and no thousands
// separator: optional blanks around it, an optional sign, digits with an
// optional fraction and an optional exponent. Infinity and NaN are refused.
bool TryParseDotFloat(std::string_view Text, double& Value);

// ----------------------------------------------------------------------------
// The dispatcher.

// The plain-string message that the browser window's click listener posts
// when it is not in runtime mode.
inline constexpr std::string_view BrowserClickedMessage = "qvx-webbrowser-clicked";

// Whether a page address (as the browser control reports a message's
// source) is one of the application's own documents: a "file:" address, or
// an object address ("blob:file:...") that such a document made. Only these
// may use the bridge.
bool IsApplicationAddress(std::string_view Address);

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

// A function of the table: the request's uuid and its data object.
using TBridgeHandler = std::function<void(const std::string& Uuid, const TJsonValue& Data)>;

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
    //     the data.
    //  7. The parsed message is released when the handler returns.
    // Errors of steps 3 to 6, including any that a handler raises, propagate
    // to the caller; nothing is posted for them.
    void HandleWebMessage(std::string_view Source, std::string_view MessageAsString,
                          std::string_view MessageAsJson);

    // Posts FormatBridgeReply(Uuid, Result, Success) to the page.
    void SendReply(std::string_view Uuid, std::string_view Result, bool Success);
    void SendSuccess(std::string_view Uuid, std::string_view Result) { SendReply(Uuid, Result, true); }
    void SendError(std::string_view Uuid, std::string_view Result) { SendReply(Uuid, Result, false); }

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
