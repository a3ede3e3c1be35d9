// JSON texts crossing between the host and the page.
#pragma once

#include <string>

namespace Norvane::Engine {

// Whether Text is one complete JSON value (UTF-8, nothing after it but blanks).
bool IsValidJson(const std::string& Text);

// The string a JSON text stands for, when the text is a JSON string.
bool JsonStringValue(const std::string& Json, std::string& Value);

// Text as a JSON string literal that is also a safe JavaScript literal:
// quotes, backslashes, control characters, U+2028 and U+2029 escaped; each
// maximal ill-formed UTF-8 subpart becomes U+FFFD (Platform::Text::ScriptJson).
std::string ToJsonString(const std::string& Text);

} // namespace Norvane::Engine
