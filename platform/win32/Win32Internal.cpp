#include "platform/win32/Win32Internal.h"

#include "platform/System.h"
#include "platform/Text.h"

namespace Norvane::Platform::Win32 {

std::wstring Widen(std::string_view text) {
    std::wstring out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        char32_t c = Text::NextCodePoint(text, i);
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<wchar_t>(0xD800 + (c >> 10));
            out += static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<wchar_t>(c);
        }
    }
    return out;
}

std::string Narrow(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = static_cast<char16_t>(text[i]);
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) {
            char32_t low = static_cast<char16_t>(text[i + 1]);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        if (c >= 0xD800 && c <= 0xDFFF)
            c = Text::ReplacementCharacter;
        Text::AppendUtf8(out, c);
    }
    return out;
}

void SetLastErrorFromSystem() {
    SetLastErrorFromSystem(::GetLastError());
}

void SetLastErrorFromSystem(DWORD code) {
    Platform::SetLastError(static_cast<int>(code));
}

std::wstring QuoteArgument(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos)
        return argument;
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        // Backslashes before a quote are doubled, and the quote escaped.
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    // Backslashes before the closing quote are doubled.
    out.append(backslashes * 2, L'\\');
    out += L'"';
    return out;
}

namespace {

bool IsCommandInterpreter(const std::string& program) {
    std::size_t slash = program.find_last_of("\\/");
    std::string name = Text::LowerAscii(slash == std::string::npos ? program : program.substr(slash + 1));
    return name == "cmd" || name == "cmd.exe";
}

} // namespace

std::wstring BuildCommandLine(const std::vector<std::string>& arguments) {
    std::wstring line;
    if (arguments.empty())
        return line;
    // The program name ends at its closing quote; backslashes are not special in it.
    std::wstring program = Widen(arguments.front());
    line = program.find_first_of(L" \t") == std::wstring::npos && !program.empty() ? program
                                                                                   : L"\"" + program + L"\"";
    if (arguments.size() == 3 && IsCommandInterpreter(arguments[0]) &&
        (Text::EqualsNoCase(arguments[1], "/C") || Text::EqualsNoCase(arguments[1], "/K"))) {
        line += L" /S " + Widen(arguments[1]) + L" \"" + Widen(arguments[2]) + L"\"";
        return line;
    }
    for (std::size_t i = 1; i < arguments.size(); ++i)
        line += L" " + QuoteArgument(Widen(arguments[i]));
    return line;
}

} // namespace Norvane::Platform::Win32
