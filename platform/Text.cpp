#include "platform/Text.h"

namespace Norvane::Platform::Text {
namespace {

// Reads the sequence at Index. Well-formed: true, its code point, Index past
// it. Ill-formed: false, U+FFFD, Index past the maximal ill-formed subpart (a
// continuation byte that cannot follow is never taken into the subpart).
bool Decode(std::string_view Text, std::size_t& Index, char32_t& CodePoint) {
    const auto lead = static_cast<unsigned char>(Text[Index++]);
    CodePoint = lead;
    if (lead < 0x80)
        return true;
    int continuation = 0;
    unsigned char low = 0x80, high = 0xBF; // allowed range of the first continuation byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        continuation = 1;
        CodePoint = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        continuation = 2;
        CodePoint = lead & 0x0Fu;
        if (lead == 0xE0)
            low = 0xA0; // no overlong forms
        else if (lead == 0xED)
            high = 0x9F; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        continuation = 3;
        CodePoint = lead & 0x07u;
        if (lead == 0xF0)
            low = 0x90; // no overlong forms
        else if (lead == 0xF4)
            high = 0x8F; // nothing above U+10FFFF
    } else {
        CodePoint = ReplacementCharacter; // C0, C1, F5–FF, or a continuation byte
        return false;
    }
    for (int k = 0; k < continuation; ++k) {
        const auto next = Index < Text.size() ? static_cast<unsigned char>(Text[Index]) : 0;
        if (next < low || next > high) {
            CodePoint = ReplacementCharacter;
            return false;
        }
        low = 0x80;
        high = 0xBF;
        CodePoint = (CodePoint << 6) | (next & 0x3Fu);
        ++Index;
    }
    return true;
}

void AppendUnicodeEscape(std::string& Out, char32_t Unit) {
    static constexpr char Hex[] = "0123456789abcdef";
    Out += "\\u";
    Out += Hex[(Unit >> 12) & 0xF];
    Out += Hex[(Unit >> 8) & 0xF];
    Out += Hex[(Unit >> 4) & 0xF];
    Out += Hex[Unit & 0xF];
}

} // namespace

char32_t NextCodePoint(std::string_view Text, std::size_t& Index) {
    char32_t codePoint = 0;
    Decode(Text, Index, codePoint);
    return codePoint;
}

bool IsValidUtf8(std::string_view Text) {
    char32_t codePoint = 0;
    for (std::size_t i = 0; i < Text.size();)
        if (!Decode(Text, i, codePoint))
            return false;
    return true;
}

std::string ValidUtf8(std::string_view Text) {
    std::string out;
    out.reserve(Text.size());
    std::size_t run = 0; // start of the well-formed bytes not yet copied
    char32_t codePoint = 0;
    for (std::size_t i = 0; i < Text.size();) {
        const std::size_t start = i;
        if (!Decode(Text, i, codePoint)) {
            out.append(Text.substr(run, start - run));
            AppendUtf8(out, ReplacementCharacter);
            run = i;
        }
    }
    out.append(Text.substr(run));
    return out;
}

void AppendUtf8(std::string& Out, char32_t CodePoint) {
    if (CodePoint < 0x80) {
        Out += static_cast<char>(CodePoint);
    } else if (CodePoint < 0x800) {
        Out += static_cast<char>(0xC0 | (CodePoint >> 6));
        Out += static_cast<char>(0x80 | (CodePoint & 0x3F));
    } else if (CodePoint < 0x10000) {
        Out += static_cast<char>(0xE0 | (CodePoint >> 12));
        Out += static_cast<char>(0x80 | ((CodePoint >> 6) & 0x3F));
        Out += static_cast<char>(0x80 | (CodePoint & 0x3F));
    } else {
        Out += static_cast<char>(0xF0 | (CodePoint >> 18));
        Out += static_cast<char>(0x80 | ((CodePoint >> 12) & 0x3F));
        Out += static_cast<char>(0x80 | ((CodePoint >> 6) & 0x3F));
        Out += static_cast<char>(0x80 | (CodePoint & 0x3F));
    }
}

void AppendJsonEscaped(std::string& Out, std::string_view Text, const JsonEscaping& How) {
    for (std::size_t i = 0; i < Text.size();) {
        const char c = Text[i];
        if (static_cast<unsigned char>(c) < 0x80) {
            ++i;
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
            case '\t':
                Out += "\\t";
                break;
            case '\n':
                Out += "\\n";
                break;
            case '\f':
                Out += "\\f";
                break;
            case '\r':
                Out += "\\r";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20)
                    AppendUnicodeEscape(Out, static_cast<unsigned char>(c));
                else
                    Out += c;
            }
            continue;
        }
        const std::size_t start = i;
        char32_t codePoint = 0;
        const bool valid = Decode(Text, i, codePoint);
        if (How.NonAscii) {
            if (codePoint < 0x10000) {
                AppendUnicodeEscape(Out, codePoint);
            } else {
                const char32_t offset = codePoint - 0x10000;
                AppendUnicodeEscape(Out, 0xD800 + (offset >> 10));
                AppendUnicodeEscape(Out, 0xDC00 + (offset & 0x3FF));
            }
        } else if (!valid && How.ReplaceInvalid) {
            AppendUtf8(Out, ReplacementCharacter);
        } else if (valid && How.LineSeparators && (codePoint == 0x2028 || codePoint == 0x2029)) {
            AppendUnicodeEscape(Out, codePoint);
        } else {
            Out.append(Text.substr(start, i - start));
        }
    }
}

std::string JsonStringLiteral(std::string_view Text, const JsonEscaping& How) {
    std::string out;
    out.reserve(Text.size() + 2);
    out += '"';
    AppendJsonEscaped(out, Text, How);
    out += '"';
    return out;
}

void AppendPercentEncoded(std::string& Out, std::string_view Text, std::string_view Keep) {
    static constexpr char Hex[] = "0123456789ABCDEF";
    for (unsigned char c : Text) {
        bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                          c == '-' || c == '.' || c == '_' || c == '~';
        if (unreserved || Keep.find(static_cast<char>(c)) != std::string_view::npos) {
            Out += static_cast<char>(c);
        } else {
            Out += '%';
            Out += Hex[c >> 4];
            Out += Hex[c & 15];
        }
    }
}

} // namespace Norvane::Platform::Text
