// Tests of the text primitives: UTF-8 reading of invalid input (one U+FFFD
// per maximal ill-formed subpart), encoding, the JSON escaping variants and
// ASCII case folding.
#include "platform/Text.h"

#include <gtest/gtest.h>

#include <vector>

namespace Text = Norvane::Platform::Text;

namespace {

const std::string R = "\xEF\xBF\xBD"; // U+FFFD

// As numbers, which the test framework prints.
std::vector<unsigned> CodePoints(std::string_view Bytes) {
    std::vector<unsigned> out;
    for (std::size_t i = 0; i < Bytes.size();)
        out.push_back(Text::NextCodePoint(Bytes, i));
    return out;
}

} // namespace

TEST(TextUtf8, InvalidInputGivesOneReplacementPerMaximalSubpart) {
    const struct {
        std::string Bytes, Expected;
    } cases[] = {
        {"\xC0\xAF", R + R},                 // overlong, two bytes
        {"\xE0\x80\xAF", R + R + R},         // overlong, three bytes
        {"\xF0\x80\x80\xAF", R + R + R + R}, // overlong, four bytes
        {"\xED\xA0\x80", R + R + R},         // encoded surrogate
        {"\xED\xBF\xBF", R + R + R},         // last surrogate
        {"\xF4\x90\x80\x80", R + R + R + R}, // beyond U+10FFFF
        {"\xE2\x82"
         "A",
         R + "A"},                            // cut short before ASCII
        {"x\xF0\x9F\x98", "x" + R},           // cut short at the end
        {"\xF0\x9F\xC3\xA9", R + "\xC3\xA9"}, // cut short before a whole character
        {"\x80", R},                          // lone continuation byte
        {"a\xBF\xBF", "a" + R + R},           // two continuation bytes
        {"\xF5\xF8\xFC\xFE\xFF", R + R + R + R + R},
        {"\xC1\xBF", R + R},
        // The example of the Unicode standard (maximal subparts, Table 3-8).
        {"a\xF1\x80\x80\xE1\x80\xC2"
         "b\x80"
         "c\x80\xBF"
         "d",
         "a" + R + R + R + "b" + R + "c" + R + R + "d"},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(Text::IsValidUtf8(c.Bytes)) << c.Bytes;
        EXPECT_EQ(Text::ValidUtf8(c.Bytes), c.Expected) << c.Bytes;
    }
}

TEST(TextUtf8, WellFormedTextIsKeptAndDecoded) {
    // The edges of every length and of the surrogate gap.
    const std::string text = std::string(1, '\0') +
                             "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80"
                             "\xEF\xBF\xBF\xF0\x90\x80\x80\xF4\x8F\xBF\xBF" +
                             R;
    const std::vector<unsigned> expected = {0,      0x7F,   0x80,    0x7FF,    0x800, 0xD7FF,
                                            0xE000, 0xFFFF, 0x10000, 0x10FFFF, 0xFFFD};
    EXPECT_TRUE(Text::IsValidUtf8(text));
    EXPECT_EQ(Text::ValidUtf8(text), text);
    EXPECT_EQ(CodePoints(text), expected);

    std::string encoded;
    for (unsigned c : expected)
        Text::AppendUtf8(encoded, c);
    EXPECT_EQ(encoded, text);

    // An ill-formed subpart is passed over whole, and nothing after it.
    std::size_t index = 0;
    EXPECT_EQ(static_cast<unsigned>(Text::NextCodePoint("\xE2\x82"
                                                        "A",
                                                        index)),
              0xFFFDu);
    EXPECT_EQ(index, 2u);
    EXPECT_EQ(CodePoints("\xC3\xA9\xFFz"), (std::vector<unsigned>{0xE9, 0xFFFD, 'z'}));
}

TEST(TextJson, EscapingVariants) {
    const std::string input = "q\"b\\\b\t\n\f\r\x01\x1F\x7F/\xC3\xA9\xE2\x80\xA8\xE2\x80\xA9\xF0\x9F\x98\x80"
                              "\xE2\x82"
                              "z";
    const std::string controls = "q\\\"b\\\\\\b\\t\\n\\f\\r\\u0001\\u001f\x7F/";
    EXPECT_EQ(Text::JsonStringLiteral(input, Text::AsciiJson),
              "\"" + controls + "\\u00e9\\u2028\\u2029\\ud83d\\ude00\\ufffdz\"");
    EXPECT_EQ(Text::JsonStringLiteral(input, Text::MinimalJson),
              "\"" + controls + "\xC3\xA9\xE2\x80\xA8\xE2\x80\xA9\xF0\x9F\x98\x80\xE2\x82z\"");
    EXPECT_EQ(Text::JsonStringLiteral(input, Text::ScriptJson),
              "\"" + controls + "\xC3\xA9\\u2028\\u2029\xF0\x9F\x98\x80" + R + "z\"");

    // The zero byte is text like any other; AppendJsonEscaped adds no quotes.
    std::string out = "[";
    Text::AppendJsonEscaped(out, std::string("a\0b", 3), Text::ScriptJson);
    EXPECT_EQ(out, "[a\\u0000b");
    // Invalid bytes kept as they are stay exactly those bytes.
    EXPECT_EQ(Text::JsonStringLiteral("\xFF\xC0\xAF\x80", Text::MinimalJson), "\"\xFF\xC0\xAF\x80\"");
    EXPECT_EQ(Text::JsonStringLiteral("\xFF\xC0\xAF", Text::AsciiJson), "\"\\ufffd\\ufffd\\ufffd\"");
}

TEST(TextAsciiCase, OnlyLettersAToZFold) {
    EXPECT_EQ(Text::LowerAscii("AZaz@[`{09 \xC3\x89\xC4\xB0"), "azaz@[`{09 \xC3\x89\xC4\xB0");
    EXPECT_EQ(Text::LowerAscii('Q'), 'q');
    EXPECT_EQ(Text::LowerAscii('\xC9'), '\xC9');

    EXPECT_TRUE(Text::EqualsNoCase("About:BLANK", "about:blank"));
    EXPECT_FALSE(Text::EqualsNoCase("about:blank", "about:blan"));
    EXPECT_FALSE(Text::EqualsNoCase("[", "{")); // '[' + 32 is '{', but neither is a letter
    EXPECT_FALSE(Text::EqualsNoCase("\xC3\x89", "\xC3\xA9"));

    EXPECT_TRUE(Text::StartsWithNoCase("FILE:///a", "file:"));
    EXPECT_TRUE(Text::StartsWithNoCase("file:", "File:"));
    EXPECT_TRUE(Text::StartsWithNoCase("x", ""));
    EXPECT_FALSE(Text::StartsWithNoCase("fil", "file:"));
    EXPECT_FALSE(Text::StartsWithNoCase("blob:file:", "file:"));
}

TEST(TextAddresses, PercentEncodingKeepsUnreservedAndTheGivenSet) {
    std::string out = "file://";
    Text::AppendPercentEncoded(out, std::string("/a b/\xC3\xA9%x:y?#\x7F~._-", 18), "/");
    EXPECT_EQ(out, "file:///a%20b/%C3%A9%25x%3Ay%3F%23%7F~._-");
    out.clear();
    Text::AppendPercentEncoded(out, std::string("C:/d\0e", 6), "/:");
    EXPECT_EQ(out, "C:/d%00e");
}
