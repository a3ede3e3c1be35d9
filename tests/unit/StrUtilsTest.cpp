#include "shared/StrUtils.h"

#include "platform/Process.h"

#include "tests/support/TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include <cstdlib>
#include <filesystem>
#include <limits>
#include <map>
#include <optional>
#include <set>

using namespace Norvane::Shared;
using Norvane::Platform::MimeSource;
using Norvane::Platform::MimeSourceKind;
using Norvane::Testing::TempDir;
using Norvane::Testing::WriteFile;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

// Decodes a JSON string literal with an independent parser.
std::string ParseJsonString(const std::string& literal) {
    rapidjson::Document document;
    document.Parse(literal.c_str(), literal.size());
    if (document.HasParseError() || !document.IsString())
        return "<not a JSON string: " + literal + ">";
    return std::string(document.GetString(), document.GetStringLength());
}

bool IsPureAscii(const std::string& text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) > 127)
            return false;
    return true;
}

// Puts a fixed list of content-type sources in place for one test.
class MimeSourcesScope {
public:
    explicit MimeSourcesScope(const std::vector<MimeSource>& sources) { TStrUtils::SetMimeSources(sources); }
    ~MimeSourcesScope() { TStrUtils::ResetMimeSources(); }
    MimeSourcesScope(const MimeSourcesScope&) = delete;
    MimeSourcesScope& operator=(const MimeSourcesScope&) = delete;
};

// Sets (or removes) an environment variable for one test.
class EnvScope {
public:
    EnvScope(const char* name, const std::optional<std::string>& value) : FName(name) {
        FOld = Norvane::Platform::GetEnv(name);
        if (value)
            Norvane::Platform::SetEnv(name, *value);
        else
            Norvane::Platform::UnsetEnv(name);
    }
    ~EnvScope() {
        if (FOld)
            Norvane::Platform::SetEnv(FName, *FOld);
        else
            Norvane::Platform::UnsetEnv(FName);
    }
    EnvScope(const EnvScope&) = delete;
    EnvScope& operator=(const EnvScope&) = delete;

private:
    std::string FName;
    std::optional<std::string> FOld;
};

} // namespace

// ---- StringToJsonString ----------------------------------------------------

TEST(StringToJsonString, EscapesQuotesBackslashesAndShortFormControls) {
    EXPECT_EQ(TStrUtils::StringToJsonString(""), "\"\"");
    EXPECT_EQ(TStrUtils::StringToJsonString("say \"hi\" C:\\dir"), "\"say \\\"hi\\\" C:\\\\dir\"");
    EXPECT_EQ(TStrUtils::StringToJsonString("\b\t\n\f\r"), "\"\\b\\t\\n\\f\\r\"");
    // Other control characters as \u escapes; DEL and "/" stay as they are.
    EXPECT_EQ(TStrUtils::StringToJsonString(std::string("\x01\x1f\x0b", 3) + std::string(1, '\0') + "\x7f/"),
              "\"\\u0001\\u001f\\u000b\\u0000\x7f/\"");
}

TEST(StringToJsonString, WritesNonAsciiAsUtf16Escapes) {
    EXPECT_EQ(TStrUtils::StringToJsonString("caf\xC3\xA9"), "\"caf\\u00e9\""); // é
    EXPECT_EQ(TStrUtils::StringToJsonString("\xE2\x82\xAC"), "\"\\u20ac\"");   // €
    EXPECT_EQ(TStrUtils::StringToJsonString("\xEF\xBF\xBF"), "\"\\uffff\"");   // last BMP code point
    EXPECT_EQ(TStrUtils::StringToJsonString("\xF0\x9F\x98\x80"),
              "\"\\ud83d\\ude00\""); // U+1F600, surrogate pair
    EXPECT_EQ(TStrUtils::StringToJsonString("\xF4\x8F\xBF\xBF"), "\"\\udbff\\udfff\""); // U+10FFFF
}

TEST(StringToJsonString, OutputIsAsciiAndParsesBackToTheText) {
    const std::string samples[] = {
        "plain",
        "a\"b\\c/d",
        "line\r\nnext\ttab",
        "Gr\xC3\xBC\xC3\x9F"
        "e \xE6\x97\xA5\xE6\x9C\xAC",
        "emoji \xF0\x9F\x8E\x89 and \xF0\x90\x80\x80",
        std::string("nul\0byte", 8),
        "\x7f\x1b[0m",
    };
    for (const std::string& sample : samples) {
        std::string literal = TStrUtils::StringToJsonString(sample);
        EXPECT_TRUE(IsPureAscii(literal)) << literal;
        EXPECT_EQ(ParseJsonString(literal), sample) << literal;
    }
}

