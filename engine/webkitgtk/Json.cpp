#include "engine/webkitgtk/Json.h"

#include <rapidjson/document.h>
#include <rapidjson/reader.h>
#include <rapidjson/stringbuffer.h>

#include <glib.h>

namespace Norvane::Engine {

bool IsValidJson(const std::string& Text) {
    rapidjson::Reader Reader;
    rapidjson::StringStream Stream(Text.c_str());
    rapidjson::BaseReaderHandler<rapidjson::UTF8<>> Handler;
    const rapidjson::ParseResult Result =
        Reader.Parse<rapidjson::kParseValidateEncodingFlag>(Stream, Handler);
    // A NUL inside the text would end the parse early.
    return !Result.IsError() && Text.find('\0') == std::string::npos;
}

bool JsonStringValue(const std::string& Json, std::string& Value) {
    rapidjson::Document Document;
    Document.Parse<rapidjson::kParseValidateEncodingFlag>(Json.c_str(), Json.size());
    if (Document.HasParseError() || !Document.IsString())
        return false;
    Value.assign(Document.GetString(), Document.GetStringLength());
    return true;
}

std::string ToJsonString(const std::string& Text) {
    gchar* Valid = g_utf8_make_valid(Text.data(), static_cast<gssize>(Text.size()));
    const std::string Source(Valid);
    g_free(Valid);

    static const char Hex[] = "0123456789abcdef";
    std::string Out;
    Out.reserve(Source.size() + 2);
    Out += '"';
    for (std::size_t i = 0; i < Source.size(); ++i) {
        const auto c = static_cast<unsigned char>(Source[i]);
        switch (c) {
        case '"':
            Out += "\\\"";
            break;
        case '\\':
            Out += "\\\\";
            break;
        case '\b':
            Out += "\\b";
            break;
        case '\f':
            Out += "\\f";
            break;
        case '\n':
            Out += "\\n";
            break;
        case '\r':
            Out += "\\r";
            break;
        case '\t':
            Out += "\\t";
            break;
        default:
            if (c < 0x20) {
                Out += "\\u00";
                Out += Hex[c >> 4];
                Out += Hex[c & 0xF];
            } else if (c == 0xE2 && i + 2 < Source.size() &&
                       static_cast<unsigned char>(Source[i + 1]) == 0x80 &&
                       (static_cast<unsigned char>(Source[i + 2]) == 0xA8 ||
                        static_cast<unsigned char>(Source[i + 2]) == 0xA9)) {
                Out += static_cast<unsigned char>(Source[i + 2]) == 0xA8 ? "\\u2028" : "\\u2029";
                i += 2;
            } else {
                Out += static_cast<char>(c);
            }
        }
    }
    Out += '"';
    return Out;
}

} // namespace Norvane::Engine
