#include "engine/webkitgtk/Json.h"

#include "platform/Text.h"

#include <rapidjson/document.h>
#include <rapidjson/reader.h>
#include <rapidjson/stringbuffer.h>

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
    return Platform::Text::JsonStringLiteral(Text, Platform::Text::ScriptJson);
}

} // namespace Norvane::Engine
