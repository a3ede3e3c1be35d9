#include "shared/ProjectIni.h"

#include "platform/Text.h"

#include <array>
#include <cstddef>

namespace Norvane::Shared {

namespace {

using Platform::Text::AppendUtf8;
using Platform::Text::LowerAscii;
using Platform::Text::ReplacementCharacter;

unsigned char ByteAt(const std::string& Bytes, std::size_t Index) {
    return static_cast<unsigned char>(Bytes[Index]);
}

// Windows-1252 code points of the bytes 0x80 to 0x9F. The five bytes the code
// page leaves undefined map to the C1 control of the same number, as Windows'
// own conversion does.
constexpr std::array<char16_t, 32> Cp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

std::string DecodeWindows1252(const std::string& Bytes) {
    std::string out;
    out.reserve(Bytes.size() + Bytes.size() / 2);
    for (char ch : Bytes) {
        const auto b = static_cast<unsigned char>(ch);
        if (b >= 0x80 && b <= 0x9F)
            AppendUtf8(out, Cp1252High[b - 0x80]);
        else
            AppendUtf8(out, b);
    }
    return out;
}

// Decodes UTF-16 from Start on. Unpaired surrogates and an odd trailing byte
// each become U+FFFD.
std::string DecodeUtf16(const std::string& Bytes, std::size_t Start, bool BigEndian) {
    std::string out;
    out.reserve(Bytes.size());
    auto unitAt = [&](std::size_t i) -> char16_t {
        const unsigned a = ByteAt(Bytes, i), b = ByteAt(Bytes, i + 1);
        return static_cast<char16_t>(BigEndian ? (a << 8) | b : (b << 8) | a);
    };
    std::size_t i = Start;
    const std::size_t n = Bytes.size();
    while (i + 1 < n) {
        const char16_t unit = unitAt(i);
        i += 2;
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (i + 1 < n) {
                const char16_t next = unitAt(i);
                if (next >= 0xDC00 && next <= 0xDFFF) {
                    i += 2;
                    AppendUtf8(out,
                               0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (next - 0xDC00));
                    continue;
                }
            }
            AppendUtf8(out, ReplacementCharacter);
        } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
            AppendUtf8(out, ReplacementCharacter);
        } else {
            AppendUtf8(out, unit);
        }
    }
    if (i < n)
        AppendUtf8(out, ReplacementCharacter);
    return out;
}

// Removes the characters up to and including the space at both ends. In UTF-8
// those are exactly the single bytes 0x00 to 0x20.
std::string Trim(const std::string& Text) {
    std::size_t first = 0, last = Text.size();
    while (first < last && static_cast<unsigned char>(Text[first]) <= ' ')
        ++first;
    while (last > first && static_cast<unsigned char>(Text[last - 1]) <= ' ')
        --last;
    return Text.substr(first, last - first);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

std::string TProjectIni::DecodeText(const std::string& Bytes) {
    if (Bytes.size() >= 3 && ByteAt(Bytes, 0) == 0xEF && ByteAt(Bytes, 1) == 0xBB &&
        ByteAt(Bytes, 2) == 0xBF) {
        return Platform::Text::ValidUtf8(std::string_view(Bytes).substr(3));
    }
    if (Bytes.size() >= 2 && ByteAt(Bytes, 0) == 0xFF && ByteAt(Bytes, 1) == 0xFE)
        return DecodeUtf16(Bytes, 2, false);
    if (Bytes.size() >= 2 && ByteAt(Bytes, 0) == 0xFE && ByteAt(Bytes, 1) == 0xFF)
        return DecodeUtf16(Bytes, 2, true);
    if (Platform::Text::IsValidUtf8(Bytes))
        return Bytes;
    return DecodeWindows1252(Bytes);
}

void TProjectIni::LoadFromBytes(const std::string& Bytes) {
    const std::string text = DecodeText(Bytes);
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n')
            continue;
        lines.push_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines.push_back(text.substr(start));
    LoadFromLines(lines);
}

void TProjectIni::LoadFromLines(const std::vector<std::string>& Lines) {
    FSections.clear();
    std::map<std::string, std::string>* section = nullptr;
    for (const std::string& raw : Lines) {
        const std::string line = Trim(raw);
        if (line.empty() || line.front() == ';')
            continue;
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            section = &FSections[LowerAscii(Trim(line.substr(1, line.size() - 2)))];
            continue;
        }
        if (section == nullptr)
            continue;
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos)
            section->emplace(LowerAscii(line), std::string());
        else
            section->emplace(LowerAscii(Trim(line.substr(0, eq))), Trim(line.substr(eq + 1)));
    }
}

bool TProjectIni::SectionExists(const std::string& Section) const {
    return FSections.find(LowerAscii(Section)) != FSections.end();
}

bool TProjectIni::ValueExists(const std::string& Section, const std::string& Ident) const {
    const auto section = FSections.find(LowerAscii(Section));
    return section != FSections.end() && section->second.find(LowerAscii(Ident)) != section->second.end();
}

std::string TProjectIni::ReadString(const std::string& Section, const std::string& Ident,
                                    const std::string& Default) const {
    const auto section = FSections.find(LowerAscii(Section));
    if (section == FSections.end())
        return Default;
    const auto value = section->second.find(LowerAscii(Ident));
    return value == section->second.end() ? Default : value->second;
}

std::int32_t TProjectIni::ReadInteger(const std::string& Section, const std::string& Ident,
                                      std::int32_t Default) const {
    std::int32_t value;
    return TryParseInteger(ReadString(Section, Ident, std::string()), value) ? value : Default;
}

bool TProjectIni::ReadBool(const std::string& Section, const std::string& Ident, bool Default) const {
    std::int32_t value;
    if (!TryParseInteger(ReadString(Section, Ident, std::string()), value))
        return Default;
    return value != 0;
}

bool TProjectIni::TryParseInteger(const std::string& Text, std::int32_t& Value) {
    std::size_t i = 0;
    bool negative = false;
    if (i < Text.size() && (Text[i] == '-' || Text[i] == '+')) {
        negative = Text[i] == '-';
        ++i;
    }
    bool hex = false;
    if (i < Text.size() && Text[i] == '$') {
        hex = true;
        i += 1;
    } else if (i + 1 < Text.size() && Text[i] == '0' && (Text[i + 1] == 'x' || Text[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i >= Text.size())
        return false;

    std::uint64_t magnitude = 0;
    const std::uint64_t limit = hex ? 0xFFFFFFFFull : negative ? 0x80000000ull : 0x7FFFFFFFull;
    for (; i < Text.size(); ++i) {
        int digit;
        if (hex) {
            digit = HexDigit(Text[i]);
        } else {
            digit = Text[i] >= '0' && Text[i] <= '9' ? Text[i] - '0' : -1;
        }
        if (digit < 0)
            return false;
        magnitude = magnitude * (hex ? 16 : 10) + static_cast<std::uint64_t>(digit);
        if (magnitude > limit)
            return false;
    }
    // Hexadecimal values are 32-bit patterns: the top bit makes them negative,
    // and a minus sign negates the pattern modulo 2^32.
    std::uint32_t bits = static_cast<std::uint32_t>(magnitude);
    if (negative)
        bits = 0u - bits;
    Value = static_cast<std::int32_t>(bits);
    return true;
}

} // namespace Norvane::Shared