TEST(StringToJsonString, InvalidUtf8BecomesReplacementCharacters) {
    // One U+FFFD per maximal invalid part.
    EXPECT_EQ(TStrUtils::StringToJsonString("a\xFF"
                                            "b"),
              "\"a\\ufffdb\"");
    EXPECT_EQ(TStrUtils::StringToJsonString("\xC3"), "\"\\ufffd\""); // cut short at the end
    EXPECT_EQ(TStrUtils::StringToJsonString("\xE2\x82"
                                            "A"),
              "\"\\ufffdA\"");                                                  // cut short before ASCII
    EXPECT_EQ(TStrUtils::StringToJsonString("\xC0\xAF"), "\"\\ufffd\\ufffd\""); // overlong
    EXPECT_EQ(TStrUtils::StringToJsonString("\xED\xA0\x80"),
              "\"\\ufffd\\ufffd\\ufffd\""); // encoded surrogate
    EXPECT_EQ(TStrUtils::StringToJsonString("\xF4\x90\x80\x80"),
              "\"\\ufffd\\ufffd\\ufffd\\ufffd\"");                                  // > U+10FFFF
    EXPECT_EQ(TStrUtils::StringToJsonString("\x80\xC3\xA9"), "\"\\ufffd\\u00e9\""); // lone continuation byte
    EXPECT_EQ(ParseJsonString(TStrUtils::StringToJsonString("x\xFEy")), "x\xEF\xBF\xBDy");
}

// ---- ExplodeStrings / ImplodeStrings ---------------------------------------

TEST(ExplodeStrings, SplitsAtEveryOccurrence) {
    EXPECT_THAT(TStrUtils::ExplodeStrings(";", "a;;b"), ElementsAre("a", "", "b"));
    EXPECT_THAT(TStrUtils::ExplodeStrings(";", ""), ElementsAre(""));
    EXPECT_THAT(TStrUtils::ExplodeStrings(";", "a;"), ElementsAre("a", ""));
    EXPECT_THAT(TStrUtils::ExplodeStrings(";", ";a"), ElementsAre("", "a"));
    EXPECT_THAT(TStrUtils::ExplodeStrings(";", "abc"), ElementsAre("abc"));
    EXPECT_THAT(TStrUtils::ExplodeStrings("", "a;b"), ElementsAre("a;b"));
    // Multi-character separators, searched from the start, case-sensitive.
    EXPECT_THAT(TStrUtils::ExplodeStrings("<>", "1<>2<>3"), ElementsAre("1", "2", "3"));
    EXPECT_THAT(TStrUtils::ExplodeStrings("aa", "aaa"), ElementsAre("", "a"));
    EXPECT_THAT(TStrUtils::ExplodeStrings("x", "aXbxc"), ElementsAre("aXb", "c"));
}

TEST(ImplodeStrings, JoinsWithSeparatorBetweenNeighbours) {
    EXPECT_EQ(TStrUtils::ImplodeStrings(", ", {}), "");
    EXPECT_EQ(TStrUtils::ImplodeStrings(", ", {"one"}), "one");
    EXPECT_EQ(TStrUtils::ImplodeStrings(", ", {"a", "", "b"}), "a, , b");
    for (const std::string text : {"", "a|b||c|", "|", "no separator"})
        EXPECT_EQ(TStrUtils::ImplodeStrings("|", TStrUtils::ExplodeStrings("|", text)), text);
}

// ---- JavaScript quoting -----------------------------------------------------

TEST(QuoteJavascript, EncodesQuotesOnlyAndUndoes) {
    EXPECT_EQ(TStrUtils::QuoteJavascript("it's \"x\""), "it\\x27s \\x22x\\x22");
    EXPECT_EQ(TStrUtils::UnquoteJavascript("it\\x27s \\x22x\\x22"), "it's \"x\"");
    EXPECT_EQ(TStrUtils::QuoteJavascript("back\\slash\nline"), "back\\slash\nline");
    // Only the lower-case form is undone.
    EXPECT_EQ(TStrUtils::UnquoteJavascript("\\X27\\x2"), "\\X27\\x2");
}

TEST(QuoteArguments, LeavesNoSeparatorOrQuoteCharacters) {
    const std::string input = "a:b|c 'd' \"e\" ::||";
    std::string encoded = TStrUtils::QuoteArguments(input);
    EXPECT_EQ(encoded, "a\\x3ab\\x7cc \\x27d\\x27 \\x22e\\x22 \\x3a\\x3a\\x7c\\x7c");
    EXPECT_EQ(encoded.find_first_of("'\":|"), std::string::npos);
    EXPECT_EQ(TStrUtils::UnquoteArguments(encoded), input);
    EXPECT_EQ(TStrUtils::UnquoteArguments("\\X3a\\x7C"), "\\X3a\\x7C");
}

TEST(GetJavascriptArrayFromMultilineString, QuotesEveryNonEmptyLine) {
    EXPECT_EQ(TStrUtils::GetJavascriptArrayFromMultilineString(""), "");
    EXPECT_EQ(TStrUtils::GetJavascriptArrayFromMultilineString("one\r\n  two \t\n\nsay \"hi\"\n"),
              "\"one\", \"two\", \"say \\x22hi\\x22\"");
    // A line of blanks is not empty; it gives an empty literal.
    EXPECT_EQ(TStrUtils::GetJavascriptArrayFromMultilineString("a\n   \nb"), "\"a\", \"\", \"b\"");
    EXPECT_EQ(TStrUtils::GetJavascriptArrayFromMultilineString("\x01it's\x02"), "\"it\\x27s\"");
}

// ---- Random texts ------------------------------------------------------------

TEST(GetRandomString, DrawsLengthCharactersFromTheAlphabet) {
    const std::string alphabet = "abcdefghijklmnopqrstuvwxyz1234567890";
    std::set<char> seen;
    for (int round = 0; round < 400; ++round) {
        std::string text = TStrUtils::GetRandomString(25, alphabet);
        ASSERT_EQ(text.size(), 25u);
        for (char c : text) {
            ASSERT_NE(alphabet.find(c), std::string::npos) << text;
            seen.insert(c);
        }
    }
    // 10,000 draws: every one of the 36 characters turns up.
    EXPECT_EQ(seen.size(), alphabet.size());
}

