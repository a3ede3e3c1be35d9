#include "shared/ProjectIni.h"

#include <array>
#include <cstddef>

namespace Norvane::Shared {

namespace {

constexpr char32_t ReplacementChar = 0xFFFD;

void AppendUtf8(std::string& Out, char32_t Code) {
    if (Code < 0x80) {
        Out += static_cast<char>(Code);
    } else if (Code < 0x800) {
        Out += static_cast<char>(0xC0 | (Code >> 6));
        Out += static_cast<char>(0x80 | (Code & 0x3F));
    } else if (Code < 0x10000) {
        Out += static_cast<char>(0xE0 | (Code >> 12));
        Out += static_cast<char>(0x80 | ((Code >> 6) & 0x3F));
        Out += static_cast<char>(0x80 | (Code & 0x3F));
    } else {
        Out += static_cast<char>(0xF0 | (Code >> 18));
        Out += static_cast<char>(0x80 | ((Code >> 12) & 0x3F));
        Out += static_cast<char>(0x80 | ((Code >> 6) & 0x3F));
        Out += static_cast<char>(0x80 | (Code & 0x3F));
    }
}

unsigned char ByteAt(const std::string& Bytes, std::size_t Index) {
    return static_cast<unsigned char>(Bytes[Index]);
}

// Decodes UTF-8 from Start on. Well-formed sequences are copied; each maximal
// ill-formed subpart becomes one U+FFFD. Returns false when anything was replaced.
bool DecodeUtf8(const std::string& Bytes, std::size_t Start, std::string& Out) {
    bool valid = true;
    std::size_t i = Start;
    const std::size_t n = Bytes.size();
    while (i < n) {
        const unsigned char lead = ByteAt(Bytes, i);
        if (lead < 0x80) {
            Out += static_cast<char>(lead);
            ++i;
            continue;
        }
        int trail;
        unsigned char low = 0x80, high = 0xBF; // allowed range of the first continuation byte
        if (lead >= 0xC2 && lead <= 0xDF) {
            trail = 1;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            trail = 2;
            if (lead == 0xE0)
                low = 0xA0; // no overlong forms
            else if (lead == 0xED)
                high = 0x9F; // no surrogates
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            trail = 3;
            if (lead == 0xF0)
                low = 0x90; // no overlong forms
            else if (lead == 0xF4)
                high = 0x8F; // nothing above U+10FFFF
        } else {
            valid = false;
            AppendUtf8(Out, ReplacementChar);
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        int seen = 0;
        while (seen < trail && j < n) {
            const unsigned char c = ByteAt(Bytes, j);
            const unsigned char lo = seen == 0 ? low : 0x80;
            const unsigned char hi = seen == 0 ? high : 0xBF;
            if (c < lo || c > hi)
                break;
            ++seen;
            ++j;
        }
        if (seen == trail) {
            Out.append(Bytes, i, j - i);
        } else {
            valid = false;
            AppendUtf8(Out, ReplacementChar);
        }
        i = j;
    }
    return valid;
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
            AppendUtf8(out, ReplacementChar);
        } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
            AppendUtf8(out, ReplacementChar);
        } else {
            AppendUtf8(out, unit);
        }
    }
    if (i < n)
        AppendUtf8(out, ReplacementChar);
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

std::string FoldCase(const std::string& Name) {
    std::string out = Name;
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
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
        std::string out;
        out.reserve(Bytes.size() - 3);
        DecodeUtf8(Bytes, 3, out);
        return out;
    }
    if (Bytes.size() >= 2 && ByteAt(Bytes, 0) == 0xFF && ByteAt(Bytes, 1) == 0xFE)
        return DecodeUtf16(Bytes, 2, false);
    if (Bytes.size() >= 2 && ByteAt(Bytes, 0) == 0xFE && ByteAt(Bytes, 1) == 0xFF)
        return DecodeUtf16(Bytes, 2, true);
    std::string out;
    out.reserve(Bytes.size());
    if (DecodeUtf8(Bytes, 0, out))
        return out;
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
            section = &FSections[FoldCase(Trim(line.substr(1, line.size() - 2)))];
            continue;
        }
        if (section == nullptr)
            continue;
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos)
            section->emplace(FoldCase(line), std::string());
        else
            section->emplace(FoldCase(Trim(line.substr(0, eq))), Trim(line.substr(eq + 1)));
    }
}

bool TProjectIni::SectionExists(const std::string& Section) const {
    return FSections.find(FoldCase(Section)) != FSections.end();
}

bool TProjectIni::ValueExists(const std::string& Section, const std::string& Ident) const {
    const auto section = FSections.find(FoldCase(Section));
    return section != FSections.end() && section->second.find(FoldCase(Ident)) != section->second.end();
}

std::string TProjectIni::ReadString(const std::string& Section, const std::string& Ident,
                                    const std::string& Default) const {
    const auto section = FSections.find(FoldCase(Section));
    if (section == FSections.end())
        return Default;
    const auto value = section->second.find(FoldCase(Ident));
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
