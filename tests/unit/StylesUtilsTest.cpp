// Visual styles: the style-file container with good and damaged files, the
// built-in catalogue as the program registers it, and the preview picture.
#include "shared/StylesUtils.h"

#include "platform/ui/Graphics.h"
#include "platform/ui/Styles.h"
#include "shared/Resources.h"

#include <gtest/gtest.h>

#include <zlib.h>

using namespace Norvane::Shared;
using Norvane::Platform::Ui::TBitmap;
using Norvane::Platform::Ui::TRgb;

namespace {

TStyleFile Sample() {
    TStyleFile style;
    style.Name = "Grüne Wiese \xF0\x9F\x8C\xB1"; // beyond U+FFFF: a surrogate pair
    style.Version = "1.0";
    style.Author = "A";
    style.Properties = {{"css", ".norvane { color: #010203; }"}, {"caption", "#102030"}};
    return style;
}

// A file around the given inflated data.
std::string Pack(const std::string& Data) {
    uLongf size = compressBound(static_cast<uLong>(Data.size()));
    std::string packed(size, '\0');
    compress(reinterpret_cast<Bytef*>(packed.data()), &size, reinterpret_cast<const Bytef*>(Data.data()),
             static_cast<uLong>(Data.size()));
    return std::string(StyleFileSignature) + packed.substr(0, size);
}

std::string Count(std::uint32_t N) {
    return std::string{char(N & 0xFF), char((N >> 8) & 0xFF), char((N >> 16) & 0xFF), char(N >> 24)};
}

void ExpectRefused(const std::string& Bytes, const std::string& Why) {
    try {
        ReadStyleFile(Bytes);
        ADD_FAILURE() << "accepted: " << Why;
    } catch (const EStyleFileError& e) {
        EXPECT_NE(std::string(e.what()).find(Why), std::string::npos) << e.what();
    }
}

} // namespace

TEST(StyleFile, WrittenFilesReadBackAndDamagedOnesAreRefused) {
    const std::string bytes = WriteStyleFile(Sample());
    ASSERT_EQ(bytes.substr(0, 13), "VCL_STYLE 2.0");
    const TStyleFile back = ReadStyleFile(bytes);
    EXPECT_EQ(back.Name, Sample().Name);
    EXPECT_EQ(back.Properties, Sample().Properties);

    ExpectRefused("VCL_STYLE 1.0" + bytes.substr(13), "signature");
    ExpectRefused("VCL_STYLE", "signature");
    ExpectRefused(bytes.substr(0, bytes.size() - 6), "truncated");
    std::string flipped = bytes;
    flipped[16] = static_cast<char>(flipped[16] ^ 0x55);
    EXPECT_THROW(ReadStyleFile(flipped), EStyleFileError);
    // A name claiming 2 GB of characters, a count past the end, an odd size.
    ExpectRefused(Pack(Count(0x40000000) + std::string("N\0", 2)), "past the end");
    const std::string header = Count(1) + std::string("N\0", 2) + Count(0) + Count(0) + Count(0) + Count(0);
    ExpectRefused(Pack(header + Count(0xFFFFFFFF)), "property count");
    ExpectRefused(Pack(header + Count(0) + "x"), "odd number");
    ExpectRefused(Pack(header + Count(0) + "xy"), "follow the end");
    ExpectRefused(Pack(Count(0) + Count(0) + Count(0) + Count(0) + Count(0) + Count(0)), "no name");
    // A zlib bomb: far more data than a style holds.
    ExpectRefused(Pack(header + Count(1) + Count(1) + std::string("k\0", 2) + Count(6u << 20) +
                       std::string(12u << 20, 'a')),
                  "larger than");
    // A lone surrogate reads as U+FFFD.
    EXPECT_EQ(ReadStyleFile(Pack(Count(1) + std::string("\x00\xD8", 2) + Count(0) + Count(0) + Count(0) +
                                 Count(0) + Count(0)))
                  .Name,
              "\xEF\xBF\xBD");
}

