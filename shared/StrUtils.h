// String helpers shared by the runtime, the packer and the preview: JSON and
// JavaScript quoting, splitting and joining, path tests, random names,
// content types of file names and small conversions. Texts are UTF-8.
#pragma once

#include "platform/MimeRegistry.h"

#include <cstdint>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <variant>
#include <vector>

namespace Norvane::Shared {

// An ordered, growable list of strings.
using TStringArray = std::vector<std::string>;

// Raised when a text cannot be converted to the value asked for.
class EConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The kinds of value a variant can hold besides strings and numbers.
struct TVarEmpty {
    bool operator==(const TVarEmpty&) const = default;
};
struct TVarNull {
    bool operator==(const TVarNull&) const = default;
};
// A reference to an object (or any other value without a text form).
struct TVarObject {
    bool operator==(const TVarObject&) const = default;
};
// A date and time: whole days since 1899-12-30, the fraction is the time of
// day (for negative values the fraction still counts forward from midnight).
struct TVarDate {
    double Value = 0;
    bool operator==(const TVarDate&) const = default;
};

using TVariant = std::variant<TVarEmpty, TVarNull, std::string, std::int64_t, double, TVarDate, TVarObject>;

// Options of a text search.
enum TStringSearchOption {
    soDown,      // search from the start towards the end (otherwise from the end backwards)
    soMatchCase, // letters must match in case (otherwise compared without regard to case)
    soWholeWord, // the match must not touch a letter, digit or "_" on either side
};

class TStringSearchOptions {
public:
    constexpr TStringSearchOptions() = default;
    constexpr TStringSearchOptions(std::initializer_list<TStringSearchOption> Options) {
        for (TStringSearchOption option : Options)
            FBits |= Bit(option);
    }
    constexpr bool Contains(TStringSearchOption Option) const { return (FBits & Bit(Option)) != 0; }
    constexpr void Include(TStringSearchOption Option) { FBits |= Bit(Option); }
    constexpr void Exclude(TStringSearchOption Option) { FBits &= ~Bit(Option); }
    constexpr bool operator==(const TStringSearchOptions&) const = default;

private:
    static constexpr unsigned Bit(TStringSearchOption Option) { return 1u << static_cast<unsigned>(Option); }
    unsigned FBits = 0;
};

// Lower-cased extension with its dot -> content type.
using TMimeTable = std::unordered_map<std::string, std::string>;

class TStrUtils {
public:
    TStrUtils() = delete;

    // The JSON string literal of Value, quotes included, in pure ASCII: '"'
    // and '\' escaped, \b \t \n \f \r, every other character below 32 and
    // every character above 127 as \u escapes of its UTF-16 code units (lower
    // case hexadecimal). Bytes that are not valid UTF-8 count as U+FFFD.
    static std::string StringToJsonString(const std::string& Value);

    // Content type of a file name by its extension, from a table built on
    // first use (or ahead, PrepareMimeTable) and again only when the sources
    // change: the built-in list, then the system's registrations
    // (GetMimeSources) in their order. "application/octet-stream" when the
    // extension is nowhere.
    static std::string GetFileMIMEType(const std::string& FileName);
    // Starts building that table on a worker thread, so that the first call
    // finds it ready (or waits for it) instead of reading the system's files.
    static void PrepareMimeTable();
    // The table GetFileMIMEType looks in, built anew.
    static TMimeTable GetMimeTable();
    // The system registrations the table is built from. By default the
    // system's own (Platform::SystemMimeSources, looked up on every call);
    // SetMimeSources puts a fixed list in their place until ResetMimeSources.
    static std::vector<Platform::MimeSource> GetMimeSources();
    static void SetMimeSources(const std::vector<Platform::MimeSource>& Sources);
    static void ResetMimeSources();

    // Every non-empty line of Value, trimmed, QuoteJavascript'ed and put in
    // double quotes, joined with ", ".
    static std::string GetJavascriptArrayFromMultilineString(const std::string& Value);

    // Name, "-", then 10 random characters of a-z and 0-9.
    static std::string GetControlRandomSuffix(const std::string& Name);
    // Length characters, each drawn uniformly from the characters of Chars.
    // An empty alphabet or a length below 1 gives the empty text.
    static std::string GetRandomString(int Length, const std::string& Chars);

    // Base folder + name, each with a trailing separator: the name is the
    // file name of AppFilePath without its extension followed by Suffix, or
    // TempCache when AppFilePath is empty; the base is the folder of
    // AppFilePath when that folder exists, otherwise DefaultDir.
    static std::string GetCompilerCacheDir(const std::string& AppFilePath, const std::string& Suffix,
                                           const std::string& TempCache, const std::string& DefaultDir);

    // Every "%XY" of Text as the byte XY; a "%" without two hexadecimal
    // digits stays as written. The bytes are not checked.
    static std::string DecodePercent(std::string_view Text);

    // Fills Arguments with the URL's query items (text after "?", before
    // "#"), split at "&" only, "+" made a blank, then percent-decoded as
    // UTF-8. One "name=value" line per item, in URL order.
    static void GetUrlArguments(const std::string& Url, TStringArray& Arguments);

    // True when ASubString occurs in AString under the options. An empty
    // ASubString is never found.
    static bool SubStringExists(const std::string& AString, const std::string& ASubString,
                                TStringSearchOptions ASearchOptions);

    // Text form of a string, number or date; the empty text for anything else.
    static std::string OleVarToStr(const TVariant& Value);

    // Decimal text of Number padded on the left with zeros to at least Length digits.
    static std::string AddLeadingZeroes(int Number, int Length);

    // Width and height from the first "<digits>x<digits>" in Value, -1 and -1
    // when there is none. Raises EConvertError for a number beyond 32 bits
    // (the outputs are then -1 and -1).
    static void StrToResolution(const std::string& Value, std::int32_t& Width, std::int32_t& Height);

    // ' -> \x27, then " -> \x22; and back.
    static std::string QuoteJavascript(const std::string& Value);
    static std::string UnquoteJavascript(const std::string& Value);
    // QuoteJavascript, then : -> \x3a and | -> \x7c; and back.
    static std::string QuoteArguments(const std::string& Value);
    static std::string UnquoteArguments(const std::string& Value);

    static std::string RepeatString(const std::string& Value, int Count);
    // First character to upper case (a to z only).
    static std::string Capitalize(const std::string& Value);

    static TStringArray ExplodeStrings(const std::string& Separator, const std::string& Value);

    // The bytes of a base64 text (alphabet A-Z a-z 0-9 + /). Blanks, tabs,
    // CR and LF anywhere are ignored, the trailing "=" may be left out (all or
    // some of them), and
    // bits left over in the last character are ignored. Raises EConvertError
    // for any other character, for "=" that is not at the end or more than
    // the group needs, and for a text whose last group has one character only.
    static std::string DecodeBase64(const std::string& Value);
    static std::string ImplodeStrings(const std::string& Separator, const TStringArray& Items);

    // Whether Text starts with Prefix, ASCII letters compared without case.
    static bool StartsText(std::string_view Prefix, std::string_view Text);

    // Prefix tests without regard to case; only forward slashes match.
    static bool FilePathIsHttpUrl(const std::string& Path);
    static bool FilePathIsAppRelative(const std::string& Path);
    static bool FilePathIsPluginRelative(const std::string& Path);
};

} // namespace Norvane::Shared