TEST(GetRandomString, EdgeLengthsAndAlphabets) {
    EXPECT_EQ(TStrUtils::GetRandomString(0, "abc"), "");
    EXPECT_EQ(TStrUtils::GetRandomString(-3, "abc"), "");
    EXPECT_EQ(TStrUtils::GetRandomString(5, ""), "");
    EXPECT_EQ(TStrUtils::GetRandomString(4, "z"), "zzzz");
    // Characters, not bytes, are drawn.
    std::string text = TStrUtils::GetRandomString(50, "\xC3\xA4\xE2\x82\xAC");
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size();) {
        if (text.compare(i, 2, "\xC3\xA4") == 0)
            i += 2;
        else if (text.compare(i, 3, "\xE2\x82\xAC") == 0)
            i += 3;
        else
            FAIL() << "unexpected bytes at " << i;
        ++characters;
    }
    EXPECT_EQ(characters, 50u);
}

TEST(GetControlRandomSuffix, NameDashTenCharacters) {
    std::string first = TStrUtils::GetControlRandomSuffix("button");
    std::string second = TStrUtils::GetControlRandomSuffix("button");
    EXPECT_THAT(first, ::testing::MatchesRegex("button-[a-z0-9]{10}"));
    EXPECT_THAT(second, ::testing::MatchesRegex("button-[a-z0-9]{10}"));
    EXPECT_NE(first, second);
    EXPECT_THAT(TStrUtils::GetControlRandomSuffix(""), ::testing::MatchesRegex("-[a-z0-9]{10}"));
}

// ---- GetCompilerCacheDir -----------------------------------------------------

TEST(GetCompilerCacheDir, BaseIsTheAppFolderWhenItExists) {
    TempDir dir;
    std::string app = dir / "MyApp.exe";
    EXPECT_EQ(TStrUtils::GetCompilerCacheDir(app, "_cache", "temp", "/default"),
              dir.Path().string() + "/MyApp_cache/");
    // The folder is enough; the file itself need not exist.
    EXPECT_EQ(TStrUtils::GetCompilerCacheDir(dir / "tool.tar.gz", "", "temp", "/default"),
              dir.Path().string() + "/tool.tar/");
}

TEST(GetCompilerCacheDir, FallsBackToTheDefaultFolder) {
    TempDir dir;
    EXPECT_EQ(TStrUtils::GetCompilerCacheDir(dir / "missing/App.bin", ".c", "temp", "/var/cache"),
              "/var/cache/App.c/");
    EXPECT_EQ(TStrUtils::GetCompilerCacheDir("App.bin", ".c", "temp", "/var/cache/"), "/var/cache/App.c/");
    EXPECT_EQ(TStrUtils::GetCompilerCacheDir("", ".c", "TempCache", "/var/cache"), "/var/cache/TempCache/");
    EXPECT_EQ(TStrUtils::GetCompilerCacheDir("", ".c", "TempCache/", ""), "/TempCache/");
}

// ---- GetUrlArguments ---------------------------------------------------------

TEST(GetUrlArguments, DecodesEveryQueryItem) {
    TStringArray arguments{"stale"};
    TStrUtils::GetUrlArguments(
        "http://host/page.html?a=1&b=hello+world&c=%C3%A9t%C3%A9&d=x%26y%3Dz&e=1%2B1&f=a b#frag&g=2",
        arguments);
    EXPECT_THAT(arguments,
                ElementsAre("a=1", "b=hello world", "c=\xC3\xA9t\xC3\xA9", "d=x&y=z", "e=1+1", "f=a b"));
}

TEST(GetUrlArguments, EdgeCases) {
    TStringArray arguments{"stale"};
    TStrUtils::GetUrlArguments("file:///index.html", arguments);
    EXPECT_THAT(arguments, IsEmpty());
    TStrUtils::GetUrlArguments("file:///index.html?", arguments);
    EXPECT_THAT(arguments, IsEmpty());
    TStrUtils::GetUrlArguments("file:///index.html#top?x=1", arguments);
    EXPECT_THAT(arguments, IsEmpty());
    TStrUtils::GetUrlArguments("/p?flag&&n=&=v&", arguments);
    EXPECT_THAT(arguments, ElementsAre("flag", "", "n=", "=v", ""));
    // A "%" without two hexadecimal digits stays; bytes that are not UTF-8
    // become U+FFFD.
    TStrUtils::GetUrlArguments("/p?a=100%&b=%zz%4&c=%FF", arguments);
    EXPECT_THAT(arguments, ElementsAre("a=100%", "b=%zz%4", "c=\xEF\xBF\xBD"));
}

// ---- SubStringExists ---------------------------------------------------------

TEST(SubStringExists, CaseRules) {
    EXPECT_TRUE(TStrUtils::SubStringExists("Hello World", "WORLD", {soDown}));
    EXPECT_FALSE(TStrUtils::SubStringExists("Hello World", "WORLD", {soDown, soMatchCase}));
    EXPECT_TRUE(TStrUtils::SubStringExists("Hello World", "World", {soDown, soMatchCase}));
    // Letters beyond ASCII compare without regard to case too.
    EXPECT_TRUE(TStrUtils::SubStringExists("\xC3\x89"
                                           "COLE",
                                           "\xC3\xA9"
                                           "cole",
                                           {soDown}));
    EXPECT_FALSE(TStrUtils::SubStringExists("\xC3\x89"
                                            "COLE",
                                            "\xC3\xA9"
                                            "cole",
                                            {soDown, soMatchCase}));
}

