#include "engine/webkitgtk/Json.h"

#include "platform/Text.h"

#include <rapidjson/reader.h>

#include <utility>

namespace Norvane::Engine {

namespace {

// Stops the reader at the first array or object deeper than MaxJsonDepth.
class TDepthLimit : public rapidjson::BaseReaderHandler<rapidjson::UTF8<>, TDepthLimit> {
public:
    bool StartObject() { return Enter(); }
    bool EndObject(rapidjson::SizeType) { return Leave(); }
    bool StartArray() { return Enter(); }
    bool EndArray(rapidjson::SizeType) { return Leave(); }

private:
    bool Enter() { return ++FDepth <= MaxJsonDepth; }
    bool Leave() {
        --FDepth;
        return true;
    }

    std::size_t FDepth = 0;
};

// Takes the value of a text that is one JSON string and stops the reader at
// anything else, so no array or object is ever entered.
class TRootString : public rapidjson::BaseReaderHandler<rapidjson::UTF8<>, TRootString> {
public:
    bool Default() { return false; }
    bool String(const char* Text, rapidjson::SizeType Length, bool) {
        Value.assign(Text, Length);
        return true;
    }

    std::string Value;
};

// Reads one complete JSON text with Handler and tells whether it was read to
// its end. The reader decodes a copy of the text in place and descends into
// arrays and objects by recursion, which each handler above bounds. It thus
// never uses the reader's own stack: rapidjson 1.1.0 computes an offset from
// that stack's null pointer on its first use.
template <typename THandler> bool ReadJson(std::string_view Text, THandler& Handler) {
    std::string Buffer(Text);
    // The encoding check takes all continuation bytes of a sequence before it
    // judges them, also past the end: NUL bytes to read there.
    Buffer.append(3, '\0');
    rapidjson::InsituStringStream Stream(Buffer.data());
    rapidjson::Reader Reader;
    constexpr unsigned Flags = rapidjson::kParseInsituFlag | rapidjson::kParseValidateEncodingFlag;
    const rapidjson::ParseResult Result = Reader.Parse<Flags>(Stream, Handler);
    // The reader takes a NUL byte for the end of the text.
    return !Result.IsError() && Stream.Tell() == Text.size();
}

} // namespace

bool IsValidJson(std::string_view Text) {
    TDepthLimit Handler;
    return ReadJson(Text, Handler);
}

bool JsonStringValue(std::string_view Json, std::string& Value) {
    TRootString Handler;
    if (!ReadJson(Json, Handler))
        return false;
    Value = std::move(Handler.Value);
    return true;
}

bool JsonNestingWithinLimit(std::string_view Json) {
    std::size_t Depth = 0;
    bool InString = false;
    for (std::size_t At = 0; At < Json.size(); ++At) {
        const char C = Json[At];
        if (InString) {
            if (C == '\\')
                ++At; // the escaped character
            else if (C == '"')
                InString = false;
        } else if (C == '"') {
            InString = true;
        } else if (C == '[' || C == '{') {
            if (++Depth > MaxJsonDepth)
                return false;
        } else if ((C == ']' || C == '}') && Depth > 0) {
            --Depth;
        }
    }
    return true;
}

std::string ToJsonString(const std::string& Text) {
    return Platform::Text::JsonStringLiteral(Text, Platform::Text::ScriptJson);
}

} // namespace Norvane::Engine
