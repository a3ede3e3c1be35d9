#include "shared/bridge/BridgeProtocol.h"

#include "platform/Text.h"
#include "shared/StrUtils.h"

#include <rapidjson/error/en.h>
#include <rapidjson/reader.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <initializer_list>

namespace Norvane::Shared {

// ----------------------------------------------------------------------------
// JSON values

TJsonValue::TJsonValue() = default;

TJsonValue TJsonValue::Null() {
    return TJsonValue();
}

TJsonValue TJsonValue::Boolean(bool Value) {
    TJsonValue v;
    v.FKind = Value ? TJsonKind::True : TJsonKind::False;
    v.FText = Value ? "true" : "false";
    return v;
}

TJsonValue TJsonValue::Number(std::string Text) {
    TJsonValue v;
    v.FKind = TJsonKind::Number;
    v.FText = std::move(Text);
    return v;
}

TJsonValue TJsonValue::String(std::string Text) {
    TJsonValue v;
    v.FKind = TJsonKind::String;
    v.FText = std::move(Text);
    return v;
}

TJsonValue TJsonValue::Array() {
    TJsonValue v;
    v.FKind = TJsonKind::Array;
    v.FText.clear();
    return v;
}

TJsonValue TJsonValue::Object() {
    TJsonValue v;
    v.FKind = TJsonKind::Object;
    v.FText.clear();
    return v;
}

const TJsonValue* TJsonValue::Find(std::string_view Key) const {
    for (const TJsonMember& member : FMembers) {
        if (member.Key == Key)
            return &member.Value;
    }
    return nullptr;
}

void TJsonValue::Add(TJsonValue Value) {
    if (FKind != TJsonKind::Array)
        throw std::logic_error("TJsonValue::Add: not an array");
    FItems.push_back(std::move(Value));
}

void TJsonValue::Add(std::string Key, TJsonValue Value) {
    if (FKind != TJsonKind::Object)
        throw std::logic_error("TJsonValue::Add: not an object");
    FMembers.push_back(TJsonMember{std::move(Key), std::move(Value)});
}

std::string_view TJsonValue::KindName(TJsonKind Kind) {
    switch (Kind) {
    case TJsonKind::Null:
        return "TJSONNull";
    case TJsonKind::False:
        return "TJSONFalse";
    case TJsonKind::True:
        return "TJSONTrue";
    case TJsonKind::Number:
        return "TJSONNumber";
    case TJsonKind::String:
        return "TJSONString";
    case TJsonKind::Array:
        return "TJSONArray";
    case TJsonKind::Object:
        return "TJSONObject";
    }
    return "TJSONValue";
}

namespace {

// Builds a TJsonValue from the reader's events without recursion. Numbers
// arrive as their source text (kParseNumbersAsStringsFlag).
class TJsonBuilder : public rapidjson::BaseReaderHandler<rapidjson::UTF8<>, TJsonBuilder> {
public:
    bool Null() { return Put(TJsonValue::Null()); }
    bool Bool(bool b) { return Put(TJsonValue::Boolean(b)); }
    bool RawNumber(const char* str, rapidjson::SizeType length, bool) {
        return Put(TJsonValue::Number(std::string(str, length)));
    }
    bool String(const char* str, rapidjson::SizeType length, bool) {
        return Put(TJsonValue::String(std::string(str, length)));
    }
    bool StartObject() { return Open(TJsonValue::Object()); }
    bool Key(const char* str, rapidjson::SizeType length, bool) {
        FKeys.emplace_back(str, length);
        return true;
    }
    bool EndObject(rapidjson::SizeType) { return Close(); }
    bool StartArray() { return Open(TJsonValue::Array()); }
    bool EndArray(rapidjson::SizeType) { return Close(); }

    bool TooDeep() const { return FTooDeep; }
    TJsonValue TakeRoot() { return std::move(FRoot); }

private:
    bool Open(TJsonValue container) {
        if (FOpen.size() >= TJsonValue::MaxDepth) {
            FTooDeep = true;
            return false;
        }
        FOpen.push_back(std::move(container));
        return true;
    }

    bool Close() {
        TJsonValue done = std::move(FOpen.back());
        FOpen.pop_back();
        return Put(std::move(done));
    }

    bool Put(TJsonValue value) {
        if (FOpen.empty()) {
            FRoot = std::move(value);
        } else if (FOpen.back().IsArray()) {
            FOpen.back().Add(std::move(value));
        } else {
            FOpen.back().Add(std::move(FKeys.back()), std::move(value));
            FKeys.pop_back();
        }
        return true;
    }