TEST(SubStringExists, WholeWordNeedsNonWordNeighbours) {
    const TStringSearchOptions word{soDown, soWholeWord};
    EXPECT_TRUE(TStrUtils::SubStringExists("the cat sat", "cat", word));
    EXPECT_TRUE(TStrUtils::SubStringExists("cat", "cat", word));
    EXPECT_TRUE(TStrUtils::SubStringExists("(cat).", "CAT", word));
    EXPECT_FALSE(TStrUtils::SubStringExists("concatenate", "cat", word));
    EXPECT_FALSE(TStrUtils::SubStringExists("cats", "cat", word));
    EXPECT_FALSE(TStrUtils::SubStringExists("my_cat", "cat", word));
    EXPECT_FALSE(TStrUtils::SubStringExists("cat9", "cat", word));
    EXPECT_FALSE(TStrUtils::SubStringExists("\xC3\xA9"
                                            "cat",
                                            "cat", word));
    EXPECT_TRUE(TStrUtils::SubStringExists("concatenate cat", "cat", word));
    EXPECT_TRUE(TStrUtils::SubStringExists("concatenate", "cat", {soDown}));
    // The neighbours decide, not the part's own ends.
    EXPECT_FALSE(TStrUtils::SubStringExists("a b", " b", word));
    EXPECT_TRUE(TStrUtils::SubStringExists("a, b", " b", word));
}

TEST(SubStringExists, PartIsLiteralAndDirectionDoesNotMatter) {
    EXPECT_FALSE(TStrUtils::SubStringExists("abc", "a.c", {soDown}));
    EXPECT_TRUE(TStrUtils::SubStringExists("x a.c y", "a.c", {soDown}));
    EXPECT_TRUE(TStrUtils::SubStringExists("path\\Eend(", "\\Eend(", {soDown}));
    EXPECT_TRUE(TStrUtils::SubStringExists("find me here", "ME", {}));
    EXPECT_FALSE(TStrUtils::SubStringExists("find me here", "you", {}));
    EXPECT_FALSE(TStrUtils::SubStringExists("anything", "", {soDown}));
    EXPECT_FALSE(TStrUtils::SubStringExists("", "a", {soDown}));
    // Bytes that are not UTF-8, in the text or in the part.
    EXPECT_TRUE(TStrUtils::SubStringExists("bad\xFF"
                                           "bytes here",
                                           "HERE", {soDown}));
    EXPECT_TRUE(TStrUtils::SubStringExists("bad\xFF"
                                           "bytes",
                                           "\xFF"
                                           "b",
                                           {soDown, soMatchCase}));
}

TEST(TStringSearchOptions, IncludeExcludeContains) {
    TStringSearchOptions options{soMatchCase};
    EXPECT_TRUE(options.Contains(soMatchCase));
    EXPECT_FALSE(options.Contains(soDown));
    options.Include(soWholeWord);
    options.Exclude(soMatchCase);
    EXPECT_EQ(options, (TStringSearchOptions{soWholeWord}));
}

// ---- OleVarToStr -------------------------------------------------------------

TEST(OleVarToStr, StringsAndIntegers) {
    EXPECT_EQ(TStrUtils::OleVarToStr(TVariant(std::string("text \xC3\xA9"))), "text \xC3\xA9");
    EXPECT_EQ(TStrUtils::OleVarToStr(TVariant(std::int64_t{-42})), "-42");
    EXPECT_EQ(TStrUtils::OleVarToStr(TVariant(std::numeric_limits<std::int64_t>::max())),
              "9223372036854775807");
}

TEST(OleVarToStr, FloatingPointWithFifteenDigits) {
    EXPECT_EQ(TStrUtils::OleVarToStr(1.5), "1.5");
    EXPECT_EQ(TStrUtils::OleVarToStr(0.1), "0.1");
    EXPECT_EQ(TStrUtils::OleVarToStr(-2.0), "-2");
    EXPECT_EQ(TStrUtils::OleVarToStr(0.0), "0");
    EXPECT_EQ(TStrUtils::OleVarToStr(1.0 / 3.0), "0.333333333333333");
    EXPECT_EQ(TStrUtils::OleVarToStr(123456789012345.0), "123456789012345");
    EXPECT_EQ(TStrUtils::OleVarToStr(1234567890123456.0), "1.23456789012346E15");
    EXPECT_EQ(TStrUtils::OleVarToStr(1e20), "1E20");
    EXPECT_EQ(TStrUtils::OleVarToStr(0.00001), "0.00001");
    EXPECT_EQ(TStrUtils::OleVarToStr(0.0000015), "1.5E-6");
    EXPECT_EQ(TStrUtils::OleVarToStr(std::numeric_limits<double>::infinity()), "INF");
    EXPECT_EQ(TStrUtils::OleVarToStr(std::numeric_limits<double>::quiet_NaN()), "NAN");
}

