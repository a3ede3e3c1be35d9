#include "shared/StrUtils.h"

#include "platform/Paths.h"
#include "platform/Text.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <system_error>
#include <utility>

namespace Norvane::Shared {

namespace {

using Platform::Text::LowerAscii;
using Platform::Text::StartsWithNoCase;
using Platform::Text::ValidUtf8;

std::string ReplaceAll(const std::string& Text, const std::string& From, const std::string& To) {
    std::string out;
    out.reserve(Text.size());
    std::size_t start = 0;
    for (;;) {
        std::size_t at = Text.find(From, start);
        if (at == std::string::npos)
            break;
        out.append(Text, start, at - start);
        out += To;
        start = at + From.size();
    }
    out.append(Text, start, std::string::npos);
    return out;
}

int HexValue(char C) {
    if (C >= '0' && C <= '9')
        return C - '0';
    if (C >= 'a' && C <= 'f')
        return C - 'a' + 10;
    if (C >= 'A' && C <= 'F')
        return C - 'A' + 10;
    return -1;
}

// "+" to blank, then "%XY" to the byte XY; the bytes are read as UTF-8.
std::string DecodeQueryItem(const std::string& Item) {
    std::string blanks = Item;
    std::replace(blanks.begin(), blanks.end(), '+', ' ');
    return ValidUtf8(TStrUtils::DecodePercent(blanks));
}

// ---- Random numbers -------------------------------------------------------

std::mutex RandomLock;

std::mt19937_64& RandomGenerator() {
    static std::mt19937_64 generator{[] {
        std::random_device device;
        std::seed_seq seed{device(), device(), device(), device()};
        return std::mt19937_64(seed);
    }()};
    return generator;
}

// ---- Regular expressions --------------------------------------------------

struct TCodeDeleter {
    void operator()(pcre2_code* Code) const { pcre2_code_free(Code); }
};
struct TMatchDataDeleter {
    void operator()(pcre2_match_data* Data) const { pcre2_match_data_free(Data); }
};
using TCode = std::unique_ptr<pcre2_code, TCodeDeleter>;
using TMatchData = std::unique_ptr<pcre2_match_data, TMatchDataDeleter>;

TCode Compile(const std::string& Pattern, std::uint32_t Options) {
    int errorCode = 0;
    PCRE2_SIZE errorOffset = 0;
    return TCode(pcre2_compile(reinterpret_cast<PCRE2_SPTR>(Pattern.data()), Pattern.size(), Options,
                               &errorCode, &errorOffset, nullptr));
}

// Matches Code against Subject; the match data when there is a match.
TMatchData Match(const pcre2_code* Code, const std::string& Subject) {
    TMatchData data(pcre2_match_data_create_from_pattern(Code, nullptr));
    if (!data)
        throw std::bad_alloc();
    int rc = pcre2_match(Code, reinterpret_cast<PCRE2_SPTR>(Subject.data()), Subject.size(), 0, 0, data.get(),
                         nullptr);
    if (rc < 0)
        return nullptr;
    return data;
}

// The pattern that matches Text literally.
std::string LiteralPattern(const std::string& Text) {
    return "\\Q" + ReplaceAll(Text, "\\E", "\\E\\\\E\\Q") + "\\E";
}

std::int32_t ToInt32(const std::string& Digits) {
    std::int32_t value = 0;
    auto [end, error] = std::from_chars(Digits.data(), Digits.data() + Digits.size(), value);
    if (error != std::errc() || end != Digits.data() + Digits.size())
        throw EConvertError("'" + Digits + "' is not a valid integer value");
    return value;
}

// ---- Variants -------------------------------------------------------------

// Shortest text of the value with 15 significant digits: fixed notation
// when it has at most 15 digits before the point and is at least 0.00001,
// otherwise scientific ("1.5E-6", "1E20"). The decimal separator is ".".
std::string FloatToStr(double Value) {
    if (std::isnan(Value))
        return "NAN";
    if (std::isinf(Value))
        return Value < 0 ? "-INF" : "INF";
    if (Value == 0)
        return "0";
    char buffer[64];
    auto [end, error] =
        std::to_chars(buffer, buffer + sizeof buffer, Value, std::chars_format::scientific, 14);
    if (error != std::errc())
        return {};
    std::string text(buffer, end); // [-]d.dddddddddddddde[+-]x
    std::string sign;
    if (text.front() == '-') {
        sign = "-";
        text.erase(0, 1);
    }
    std::size_t e = text.find('e');
    int exponent = std::stoi(text.substr(e + 1));
    std::string digits = text.substr(0, 1) + text.substr(2, e - 2);
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();

    if (exponent >= -5 && exponent < 15) {
        std::string out;
        if (exponent >= 0) {
            auto whole = static_cast<std::size_t>(exponent) + 1;
            if (digits.size() <= whole)
                return sign + digits + std::string(whole - digits.size(), '0');
            out = digits.substr(0, whole) + "." + digits.substr(whole);
        } else {
            out = "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
        }
        return sign + out;
    }
    std::string out = digits.substr(0, 1);
    if (digits.size() > 1)
        out += "." + digits.substr(1);
    return sign + out + "E" + std::to_string(exponent);
}

std::string DateToStr(double Value) {
    // Years 1 to 9999.
    constexpr double FirstDay = -693593.0, EndDay = 2958466.0;
    if (!std::isfinite(Value) || Value < FirstDay || Value >= EndDay)
        throw EConvertError("Invalid date value " + FloatToStr(Value));
    double wholeDays = std::trunc(Value);
    auto days = static_cast<long long>(wholeDays);
    auto milliseconds = std::llround(std::fabs(Value - wholeDays) * 86400000.0);
    if (milliseconds >= 86400000) {
        milliseconds -= 86400000;
        ++days;
    }
    using namespace std::chrono;
    year_month_day date{sys_days{year{1899} / December / 30} + std::chrono::days{days}};
    char buffer[64];
    int length = std::snprintf(buffer, sizeof buffer, "%04d-%02u-%02u", static_cast<int>(date.year()),
                               static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
    std::string out(buffer, static_cast<std::size_t>(length));
    if (milliseconds != 0) {
        long long seconds = milliseconds / 1000;
        length = std::snprintf(buffer, sizeof buffer, " %02lld:%02lld:%02lld", seconds / 3600,
                               seconds / 60 % 60, seconds % 60);
        out.append(buffer, static_cast<std::size_t>(length));
    }
    return out;
}

// ---- Content types --------------------------------------------------------

struct TMimeRow {
    const char* Extension;
    const char* ContentType;
};

constexpr TMimeRow BuiltInMimeTypes[] = {
#include "shared/MimeTable.inc"
};
static_assert(std::size(BuiltInMimeTypes) == 370, "the built-in list holds 370 extensions");

std::mutex MimeSourcesLock;
std::optional<std::vector<Platform::MimeSource>> MimeSourcesInUse;
// The table GetFileMIMEType reads: built on first use from the sources in
// use, made again only when they are changed.
std::shared_ptr<const TMimeTable> MimeTableInUse;
std::uint64_t MimeSourcesGeneration = 0; // changes of the sources so far
// The table being built ahead on a worker thread (PrepareMimeTable) from the
// sources in use then; dropped when they change. Letting go of the last copy
// waits for the worker, so it is done outside the lock.
std::shared_future<std::shared_ptr<const TMimeTable>> MimeTableAhead;

// The built-in list, then the registrations of Sources in their order.
TMimeTable MimeTableFrom(const std::vector<Platform::MimeSource>& Sources) {
    TMimeTable table;
    table.reserve(1024);
    for (const TMimeRow& row : BuiltInMimeTypes)
        table[row.Extension] = row.ContentType;
    std::vector<Platform::MimeRegistration> registrations;
    for (const Platform::MimeSource& source : Sources) {
        registrations.clear();
        Platform::ReadMimeSource(source, registrations);
        for (Platform::MimeRegistration& registration : registrations)
            table[LowerAscii(registration.Extension)] = LowerAscii(registration.ContentType);
    }
    return table;
}

// Extension of a file name with its dot, in lower case; empty when the name
// (after the last "/" or "\") has no dot.
std::string FileExtension(const std::string& FileName) {
    std::size_t separator = FileName.find_last_of("/\\");
    std::size_t nameStart = separator == std::string::npos ? 0 : separator + 1;
    std::size_t dot = FileName.rfind('.');
    if (dot == std::string::npos || dot < nameStart)
        return {};
    return LowerAscii(FileName.substr(dot));
}

std::string WithTrailingSeparator(const std::string& Path) {
    constexpr char Separator = static_cast<char>(std::filesystem::path::preferred_separator);
    if (!Path.empty() && Path.back() == Separator)
        return Path;
    return Path + Separator;
}

} // namespace

std::string TStrUtils::StringToJsonString(const std::string& Value) {
    return Platform::Text::JsonStringLiteral(Value, Platform::Text::AsciiJson);
}

std::vector<Platform::MimeSource> TStrUtils::GetMimeSources() {
    {
        std::lock_guard lock(MimeSourcesLock);
        if (MimeSourcesInUse)
            return *MimeSourcesInUse;
    }
    return Platform::SystemMimeSources();
}

void TStrUtils::SetMimeSources(const std::vector<Platform::MimeSource>& Sources) {
    std::shared_future<std::shared_ptr<const TMimeTable>> ahead; // let go after the lock
    std::lock_guard lock(MimeSourcesLock);
    MimeSourcesInUse = Sources;
    MimeTableInUse.reset();
    ahead = std::exchange(MimeTableAhead, {});
    ++MimeSourcesGeneration;
}

void TStrUtils::ResetMimeSources() {
    std::shared_future<std::shared_ptr<const TMimeTable>> ahead; // let go after the lock
    std::lock_guard lock(MimeSourcesLock);
    MimeSourcesInUse.reset();
    MimeTableInUse.reset();
    ahead = std::exchange(MimeTableAhead, {});
    ++MimeSourcesGeneration;
}

void TStrUtils::PrepareMimeTable() {
    std::lock_guard lock(MimeSourcesLock);
    if (MimeTableInUse || MimeTableAhead.valid())
        return;
    // From the sources in use now: a change drops this table (SetMimeSources).
    std::vector<Platform::MimeSource> sources =
        MimeSourcesInUse ? *MimeSourcesInUse : Platform::SystemMimeSources();
    try {
        MimeTableAhead = std::async(std::launch::async, [sources = std::move(sources)] {
                             return std::make_shared<const TMimeTable>(MimeTableFrom(sources));
                         }).share();
    } catch (const std::system_error&) {
        // No thread to be had: the table is built on first use.
    }
}

TMimeTable TStrUtils::GetMimeTable() {
    return MimeTableFrom(GetMimeSources());
}

std::string TStrUtils::DecodePercent(std::string_view Text) {
    std::string bytes;
    bytes.reserve(Text.size());
    for (std::size_t i = 0; i < Text.size(); ++i) {
        if (Text[i] == '%' && i + 2 < Text.size() && HexValue(Text[i + 1]) >= 0 &&
            HexValue(Text[i + 2]) >= 0) {
            bytes += static_cast<char>(HexValue(Text[i + 1]) * 16 + HexValue(Text[i + 2]));
            i += 2;
        } else {
            bytes += Text[i];
        }
    }
    return bytes;
}

std::string TStrUtils::GetFileMIMEType(const std::string& FileName) {
    static const std::string Unknown = "application/octet-stream";
    std::string extension = FileExtension(FileName);
    if (extension.empty())
        return Unknown;
    std::shared_ptr<const TMimeTable> table;
    std::shared_future<std::shared_ptr<const TMimeTable>> ahead;
    std::uint64_t generation = 0;
    {
        std::lock_guard lock(MimeSourcesLock);
        table = MimeTableInUse;
        ahead = MimeTableAhead;
        generation = MimeSourcesGeneration;
    }
    if (!table) {
        table = ahead.valid() ? ahead.get() : std::make_shared<const TMimeTable>(GetMimeTable());
        std::lock_guard lock(MimeSourcesLock);
        if (!MimeTableInUse && generation == MimeSourcesGeneration)
            MimeTableInUse = table; // not when the sources changed while it was built
    }
    auto found = table->find(extension);
    return found == table->end() ? Unknown : found->second;
}

std::string TStrUtils::GetJavascriptArrayFromMultilineString(const std::string& Value) {
    TStringArray quoted;
    for (const std::string& piece : ExplodeStrings("\n", Value)) {
        if (piece.empty())
            continue;
        std::size_t first = 0, last = piece.size();
        while (first < last && static_cast<unsigned char>(piece[first]) <= ' ')
            ++first;
        while (last > first && static_cast<unsigned char>(piece[last - 1]) <= ' ')
            --last;
        quoted.push_back(
            std::string("\"").append(QuoteJavascript(piece.substr(first, last - first))).append("\""));
    }
    return ImplodeStrings(", ", quoted);
}

std::string TStrUtils::GetControlRandomSuffix(const std::string& Name) {
    return Name + "-" + GetRandomString(10, "abcdefghijklmnopqrstuvwxyz1234567890");
}

std::string TStrUtils::GetRandomString(int Length, const std::string& Chars) {
    // The alphabet's characters, each as its bytes.
    std::vector<std::string> alphabet;
    for (std::size_t i = 0; i < Chars.size();) {
        std::size_t start = i;
        Platform::Text::NextCodePoint(Chars, i);
        alphabet.push_back(Chars.substr(start, i - start));
    }
    std::string out;
    if (Length <= 0 || alphabet.empty())
        return out;
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    std::lock_guard lock(RandomLock);
    for (int k = 0; k < Length; ++k)
        out += alphabet[pick(RandomGenerator())];
    return out;
}

std::string TStrUtils::GetCompilerCacheDir(const std::string& AppFilePath, const std::string& Suffix,
                                           const std::string& TempCache, const std::string& DefaultDir) {
    std::string name;
    std::string base = DefaultDir;
    if (AppFilePath.empty()) {
        name = TempCache;
    } else {
        const std::filesystem::path app = Platform::PathFromUtf8(AppFilePath);
        name = Platform::Utf8FromPath(app.filename().stem()) + Suffix;
        std::filesystem::path folder = app.parent_path();
        std::error_code ec;
        if (!folder.empty() && std::filesystem::is_directory(folder, ec))
            base = Platform::Utf8FromPath(folder);
    }
    return WithTrailingSeparator(base) + WithTrailingSeparator(name);
}

void TStrUtils::GetUrlArguments(const std::string& Url, TStringArray& Arguments) {
    Arguments.clear();
    std::string address = Url.substr(0, Url.find('#'));
    std::size_t question = address.find('?');
    if (question == std::string::npos)
        return;
    std::string query = address.substr(question + 1);
    if (query.empty())
        return;
    for (const std::string& item : ExplodeStrings("&", query))
        Arguments.push_back(DecodeQueryItem(item));
}

bool TStrUtils::SubStringExists(const std::string& AString, const std::string& ASubString,
                                TStringSearchOptions ASearchOptions) {
    if (ASubString.empty())
        return false;
    // The direction decides only where a search starts; whether the part
    // occurs does not depend on it.
    const bool wholeWord = ASearchOptions.Contains(soWholeWord);
    const std::uint32_t caseOption = ASearchOptions.Contains(soMatchCase) ? 0 : PCRE2_CASELESS;
    std::string literal = LiteralPattern(ASubString);

    // Unicode-aware search; a part that is not valid UTF-8 is searched for
    // as bytes.
    TCode code;
    {
        std::string pattern = literal;
        if (wholeWord)
            pattern = "(?<![\\p{L}\\p{M}\\p{N}_])" + literal + "(?![\\p{L}\\p{M}\\p{N}_])";
        code = Compile(pattern, PCRE2_UTF | PCRE2_MATCH_INVALID_UTF | caseOption);
    }
    if (!code) {
        std::string pattern = literal;
        if (wholeWord)
            pattern = "(?<![A-Za-z0-9_\\x80-\\xff])" + literal + "(?![A-Za-z0-9_\\x80-\\xff])";
        code = Compile(pattern, caseOption);
        if (!code)
            return false;
    }
    return Match(code.get(), AString) != nullptr;
}

std::string TStrUtils::OleVarToStr(const TVariant& Value) {
    if (const auto* text = std::get_if<std::string>(&Value))
        return *text;
    if (const auto* integer = std::get_if<std::int64_t>(&Value))
        return std::to_string(*integer);
    if (const auto* real = std::get_if<double>(&Value))
        return FloatToStr(*real);
    if (const auto* date = std::get_if<TVarDate>(&Value))
        return DateToStr(date->Value);
    return {};
}

std::string TStrUtils::AddLeadingZeroes(int Number, int Length) {
    long long magnitude = Number;
    bool negative = magnitude < 0;
    std::string digits = std::to_string(negative ? -magnitude : magnitude);
    if (Length > 0 && digits.size() < static_cast<std::size_t>(Length))
        digits.insert(0, static_cast<std::size_t>(Length) - digits.size(), '0');
    return negative ? "-" + digits : digits;
}

void TStrUtils::StrToResolution(const std::string& Value, std::int32_t& Width, std::int32_t& Height) {
    Width = -1;
    Height = -1;
    static const TCode Code = Compile("([0-9]+)x([0-9]+)", 0);
    if (!Code)
        throw std::runtime_error("cannot compile the resolution pattern");
    TMatchData data = Match(Code.get(), Value);
    if (!data)
        return;
    const PCRE2_SIZE* offsets = pcre2_get_ovector_pointer(data.get());
    std::int32_t width = ToInt32(Value.substr(offsets[2], offsets[3] - offsets[2]));
    std::int32_t height = ToInt32(Value.substr(offsets[4], offsets[5] - offsets[4]));
    Width = width;
    Height = height;
}

std::string TStrUtils::QuoteJavascript(const std::string& Value) {
    return ReplaceAll(ReplaceAll(Value, "'", "\\x27"), "\"", "\\x22");
}

std::string TStrUtils::UnquoteJavascript(const std::string& Value) {
    return ReplaceAll(ReplaceAll(Value, "\\x27", "'"), "\\x22", "\"");
}

std::string TStrUtils::QuoteArguments(const std::string& Value) {
    return ReplaceAll(ReplaceAll(QuoteJavascript(Value), ":", "\\x3a"), "|", "\\x7c");
}

std::string TStrUtils::UnquoteArguments(const std::string& Value) {
    return ReplaceAll(ReplaceAll(UnquoteJavascript(Value), "\\x3a", ":"), "\\x7c", "|");
}

std::string TStrUtils::RepeatString(const std::string& Value, int Count) {
    std::string out;
    if (Count <= 0)
        return out;
    out.reserve(Value.size() * static_cast<std::size_t>(Count));
    for (int k = 0; k < Count; ++k)
        out += Value;
    return out;
}

std::string TStrUtils::Capitalize(const std::string& Value) {
    std::string out = Value;
    if (!out.empty() && out[0] >= 'a' && out[0] <= 'z')
        out[0] = static_cast<char>(out[0] - 'a' + 'A');
    return out;
}

TStringArray TStrUtils::ExplodeStrings(const std::string& Separator, const std::string& Value) {
    TStringArray items;
    if (Separator.empty()) {
        items.push_back(Value);
        return items;
    }
    std::size_t start = 0;
    for (;;) {
        std::size_t at = Value.find(Separator, start);
        if (at == std::string::npos)
            break;
        items.push_back(Value.substr(start, at - start));
        start = at + Separator.size();
    }
    items.push_back(Value.substr(start));
    return items;
}

std::string TStrUtils::DecodeBase64(const std::string& Value) {
    auto digit = [](unsigned char C) -> int {
        if (C >= 'A' && C <= 'Z')
            return C - 'A';
        if (C >= 'a' && C <= 'z')
            return C - 'a' + 26;
        if (C >= '0' && C <= '9')
            return C - '0' + 52;
        if (C == '+')
            return 62;
        if (C == '/')
            return 63;
        return -1;
    };
    auto describe = [](unsigned char C) {
        if (C > ' ' && C < 0x7F)
            return std::string("'") + static_cast<char>(C) + "'";
        static const char hex[] = "0123456789ABCDEF";
        return std::string("byte 0x") + hex[C >> 4] + hex[C & 0xF];
    };
    std::string out;
    out.reserve(Value.size() / 4 * 3 + 3);
    std::uint32_t bits = 0;
    int count = 0;   // characters of the current group
    int padding = 0; // "=" seen so far
    for (std::size_t i = 0; i < Value.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(Value[i]);
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n')
            continue;
        if (c == '=') {
            // Only a group of two or three characters is padded, to four.
            if (count < 2 || count + padding >= 4)
                throw EConvertError("Misplaced padding '=' in base64 text at position " +
                                    std::to_string(i + 1));
            ++padding;
            continue;
        }
        const int value = digit(c);
        if (value < 0)
            throw EConvertError("Invalid character " + describe(c) + " in base64 text at position " +
                                std::to_string(i + 1));
        if (padding > 0)
            throw EConvertError("Base64 text goes on after its padding '=' at position " +
                                std::to_string(i + 1));
        bits = (bits << 6) | static_cast<std::uint32_t>(value);
        if (++count == 4) {
            out.push_back(static_cast<char>((bits >> 16) & 0xFF));
            out.push_back(static_cast<char>((bits >> 8) & 0xFF));
            out.push_back(static_cast<char>(bits & 0xFF));
            bits = 0;
            count = 0;
        }
    }
    if (count == 1)
        throw EConvertError("Base64 text ends in the middle of a byte (one character left over)");
    if (count == 2) {
        out.push_back(static_cast<char>((bits >> 4) & 0xFF));
    } else if (count == 3) {
        out.push_back(static_cast<char>((bits >> 10) & 0xFF));
        out.push_back(static_cast<char>((bits >> 2) & 0xFF));
    }
    return out;
}

std::string TStrUtils::ImplodeStrings(const std::string& Separator, const TStringArray& Items) {
    std::string out;
    for (std::size_t i = 0; i < Items.size(); ++i) {
        if (i > 0)
            out += Separator;
        out += Items[i];
    }
    return out;
}

bool TStrUtils::StartsText(std::string_view Prefix, std::string_view Text) {
    return StartsWithNoCase(Text, Prefix);
}

bool TStrUtils::FilePathIsHttpUrl(const std::string& Path) {
    return StartsWithNoCase(Path, "http://") || StartsWithNoCase(Path, "https://");
}

bool TStrUtils::FilePathIsAppRelative(const std::string& Path) {
    return StartsWithNoCase(Path, "app/files/");
}

bool TStrUtils::FilePathIsPluginRelative(const std::string& Path) {
    return StartsWithNoCase(Path, "app/plugins/");
}

} // namespace Norvane::Shared