    std::vector<TJsonValue> FOpen;
    std::vector<std::string> FKeys;
    TJsonValue FRoot;
    bool FTooDeep = false;
};

// The code unit of a \uXXXX escape at the offset, when there is one.
bool UnicodeEscapeAt(std::string_view text, std::size_t at, unsigned& unit) {
    if (at + 6 > text.size() || text[at] != '\\' || text[at + 1] != 'u')
        return false;
    unit = 0;
    for (std::size_t i = at + 2; i < at + 6; ++i) {
        const char c = text[i];
        unsigned digit = 0;
        if (c >= '0' && c <= '9')
            digit = static_cast<unsigned>(c - '0');
        else if (c >= 'a' && c <= 'f')
            digit = static_cast<unsigned>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            digit = static_cast<unsigned>(c - 'A' + 10);
        else
            return false;
        unit = unit * 16 + digit;
    }
    return true;
}

// A page's JSON.stringify writes a lone UTF-16 surrogate as an escape. The
// reader would make a lone low one the bytes of no valid UTF-8 character (a
// reply that echoes them is refused by the engine) and a lone high one an
// error, so every lone surrogate escape, high or low, becomes \ufffd (U+FFFD):
// the same length, so that error offsets stay those of the page's text. A high
// escape directly followed by a low one stays the pair. Escapes are taken from
// left to right, so in \\ud800 the backslash is escaped and "ud800" is text.
void ReplaceLoneSurrogates(std::string& text) {
    std::size_t at = text.find('\\');
    while (at != std::string::npos) {
        unsigned unit = 0;
        std::size_t next = at + 2; // any other escape: the backslash and one character
        if (UnicodeEscapeAt(text, at, unit)) {
            next = at + 6;
            unsigned low = 0;
            if (unit >= 0xD800 && unit <= 0xDBFF && UnicodeEscapeAt(text, next, low) && low >= 0xDC00 &&
                low <= 0xDFFF) {
                next += 6;
            } else if (unit >= 0xD800 && unit <= 0xDFFF) {
                text.replace(at, 6, "\\ufffd");
            }
        }
        at = next < text.size() ? text.find('\\', next) : std::string::npos;
    }
}

// The most bytes that follow the first of a UTF-8 sequence.
constexpr std::size_t MaxContinuationBytes = 3;

std::string InvalidJson(std::string_view reason, std::size_t offset) {
    return "Invalid JSON text: " + std::string(reason) + " (at byte " + std::to_string(offset) + ")";
}

} // namespace

TJsonValue TJsonValue::Parse(std::string_view Text) {
    // The reader decodes a copy of the text in place and descends into arrays
    // and objects by recursion, which the builder stops past MaxDepth. It thus
    // never uses the reader's own stack: rapidjson 1.1.0 computes an offset
    // from that stack's null pointer on its first use.
    constexpr unsigned flags = rapidjson::kParseNumbersAsStringsFlag | rapidjson::kParseInsituFlag |
                               rapidjson::kParseValidateEncodingFlag;
    std::string buffer(Text);
    ReplaceLoneSurrogates(buffer);
    const std::size_t length = buffer.size();
    // The encoding check takes all continuation bytes of a sequence before it
    // judges them, also past the end: NUL bytes to read there.
    buffer.append(MaxContinuationBytes, '\0');
    rapidjson::InsituStringStream stream(buffer.data());
    TJsonBuilder builder;
    rapidjson::Reader reader;
    const rapidjson::ParseResult result = reader.Parse<flags>(stream, builder);
    if (builder.TooDeep())
        throw EBridgeError(
            InvalidJson("nesting deeper than " + std::to_string(MaxDepth) + " levels", result.Offset()));
    if (result.IsError())
        throw EBridgeError(InvalidJson(rapidjson::GetParseError_En(result.Code()), result.Offset()));
    // The reader takes a NUL byte for the end of the text; anything after one
    // is not part of a valid JSON text.
    if (stream.Tell() != length)
        throw EBridgeError(
            InvalidJson("The document root must not be followed by other values.", stream.Tell()));
    return builder.TakeRoot();
}

// ----------------------------------------------------------------------------
// Error texts

namespace {

std::string Fill(std::string_view format,
                 std::initializer_list<std::pair<std::string_view, std::string_view>> fills) {
    std::string text(format);
    for (const auto& [token, value] : fills) {
        const std::size_t at = text.find(token);
        if (at != std::string::npos)
            text.replace(at, token.size(), value);
    }
    return text;
}

} // namespace

std::string NotFoundErrorText(std::string_view Key) {
    return Fill(NotFoundErrorFormat, {{"%s", Key}});
}

std::string ConversionErrorText(std::string_view FromKind, std::string_view ToType) {
    return Fill(ConversionErrorFormat, {{"%0:s", FromKind}, {"%1:s", ToType}});
}

// ----------------------------------------------------------------------------
// The function table

// ----------------------------------------------------------------------------
// Requests and arguments

std::string JsonAsText(const TJsonValue& value) {
    switch (value.Kind()) {
    case TJsonKind::String:
    case TJsonKind::Number:
    case TJsonKind::True:
    case TJsonKind::False:
        return value.Text();
    default:
        throw EBridgeError(ConversionErrorText(value.ClassName(), TextTypeName));
    }
}

namespace {

const TJsonValue& Required(const TJsonValue& object, std::string_view key) {
    const TJsonValue* value = object.Find(key);
    if (value == nullptr)
        throw EBridgeError(NotFoundErrorText(key));
    return *value;
}

} // namespace

TBridgeRequest ParseBridgeRequest(std::string_view Json) {
    TJsonValue message = TJsonValue::Parse(Json);
    TBridgeRequest request;
    request.IdText = JsonAsText(Required(message, "id"));
    request.Uuid = JsonAsText(Required(message, "uuid"));
    const TJsonValue& data = Required(message, "data");
    if (!data.IsObject())
        throw EBridgeError(ConversionErrorText(data.ClassName(), ObjectTypeName));
    request.Data = data;
    return request;
}

bool TryParseInt32(std::string_view Text, std::int32_t& Value) {
    std::string_view digits = Text;
    if (!digits.empty() && digits.front() == '+')
        digits.remove_prefix(1);
    if (digits.empty() || (digits.front() == '-' && Text.front() == '+'))
        return false;
    std::int32_t parsed = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), parsed, 10);
    if (error != std::errc() || end != digits.data() + digits.size())
        return false;
    Value = parsed;
    return true;
}