TEST(OleVarToStr, Dates) {
    EXPECT_EQ(TStrUtils::OleVarToStr(TVarDate{0}), "1899-12-30");
    EXPECT_EQ(TStrUtils::OleVarToStr(TVarDate{45000}), "2023-03-15");
    EXPECT_EQ(TStrUtils::OleVarToStr(TVarDate{45000.75}), "2023-03-15 18:00:00");
    EXPECT_EQ(TStrUtils::OleVarToStr(TVarDate{36526.5 + 1.0 / 86400}), "2000-01-01 12:00:01");
    // Negative values: the day counts back, the time forward from midnight.
    EXPECT_EQ(TStrUtils::OleVarToStr(TVarDate{-1.25}), "1899-12-29 06:00:00");
    // A time that rounds to midnight belongs to the next day.
    EXPECT_EQ(TStrUtils::OleVarToStr(TVarDate{1.9999999999}), "1900-01-01");
    EXPECT_THROW(TStrUtils::OleVarToStr(TVarDate{1e12}), EConvertError);
}

TEST(OleVarToStr, OtherVariantsGiveEmptyText) {
    EXPECT_EQ(TStrUtils::OleVarToStr(TVariant{}), "");
    EXPECT_EQ(TStrUtils::OleVarToStr(TVarNull{}), "");
    EXPECT_EQ(TStrUtils::OleVarToStr(TVarObject{}), "");
}

// ---- Numbers -----------------------------------------------------------------

TEST(AddLeadingZeroes, PadsButNeverCuts) {
    EXPECT_EQ(TStrUtils::AddLeadingZeroes(7, 3), "007");
    EXPECT_EQ(TStrUtils::AddLeadingZeroes(1234, 3), "1234");
    EXPECT_EQ(TStrUtils::AddLeadingZeroes(0, 0), "0");
    EXPECT_EQ(TStrUtils::AddLeadingZeroes(5, -2), "5");
    EXPECT_EQ(TStrUtils::AddLeadingZeroes(-7, 3), "-007");
    EXPECT_EQ(TStrUtils::AddLeadingZeroes(std::numeric_limits<int>::min(), 12), "-002147483648");
}

TEST(StrToResolution, FirstWidthByHeight) {
    std::int32_t width = 0, height = 0;
    TStrUtils::StrToResolution("1920x1080", width, height);
    EXPECT_EQ(width, 1920);
    EXPECT_EQ(height, 1080);
    TStrUtils::StrToResolution("size: 800x600px, then 1024x768", width, height);
    EXPECT_EQ(width, 800);
    EXPECT_EQ(height, 600);
    TStrUtils::StrToResolution("00640x0480", width, height);
    EXPECT_EQ(width, 640);
    EXPECT_EQ(height, 480);
    TStrUtils::StrToResolution("2147483647x0", width, height);
    EXPECT_EQ(width, 2147483647);
    EXPECT_EQ(height, 0);
}

TEST(StrToResolution, NoMatchGivesMinusOne) {
    for (const std::string text : {"1920X1080", "", "x600", "800x", "800 x 600", "\xFF\xFE"}) {
        std::int32_t width = 0, height = 0;
        TStrUtils::StrToResolution(text, width, height);
        EXPECT_EQ(width, -1) << text;
        EXPECT_EQ(height, -1) << text;
    }
}

TEST(StrToResolution, NumberBeyond32BitsRaisesConvertError) {
    std::int32_t width = 0, height = 0;
    EXPECT_THROW(TStrUtils::StrToResolution("2147483648x10", width, height), EConvertError);
    EXPECT_EQ(width, -1);
    EXPECT_EQ(height, -1);
    EXPECT_THROW(TStrUtils::StrToResolution("10x99999999999999999999", width, height), EConvertError);
    EXPECT_EQ(width, -1);
    EXPECT_EQ(height, -1);
}

// ---- Small text rules --------------------------------------------------------

TEST(RepeatString, RepeatsOrGivesEmpty) {
    EXPECT_EQ(TStrUtils::RepeatString("ab", 3), "ababab");
    EXPECT_EQ(TStrUtils::RepeatString("ab", 0), "");
    EXPECT_EQ(TStrUtils::RepeatString("ab", -1), "");
    EXPECT_EQ(TStrUtils::RepeatString("", 5), "");
}

TEST(Capitalize, FirstAsciiLetterOnly) {
    EXPECT_EQ(TStrUtils::Capitalize("hello world"), "Hello world");
    EXPECT_EQ(TStrUtils::Capitalize("Hello"), "Hello");
    EXPECT_EQ(TStrUtils::Capitalize(""), "");
    EXPECT_EQ(TStrUtils::Capitalize("1abc"), "1abc");
    EXPECT_EQ(TStrUtils::Capitalize("\xC3\xA9t\xC3\xA9"), "\xC3\xA9t\xC3\xA9");
}

