// JSON texts crossing between the host and the page.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace Norvane::Engine {

// The deepest nesting of arrays and objects that the readers below accept.
inline constexpr std::size_t MaxJsonDepth = 512;

// Whether Text is one complete JSON value (UTF-8, nothing after it but blanks)
// whose arrays and objects nest no deeper than MaxJsonDepth.
bool IsValidJson(std::string_view Text);

// The string a JSON text stands for, when the text is a JSON string.
bool JsonStringValue(std::string_view Json, std::string& Value);

// Whether the arrays and objects of a JSON text nest no deeper than
// MaxJsonDepth. Brackets inside strings do not count; the text is not
// checked otherwise (the page's JSON.stringify writes a lone UTF-16 surrogate
// as an escape, which the readers above refuse but a host may take).
bool JsonNestingWithinLimit(std::string_view Json);

// Text as a JSON string literal that is also a safe JavaScript literal:
// quotes, backslashes, control characters, U+2028 and U+2029 escaped; each
// maximal ill-formed UTF-8 subpart becomes U+FFFD (Platform::Text::ScriptJson).
std::string ToJsonString(const std::string& Text);

} // namespace Norvane::Engine
