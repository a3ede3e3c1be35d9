// The message protocol between the page's script library (window.qvx) and the
// host: JSON values as the bridge reads them, the request and reply formats and
// the result encodings. The function table is shared/bridge/Functions.json,
// the dispatcher is in BridgeDispatcher.h and the argument reader in
// BridgeArguments.h.
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

// A function's refusal of its call (a missing or invalid argument): the
// dispatcher answers it as the call's error, with the text escaped.
class EBridgeFailure : public std::runtime_error {
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

// A request's value read as text: a string its contents, a number its JSON
// text, true/false that word; any other kind raises the conversion error
// "Conversion from <kind> to string is not supported".
std::string JsonAsText(const TJsonValue& Value);

// Decimal text with an optional sign and nothing else, within the 32-bit range.
bool TryParseInt32(std::string_view Text, std::int32_t& Value);

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

// Whether a page address (as the browser control reports a message's
// source) is one of the application's own documents: a "file:" address, or
// an object address ("blob:file:...") that such a document made. Only these
// may use the bridge.
inline bool IsApplicationAddress(std::string_view Address) {
    // Scheme names compare without regard to letter case.
    auto startsText = [](std::string_view Text, std::string_view Prefix) {
        if (Text.size() < Prefix.size())
            return false;
        for (std::size_t i = 0; i < Prefix.size(); ++i) {
            const char c = Text[i] >= 'A' && Text[i] <= 'Z' ? static_cast<char>(Text[i] + ('a' - 'A')) : Text[i];
            if (c != Prefix[i])
                return false;
        }
        return true;
    };
    if (startsText(Address, "blob:"))
        Address.remove_prefix(5);
    return startsText(Address, "file:");
}

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

} // namespace Norvane::Shared