TEST(StylesCatalogue, FortyNamesFromTheEmbeddedFilesSortedWithoutRegardToCase) {
    ASSERT_EQ(TStylesUtils::RegisterBuiltInStyles(), 39);
    TStringList themes;
    themes.Add("left over");
    TStylesUtils::GetAvailables(themes, true);
    ASSERT_EQ(themes.Count(), 40u);
    EXPECT_TRUE(themes.Sorted());
    EXPECT_EQ(themes[0], "Amakrits");
    EXPECT_EQ(themes[39], "Windows10 SlateGray");
    for (std::size_t i = 1; i < themes.Count(); ++i)
        EXPECT_LT(Norvane::Platform::Text::LowerAscii(themes[i - 1]),
                  Norvane::Platform::Text::LowerAscii(themes[i]));
    // Resource name, style name and version as embedded.
    const std::pair<const char*, const char*> samples[][2] = {
        {{"VCLSTYLE/WINDOWS", "Windows10"}, {"2.0", ""}},
        {{"VCLSTYLE/COBALTXEMEDIA", "Cobalt XEMedia"}, {"1.0", ""}},
        {{"VCLSTYLE/AQUALIGHTSLATE", "Aqua Light Slate"}, {"2.0", ""}},
    };
    for (const auto& s : samples) {
        const TStyleFile file = ReadStyleFile(FindResource(s[0].first));
        EXPECT_EQ(file.Name, s[0].second);
        EXPECT_EQ(file.Version, s[1].first);
        EXPECT_FALSE(file.Property("css").empty());
    }
    // Unknown names leave the active style alone and show nothing.
    TStylesUtils::TrySetStyle("carbon", false);
    TStylesUtils::TrySetStyle("No 'such' style", false);
    TStylesUtils::TrySetStyle(std::string(100000, 'x'), false);
    TStylesUtils::TrySetStyle("", false);
    EXPECT_EQ(TStylesUtils::GetActiveTheme(), "Carbon");
    // System colours follow the active style.
    using namespace Norvane::Platform::Ui;
    EXPECT_EQ(ColorToRgb(clBtnFace), (TRgb{0x2b, 0x2b, 0x2b}));
    EXPECT_EQ(ColorToRgb(clHighlight), (TRgb{0x6e, 0x7b, 0x8b}));
    TStylesUtils::TrySetStyle("Windows", false);
    EXPECT_EQ(TStylesUtils::GetActiveTheme(), "Windows");
    EXPECT_NE(ColorToRgb(clBtnFace), (TRgb{0x2b, 0x2b, 0x2b}));
}

TEST(StylesPreview, SampleWindowGeometryInTheStyleColours) {
    TBitmap picture(320, 200);
    TStylesUtils::DrawThemePreview("carbon", picture);
    // Read back from the PNG, as the gallery writes it.
    const TBitmap png = TBitmap::FromEncoded(picture.EncodePng());
    auto at = [&](int X, int Y) {
        const std::uint8_t* p = png.Pixel(X, Y);
        return TRgb{p[0], p[1], p[2]};
    };
    const TStyleFile carbon = ReadStyleFile(FindResource("VCLSTYLE/CARBON"));
    auto colour = [&](const char* Key) {
        unsigned r, g, b;
        std::sscanf(carbon.Property(Key).c_str(), "#%2x%2x%2x", &r, &g, &b);
        return TRgb{std::uint8_t(r), std::uint8_t(g), std::uint8_t(b)};
    };
    const int caption = std::stoi(carbon.Property("captionheight"));
    const int frame = std::stoi(carbon.Property("framewidth"));
    EXPECT_EQ(at(160, caption - 2), colour("caption"));
    EXPECT_EQ(at(160, caption + 2), colour("window"));
    EXPECT_EQ(at(frame / 2, 100), colour("frame"));
    EXPECT_EQ(at(319 - frame / 2, 100), colour("frame"));
    EXPECT_EQ(at(160, 199 - frame / 2), colour("frame"));
    // The buttons: 75 x 25, tops 45 above the bottom, left edges at 30 and 110.
    for (int left : {30, 110}) {
        EXPECT_EQ(at(left + 4, 200 - 45 + 4), colour("button")) << left;
        EXPECT_EQ(at(left - 2, 200 - 45 + 12), colour("window")) << left;
        EXPECT_EQ(at(left + 77, 200 - 45 + 12), colour("window")) << left;
        EXPECT_EQ(at(left + 4, 200 - 45 + 27), colour("window")) << left;
    }
    // The system look has no preview; an unknown style cannot be loaded.
    EXPECT_THROW(
        {
            try {
                TStylesUtils::DrawThemePreview("Windows", picture);
            } catch (const std::exception& e) {
                EXPECT_STREQ(e.what(), "Not available \"Windows\" preview.");
                throw;
            }
        },
        std::runtime_error);
    EXPECT_THROW(TStylesUtils::DrawThemePreview("Nonexistent", picture), std::runtime_error);
    EXPECT_EQ(TStylesUtils::GetActiveTheme(), "Windows");
}