// ----------------------------------------------------------------------------
// Replies

std::string FormatBridgeReply(std::string_view Uuid, std::string_view Result, bool Success) {
    std::string reply = "{\"uuid\": \"";
    Platform::Text::AppendJsonEscaped(reply, Uuid, Platform::Text::MinimalJson);
    reply += "\", \"success\": ";
    reply += Success ? "true" : "false";
    reply += ", \"result\": ";
    reply += Result;
    reply += "}";
    return reply;
}

std::string PlainJsonString(std::string_view Text) {
    return Platform::Text::JsonStringLiteral(Text, Platform::Text::MinimalJson);
}

std::string EscapedJsonString(std::string_view Text) {
    return Platform::Text::JsonStringLiteral(Text, Platform::Text::AsciiJson);
}

std::string JsonStringArray(const std::vector<std::string>& Items) {
    std::string out = "[";
    for (std::size_t i = 0; i < Items.size(); ++i) {
        if (i != 0)
            out += ',';
        out += EscapedJsonString(Items[i]);
    }
    out += ']';
    return out;
}

std::string FormatGeneralFloat(double Value, std::string_view DecimalSeparator) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.15G", Value);
    std::string text = buffer;
    // The exponent without "+" and without leading zeros.
    if (std::size_t e = text.find('E'); e != std::string::npos) {
        std::string mantissa = text.substr(0, e);
        std::string exponent = text.substr(e + 1);
        bool negative = !exponent.empty() && exponent[0] == '-';
        if (!exponent.empty() && (exponent[0] == '-' || exponent[0] == '+'))
            exponent.erase(0, 1);
        exponent.erase(0, std::min(exponent.find_first_not_of('0'), exponent.size() - 1));
        text = mantissa + "E" + (negative ? "-" : "") + exponent;
    }
    if (std::size_t dot = text.find('.'); dot != std::string::npos)
        text.replace(dot, 1, DecimalSeparator);
    return text;
}

bool TryParseDotFloat(std::string_view Text, double& Value) {
    auto blank = [](char C) { return C == ' ' || C == '\t'; };
    while (!Text.empty() && blank(Text.front()))
        Text.remove_prefix(1);
    while (!Text.empty() && blank(Text.back()))
        Text.remove_suffix(1);
    bool negative = false;
    if (!Text.empty() && (Text.front() == '+' || Text.front() == '-')) {
        negative = Text.front() == '-';
        Text.remove_prefix(1);
    }
    if (Text.empty() || !(std::isdigit(static_cast<unsigned char>(Text.front())) || Text.front() == '.'))
        return false;
    double result = 0;
    auto [end, error] = std::from_chars(Text.data(), Text.data() + Text.size(), result);
    if (error != std::errc() || end != Text.data() + Text.size() || !std::isfinite(result))
        return false;
    Value = negative ? -result : result;
    return true;
}

} // namespace Norvane::Shared
