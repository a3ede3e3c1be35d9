// Text primitives every layer uses: UTF-8 decoding and encoding, JSON string
// escaping and ASCII case folding. Standard library only; built as the small
// library norvane_Text (position-independent, so the engine library links it
// too). The case-folding functions are inline and need no library at all.
//
// Invalid UTF-8 is read the one way everywhere: each maximal ill-formed
// subpart becomes one U+FFFD. A maximal subpart is the longest start of a
// well-formed sequence (a lead byte followed by continuation bytes that could
// still end well), or else a single byte. So "\xE2\x82A" is U+FFFD "A", while
// an overlong "\xC0\xAF", a surrogate "\xED\xA0\x80", "\xF4\x90\x80\x80"
// (beyond U+10FFFF), a byte F5–FF and a lone continuation byte give one U+FFFD
// per byte.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace Norvane::Platform::Text {

inline constexpr char32_t ReplacementCharacter = 0xFFFD;

// ---- UTF-8 ------------------------------------------------------------------

// The code point at Index of Text; Index moves past it (Index < Text.size()).
// A maximal ill-formed subpart gives U+FFFD and Index moves past the subpart.
char32_t NextCodePoint(std::string_view Text, std::size_t& Index);

// Whether Text is well-formed UTF-8 throughout.
bool IsValidUtf8(std::string_view Text);

// Text with every maximal ill-formed subpart replaced by U+FFFD; well-formed
// text comes back unchanged.
std::string ValidUtf8(std::string_view Text);

// Appends the UTF-8 bytes of CodePoint (at most U+10FFFF; a surrogate code
// point is written as its three bytes, as is, so callers pass scalar values).
void AppendUtf8(std::string& Out, char32_t CodePoint);

// ---- JSON strings -----------------------------------------------------------

// What a JSON string literal escapes beyond what JSON itself requires (the
// quote, the backslash and U+0000–U+001F, with the short forms \b \t \n \f \r
// and lower-case \u00XX for the rest). Hexadecimal digits are lower case.
struct JsonEscaping {
    // Every code point from U+0080 on as \uXXXX (a UTF-16 pair beyond U+FFFF),
    // so the literal is pure ASCII. Invalid UTF-8 is then always \ufffd.
    bool NonAscii;
    // U+2028 and U+2029 as \u2028 and \u2029: JavaScript source before ES2019
    // takes them as line ends, so a literal placed in a script needs them escaped.
    bool LineSeparators;
    // Invalid UTF-8 as U+FFFD; when false its bytes are copied as they are.
    bool ReplaceInvalid;
};

// Pure ASCII: everything from U+0080 on escaped, invalid UTF-8 as \ufffd.
inline constexpr JsonEscaping AsciiJson{true, false, true};
// Only what JSON requires; every other byte, valid or not, copied unchanged.
inline constexpr JsonEscaping MinimalJson{false, false, false};
// A literal that is also safe inside a script: U+2028 and U+2029 escaped,
// invalid UTF-8 as U+FFFD, other text as UTF-8.
inline constexpr JsonEscaping ScriptJson{false, true, true};

// Appends the escaped Text, without quotes.
void AppendJsonEscaped(std::string& Out, std::string_view Text, const JsonEscaping& How);

// Text as a JSON string literal, with its quotes.
std::string JsonStringLiteral(std::string_view Text, const JsonEscaping& How);

// ---- Addresses ----------------------------------------------------------------

// Appends Text with every byte outside the unreserved characters of an address
// (ASCII letters and digits, '-', '.', '_', '~') and outside Keep written as
// %XX (upper-case hexadecimal digits).
void AppendPercentEncoded(std::string& Out, std::string_view Text, std::string_view Keep);

// ---- ASCII case -------------------------------------------------------------
// Only the letters A–Z fold; every other byte (non-ASCII included) compares
// exactly, whatever the locale.

constexpr char LowerAscii(char C) {
    return C >= 'A' && C <= 'Z' ? static_cast<char>(C - 'A' + 'a') : C;
}

inline std::string LowerAscii(std::string_view Text) {
    std::string out(Text);
    for (char& c : out)
        c = LowerAscii(c);
    return out;
}

constexpr bool EqualsNoCase(std::string_view A, std::string_view B) {
    if (A.size() != B.size())
        return false;
    for (std::size_t i = 0; i < A.size(); ++i)
        if (LowerAscii(A[i]) != LowerAscii(B[i]))
            return false;
    return true;
}

constexpr bool StartsWithNoCase(std::string_view Text, std::string_view Prefix) {
    return Text.size() >= Prefix.size() && EqualsNoCase(Text.substr(0, Prefix.size()), Prefix);
}

} // namespace Norvane::Platform::Text