TEST(FilePathTests, PrefixesWithoutRegardToCase) {
    EXPECT_TRUE(TStrUtils::FilePathIsHttpUrl("HTTPS://example.com"));
    EXPECT_TRUE(TStrUtils::FilePathIsHttpUrl("http://x"));
    EXPECT_FALSE(TStrUtils::FilePathIsHttpUrl("ftp://example.com"));
    EXPECT_FALSE(TStrUtils::FilePathIsHttpUrl("https:/x"));
    EXPECT_FALSE(TStrUtils::FilePathIsHttpUrl("http:\\\\x"));
    EXPECT_TRUE(TStrUtils::FilePathIsAppRelative("App/Files/readme.txt"));
    EXPECT_FALSE(TStrUtils::FilePathIsAppRelative("app\\files\\readme.txt"));
    EXPECT_FALSE(TStrUtils::FilePathIsAppRelative("app/filesx/readme.txt"));
    EXPECT_FALSE(TStrUtils::FilePathIsAppRelative("/app/files/readme.txt"));
    EXPECT_TRUE(TStrUtils::FilePathIsPluginRelative("APP/PLUGINS/x.js"));
    EXPECT_FALSE(TStrUtils::FilePathIsPluginRelative("app/plugin/x.js"));
    EXPECT_FALSE(TStrUtils::FilePathIsPluginRelative("app/files/x.js"));
}

// ---- GetFileMIMEType ---------------------------------------------------------

TEST(GetFileMIMEType, BuiltInRows) {
    MimeSourcesScope none({});
    const std::map<std::string, std::string> rows = {
        {".html", "text/html"},
        {".htm", "text/html"},
        {".css", "text/css"},
        {".js", "text/javascript"},
        {".txt", "text/plain"},
        {".xml", "text/xml"},
        {".png", "image/x-png"},
        {".jpg", "image/jpeg"},
        {".jpeg", "image/jpeg"},
        {".gif", "image/gif"},
        {".svg", "image/svg+xml"},
        {".ico", "image/x-icon"},
        {".webp", "image/webp"},
        {".bmp", "image/bmp"},
        {".mp3", "audio/x-mpg"},
        {".wav", "audio/x-wav"},
        {".ogg", "application/ogg"},
        {".mp4", "video/mpeg"},
        {".mpg", "video/mpeg"},
        {".ogv", "video/ogg"},
        {".webm", "video/webm"},
        {".pdf", "application/pdf"},
        {".zip", "application/x-zip-compressed"},
    };
    for (const auto& [extension, type] : rows)
        EXPECT_EQ(TStrUtils::GetFileMIMEType("dir/file" + extension), type) << extension;
}

TEST(GetFileMIMEType, ExtensionsWithoutBuiltInRow) {
    MimeSourcesScope none({});
    for (const std::string name : {"data.json", "mod.mjs", "code.wasm", "f.woff", "f.woff2", "f.ttf", "f.otf",
                                   "noextension", "file.", "archive.unknownext", "dir.v2/file", "dir.png/"})
        EXPECT_EQ(TStrUtils::GetFileMIMEType(name), "application/octet-stream") << name;
}

TEST(GetFileMIMEType, ExtensionIsTheLastOneInLowerCase) {
    MimeSourcesScope none({});
    EXPECT_EQ(TStrUtils::GetFileMIMEType("PHOTO.PNG"), "image/x-png");
    EXPECT_EQ(TStrUtils::GetFileMIMEType("css/Site.Min.CSS"), "text/css");
    EXPECT_EQ(TStrUtils::GetFileMIMEType("backup.tar.gz"), "application/gzip");
    EXPECT_EQ(TStrUtils::GetFileMIMEType("C:\\dir.x\\page.htm"), "text/html");
    EXPECT_EQ(TStrUtils::GetFileMIMEType(".gif"), "image/gif");
}

TEST(GetFileMIMEType, BuiltInListHas370DistinctLowerCaseRows) {
    MimeSourcesScope none({});
    TMimeTable table = TStrUtils::GetMimeTable();
    EXPECT_EQ(table.size(), 370u);
    for (const auto& [extension, type] : table) {
        EXPECT_EQ(extension.front(), '.') << extension;
        EXPECT_EQ(extension.find_first_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ/ "), std::string::npos) << extension;
        EXPECT_EQ(type.find_first_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ "), std::string::npos) << type;
        EXPECT_NE(type.find('/'), std::string::npos) << type;
    }
}

TEST(GetFileMIMEType, SystemSourcesOverrideInTheirOrder) {
    TempDir dir;
    WriteFile(dir / "mime.types", "# comment line\n"
                                  "image/PNG\t\tpng  PNGX\n"
                                  "application/x-first  foo bar # trailing comment\n"
                                  "application/x-no-extensions\n"
                                  "text/x-later-wins  bar\n");
    WriteFile(dir / "globs", "# old format\n"
                             "application/x-from-globs:*.foo\n"
                             "text/x-pattern:*.ba?\n"
                             "text/x-double:*.tar.baz\n"
                             "text/x-readme:README\n");
    WriteFile(dir / "globs2", "# weight:type:pattern[:flags]\n"
                              "80:application/x-heavy:*.foo\n"
                              "50:application/x-light:*.foo\n"
                              "50:text/x-c++src:*.C:cs\n"
                              "50:text/x-csrc:*.c:cs\n"
                              "50:application/x-first-listed:*.qq\n"
                              "50:application/x-second-listed:*.qq\n"
                              "40:application/x-low:*.qq\n");
    const MimeSource types{MimeSourceKind::ExtensionList, dir / "mime.types"};
    const MimeSource globs{MimeSourceKind::TypeDatabase, dir / "globs"};
    const MimeSource globs2{MimeSourceKind::TypeDatabase, dir / "globs2"};
    const MimeSource missing{MimeSourceKind::TypeDatabase, dir / "absent"};

    {
        MimeSourcesScope scope({types});
        EXPECT_EQ(TStrUtils::GetFileMIMEType("a.png"), "image/png"); // replaces the built-in row
        EXPECT_EQ(TStrUtils::GetFileMIMEType("a.pngx"), "image/png");
        EXPECT_EQ(TStrUtils::GetFileMIMEType("a.foo"), "application/x-first");
        EXPECT_EQ(TStrUtils::GetFileMIMEType("a.bar"), "text/x-later-wins");
        EXPECT_EQ(TStrUtils::GetFileMIMEType("a.css"), "text/css");
        EXPECT_EQ(TStrUtils::GetFileMIMEType("a.trailing"), "application/octet-stream");
    }
    {
        MimeSourcesScope scope({types, globs, missing});
        EXPECT_EQ(TStrUtils::GetFileMIMEType("a.foo"), "application/x-from-globs");
        EXPECT_EQ(TStrUtils::GetFileMIMEType("a.bar"), "text/x-later-wins"); // "*.ba?" is no simple pattern
        EXPECT_EQ(TStrUtils::GetFileMIMEType("a.baz"), "application/octet-stream");
        EXPECT_EQ(TStrUtils::GetFileMIMEType("README"), "application/octet-stream");
    }
    {
        MimeSourcesScope scope({types, globs, globs2});
        EXPECT_EQ(TStrUtils::GetFileMIMEType("a.foo"), "application/x-heavy");
        EXPECT_EQ(TStrUtils::GetFileMIMEType("a.qq"), "application/x-first-listed");
        // The case-sensitive "*.C" cannot match a lower-cased name.
        EXPECT_EQ(TStrUtils::GetFileMIMEType("main.c"), "text/x-csrc");
        EXPECT_EQ(TStrUtils::GetFileMIMEType("MAIN.C"), "text/x-csrc");
    }
    {
        // The other way round, the extension list decides.
        MimeSourcesScope scope({globs2, globs, types});
        EXPECT_EQ(TStrUtils::GetFileMIMEType("a.foo"), "application/x-first");
    }
}

TEST(GetFileMIMEType, TableIsBuiltOnceUntilTheSourcesChange) {
    TempDir dir;
    WriteFile(dir / "mime.types", "application/x-one ext1\n");
    {
        MimeSourcesScope scope({{MimeSourceKind::ExtensionList, dir / "mime.types"}});
        EXPECT_EQ(TStrUtils::GetFileMIMEType("f.ext1"), "application/x-one");
        // Not read again for every name.
        WriteFile(dir / "mime.types", "application/x-two ext1\n");
        EXPECT_EQ(TStrUtils::GetFileMIMEType("f.ext1"), "application/x-one");
    }
    MimeSourcesScope scope({{MimeSourceKind::ExtensionList, dir / "mime.types"}});
    EXPECT_EQ(TStrUtils::GetFileMIMEType("f.ext1"), "application/x-two");
}

TEST(GetFileMIMEType, TableBuiltAheadReadsTheSameAndGivesWayToNewSources) {
    TempDir dir;
    WriteFile(dir / "one.types", "application/x-one ext1\n");
    WriteFile(dir / "two.types", "application/x-two ext1\n");
    const MimeSource one{MimeSourceKind::ExtensionList, dir / "one.types"};
    const MimeSource two{MimeSourceKind::ExtensionList, dir / "two.types"};
    {
        MimeSourcesScope scope({one});
        TStrUtils::PrepareMimeTable();
        TStrUtils::PrepareMimeTable(); // already under way
        EXPECT_EQ(TStrUtils::GetFileMIMEType("f.ext1"), "application/x-one");
        EXPECT_EQ(TStrUtils::GetFileMIMEType("a.css"), "text/css");
    }
    // The table built ahead from the sources before a change is never used.
    MimeSourcesScope first({one});
    TStrUtils::PrepareMimeTable();
    MimeSourcesScope second({two});
    EXPECT_EQ(TStrUtils::GetFileMIMEType("f.ext1"), "application/x-two");
}

TEST(SystemMimeSources, EtcMimeTypesThenDataFoldersLowestPriorityFirst) {
    TempDir dir;
    std::filesystem::create_directories(dir.Path() / "home/mime");
    std::filesystem::create_directories(dir.Path() / "one/mime");
    std::filesystem::create_directories(dir.Path() / "two/mime");
    WriteFile(dir / "home/mime/globs2", "");
    WriteFile(dir / "one/mime/globs", "");
    WriteFile(dir / "two/mime/globs2", "");
    WriteFile(dir / "two/mime/globs", "");
    EnvScope home("XDG_DATA_HOME", dir / "home");
    EnvScope dirs("XDG_DATA_DIRS", dir / "one" + ":relative/ignored:" + dir / "two");
    EXPECT_THAT(Norvane::Platform::SystemMimeSources(),
                ElementsAre(MimeSource{MimeSourceKind::ExtensionList, "/etc/mime.types"},
                            MimeSource{MimeSourceKind::TypeDatabase, dir / "two/mime/globs2"},
                            MimeSource{MimeSourceKind::TypeDatabase, dir / "one/mime/globs"},
                            MimeSource{MimeSourceKind::TypeDatabase, dir / "home/mime/globs2"}));
}

TEST(SystemMimeSources, DefaultFolders) {
    TempDir dir;
    EnvScope home("XDG_DATA_HOME", std::nullopt);
    EnvScope dirs("XDG_DATA_DIRS", std::nullopt);
    EnvScope user("HOME", dir.Path().string());
    auto sources = Norvane::Platform::SystemMimeSources();
    ASSERT_EQ(sources.size(), 4u);
    EXPECT_EQ(sources[0].Location, "/etc/mime.types");
    EXPECT_EQ(std::filesystem::path(sources[1].Location).parent_path(), "/usr/share/mime");
    EXPECT_EQ(std::filesystem::path(sources[2].Location).parent_path(), "/usr/local/share/mime");
    EXPECT_EQ(std::filesystem::path(sources[3].Location).parent_path(), dir.Path() / ".local/share/mime");
}

TEST(GetFileMIMEType, UsesTheSystemSourcesByDefault) {
    TempDir dir;
    std::filesystem::create_directories(dir.Path() / "mime");
    WriteFile(dir / "mime/globs2", "50:application/x-norvane-test:*.nvtest\n90:text/x-override:*.png\n");
    EnvScope home("XDG_DATA_HOME", dir.Path().string());
    TStrUtils::ResetMimeSources();
    EXPECT_EQ(TStrUtils::GetFileMIMEType("file.nvtest"), "application/x-norvane-test");
    EXPECT_EQ(TStrUtils::GetFileMIMEType("file.png"), "text/x-override");
}

// ---------------------------------------------------------------------------
// Base64, checked against the coreutils encoder as an independent peer.

TEST(DecodeBase64, DecodesWhatTheSystemEncoderWritesForEveryLength) {
    TempDir dir;
    std::string bytes;
    for (int i = 0; i < 300; ++i)
        bytes.push_back(static_cast<char>((i * 151 + 7) & 0xFF));
    for (std::size_t length : {0u, 1u, 2u, 3u, 4u, 5u, 57u, 58u, 59u, 300u}) {
        SCOPED_TRACE(length);
        const std::string original = bytes.substr(0, length);
        WriteFile(dir / "in.bin", original);
        // Wrapped at 76 columns, LF line ends, padded.
        auto wrapped =
            Norvane::Testing::RunCommand("base64 -w 76 " + Norvane::Testing::ShellQuote(dir / "in.bin"));
        ASSERT_EQ(wrapped.ExitCode, 0);
        EXPECT_EQ(TStrUtils::DecodeBase64(wrapped.Output), original);
        // CR LF line ends, as in mail, and the padding left out.
        std::string crlf;
        for (char c : wrapped.Output)
            crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
        EXPECT_EQ(TStrUtils::DecodeBase64(crlf), original);
        std::string unpadded = wrapped.Output;
        while (!unpadded.empty() && (unpadded.back() == '\n' || unpadded.back() == '='))
            unpadded.pop_back();
        EXPECT_EQ(TStrUtils::DecodeBase64(unpadded), original);
    }
}

TEST(DecodeBase64, IgnoresBlanksAndAcceptsPartOfThePadding) {
    EXPECT_EQ(TStrUtils::DecodeBase64(""), "");
    EXPECT_EQ(TStrUtils::DecodeBase64(" \r\n\t"), "");
    EXPECT_EQ(TStrUtils::DecodeBase64("aGVs bG8=\n"), "hello");
    EXPECT_EQ(TStrUtils::DecodeBase64("YQ="), "a");
    EXPECT_EQ(TStrUtils::DecodeBase64("YQ = = "), "a");
    // The full alphabet, both ends of each range.
    EXPECT_EQ(TStrUtils::DecodeBase64("AAAA"), std::string(3, '\0'));
    EXPECT_EQ(TStrUtils::DecodeBase64("////"), std::string(3, '\xFF'));
    EXPECT_EQ(TStrUtils::DecodeBase64("+++/"), "\xFB\xEF\xBF");
    EXPECT_EQ(TStrUtils::DecodeBase64("Zz09"), "g==");
    EXPECT_EQ(TStrUtils::DecodeBase64("azAz"), "k03");
}

TEST(DecodeBase64, RejectsOtherCharactersMisplacedPaddingAndALoneCharacter) {
    struct TCase {
        std::string Text, Message;
    };
    for (const TCase& c : {
             TCase{"aGVs*G8=", "Invalid character '*' in base64 text at position 5"},
             TCase{"aGVs-G8_", "Invalid character '-' in base64 text at position 5"}, // the URL alphabet
             TCase{"YQ\x01=", "Invalid character byte 0x01 in base64 text at position 3"},
             TCase{"YQ\xC3\xA9", "Invalid character byte 0xC3 in base64 text at position 3"},
             TCase{"=YQ", "Misplaced padding '=' in base64 text at position 1"},
             TCase{"YWJj=", "Misplaced padding '=' in base64 text at position 5"},
             TCase{"YQ===", "Misplaced padding '=' in base64 text at position 5"},
             TCase{"YWI==", "Misplaced padding '=' in base64 text at position 5"},
             TCase{"Y=", "Misplaced padding '=' in base64 text at position 2"},
             TCase{"YQ==YQ==", "Base64 text goes on after its padding '=' at position 5"},
             TCase{"YWJjZ", "Base64 text ends in the middle of a byte (one character left over)"},
         }) {
        SCOPED_TRACE(c.Text);
        try {
            TStrUtils::DecodeBase64(c.Text);
            ADD_FAILURE() << "accepted";
        } catch (const EConvertError& e) {
            EXPECT_EQ(std::string(e.what()), c.Message);
        }
    }
}
