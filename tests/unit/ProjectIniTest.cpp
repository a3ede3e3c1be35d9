// Tests of the settings reader: decoding of the entry's bytes, the line and
// section rules, the integer, boolean and colour forms, and the keys of App.
#include "shared/ProjectIni.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <variant>

using Norvane::Shared::TProjectIni;
namespace AppIni = Norvane::Shared::AppIni;
using Norvane::Testing::RunCommand;
using Norvane::Testing::ShellQuote;
using Norvane::Testing::TempDir;

namespace {

TProjectIni Load(const std::string& Bytes) {
    TProjectIni ini;
    ini.LoadFromBytes(Bytes);
    return ini;
}

// Converts Text with the system's iconv, an implementation independent of ours.
std::string Iconv(const std::string& Text, const std::string& From, const std::string& To) {
    TempDir dir;
    Norvane::Testing::WriteFile(dir / "in", Text);
    auto result = RunCommand("iconv -f " + From + " -t " + To + " " + ShellQuote(dir / "in") + " > " +
                             ShellQuote(dir / "out"));
    EXPECT_EQ(result.ExitCode, 0) << result.Output;
    return Norvane::Testing::ReadFile(dir / "out");
}

std::string Bytes(std::initializer_list<unsigned> Values) {
    std::string out;
    for (unsigned v : Values)
        out += static_cast<char>(v);
    return out;
}

} // namespace

// ---------------------------------------------------------------------------
// Decoding of the bytes

TEST(ProjectIniEncoding, Utf8MarkIsRemovedBeforeTheFirstLine) {
    // Were the mark kept, the first line would not be a section header.
    auto ini = Load("\xEF\xBB\xBF[App]\nName=Zo\xC3\xAB \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80\n");
    EXPECT_TRUE(ini.SectionExists("App"));
    EXPECT_EQ(ini.ReadString("App", "Name", "-"), "Zo\xC3\xAB \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80");
}

TEST(ProjectIniEncoding, Utf16InBothByteOrdersMatchesIconv) {
    const std::string text = "; comment\r\n[App]\r\nName=Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80 "
                             "\xF0\x9D\x84\x9E\r\nDirName=app\r\nWidth=1024\r\n";
    const std::string le = "\xFF\xFE" + Iconv(text, "UTF-8", "UTF-16LE");
    const std::string be = "\xFE\xFF" + Iconv(text, "UTF-8", "UTF-16BE");
    ASSERT_NE(le, be);
    for (const std::string& bytes : {le, be}) {
        EXPECT_EQ(TProjectIni::DecodeText(bytes), text);
        auto ini = Load(bytes);
        EXPECT_EQ(ini.ReadString("App", "Name", "-"),
                  "Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80 \xF0\x9D\x84\x9E");
        EXPECT_EQ(ini.ReadString("App", "DirName", "-"), "app");
        EXPECT_EQ(ini.ReadInteger("App", "Width", 0), 1024);
    }
}

TEST(ProjectIniEncoding, Utf16DefectsBecomeReplacementCharacters) {
    const std::string fffd = "\xEF\xBF\xBD";
    // High surrogate followed by an ordinary unit.
    EXPECT_EQ(TProjectIni::DecodeText(Bytes({0xFF, 0xFE, 'A', 0, 0x00, 0xD8, 'B', 0})), "A" + fffd + "B");
    // Lone low surrogate, and a low surrogate before a high one.
    EXPECT_EQ(TProjectIni::DecodeText(Bytes({0xFE, 0xFF, 0xDC, 0x00, 0, 'C'})), fffd + "C");
    EXPECT_EQ(TProjectIni::DecodeText(Bytes({0xFF, 0xFE, 0x00, 0xDC, 0x3D, 0xD8, 'D', 0})),
              fffd + fffd + "D");
    // High surrogate as the last unit.
    EXPECT_EQ(TProjectIni::DecodeText(Bytes({0xFF, 0xFE, 'E', 0, 0x3D, 0xD8})), "E" + fffd);
    // Odd trailing byte, also directly after a high surrogate.
    EXPECT_EQ(TProjectIni::DecodeText(Bytes({0xFE, 0xFF, 0, 'F', 0x41})), "F" + fffd);
    EXPECT_EQ(TProjectIni::DecodeText(Bytes({0xFE, 0xFF, 0xD8, 0x3D, 0xDE})), fffd + fffd);
    // A well-formed pair next to the defects still decodes.
    EXPECT_EQ(TProjectIni::DecodeText(Bytes({0xFE, 0xFF, 0xD8, 0x3D, 0xDE, 0x00, 0xD8, 0x3D})),
              "\xF0\x9F\x98\x80" + fffd);
}

TEST(ProjectIniEncoding, ValidUtf8WithoutMarkIsTakenAsIs) {
    const std::string text = "[App]\nName=\xC3\x9C\x62\x65r \xE2\x80\x9C\x78\xE2\x80\x9D\n";
    EXPECT_EQ(TProjectIni::DecodeText(text), text);
    EXPECT_EQ(Load(text).ReadString("App", "Name", ""), "\xC3\x9C\x62\x65r \xE2\x80\x9C\x78\xE2\x80\x9D");
}

TEST(ProjectIniEncoding, InvalidUtf8WithoutMarkIsReadAsWindows1252) {
    // One invalid byte makes the whole file Windows-1252, including the bytes
    // that would have formed valid UTF-8 (C3 A9).
    auto ini = Load("[App]\r\nName=Caf\xE9\r\nTheme=\x80uro \xC3\xA9\r\n");
    EXPECT_EQ(ini.ReadString("App", "Name", ""), "Caf\xC3\xA9");
    EXPECT_EQ(ini.ReadString("App", "Theme", ""), "\xE2\x82\xACuro \xC3\x83\xC2\xA9");
    // Overlong forms and encoded surrogates are not valid UTF-8 either.
    EXPECT_EQ(TProjectIni::DecodeText("\xC0\xAF"), "\xC3\x80\xC2\xAF");
    EXPECT_EQ(TProjectIni::DecodeText("\xED\xA0\x80"), "\xC3\xAD\xC2\xA0\xE2\x82\xAC");
    EXPECT_EQ(TProjectIni::DecodeText("\xF4\x90\x80\x80"), "\xC3\xB4\xC2\x90\xE2\x82\xAC\xE2\x82\xAC");
    // Truncated sequence at the end.
    EXPECT_EQ(TProjectIni::DecodeText("a\xE2\x82"), "a\xC3\xA2\xE2\x80\x9A");
}

TEST(ProjectIniEncoding, Windows1252DefinedBytesMatchIconv) {
    std::string lines;
    std::vector<unsigned> bytes;
    for (unsigned b = 0x80; b <= 0xFF; ++b) {
        if (b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D)
            continue;
        bytes.push_back(b);
        lines += static_cast<char>(b);
        lines += '\n';
    }
    const std::string expected = Iconv(lines, "CP1252", "UTF-8");
    std::size_t pos = 0;
    for (unsigned b : bytes) {
        const std::size_t end = expected.find('\n', pos);
        ASSERT_NE(end, std::string::npos);
        EXPECT_EQ(TProjectIni::DecodeText(std::string(1, static_cast<char>(b))),
                  expected.substr(pos, end - pos))
            << "byte 0x" << std::hex << b;
        pos = end + 1;
    }
}

TEST(ProjectIniEncoding, Windows1252UndefinedBytesKeepTheirNumbers) {
    EXPECT_EQ(TProjectIni::DecodeText("\x81"), "\xC2\x81");
    EXPECT_EQ(TProjectIni::DecodeText("\x8D"), "\xC2\x8D");
    EXPECT_EQ(TProjectIni::DecodeText("\x8F"), "\xC2\x8F");
    EXPECT_EQ(TProjectIni::DecodeText("\x90"), "\xC2\x90");
    EXPECT_EQ(TProjectIni::DecodeText("\x9D"), "\xC2\x9D");
}

TEST(ProjectIniEncoding, SettingsFileWrittenInWindows1252) {
    const std::string name = "Cr\xC3\xA8me br\xC3\xBBl\xC3\xA9\x65 \xE2\x80\x93 \xE2\x80\x9Cgood\xE2\x80\x9D "
                             "\xE2\x82\xAC\xC5\x93";
    const std::string file = Iconv("[App]\r\nName=" + name + "\r\nID=cafe\r\n", "UTF-8", "CP1252");
    auto ini = Load(file);
    EXPECT_EQ(ini.ReadString("App", "Name", ""), name);
    EXPECT_EQ(ini.ReadString("App", "ID", ""), "cafe");
}

TEST(ProjectIniEncoding, IllFormedUtf8AfterMarkIsReplaced) {
    const std::string fffd = "\xEF\xBF\xBD";
    EXPECT_EQ(TProjectIni::DecodeText("\xEF\xBB\xBF"
                                      "a\xC3(b\xE2\x82"
                                      "c\xED\xA0\x80"
                                      "d\xFF"),
              "a" + fffd + "(b" + fffd + "c" + fffd + fffd + fffd + "d" + fffd);
}

TEST(ProjectIniEncoding, EmptyFileAndMarkOnly) {
    for (const std::string& bytes :
         {std::string(), std::string("\xEF\xBB\xBF"), std::string("\xFF\xFE"), std::string("\xFE\xFF")}) {
        EXPECT_EQ(TProjectIni::DecodeText(bytes), "");
        auto ini = Load(bytes);
        EXPECT_FALSE(ini.SectionExists("App"));
        EXPECT_EQ(ini.ReadInteger("App", "Width", 77), 77);
    }
}

// ---------------------------------------------------------------------------
// Lines, sections and keys

TEST(ProjectIniStructure, AllLineBreakFormsSplitLines) {
    auto ini = Load("[App]\r\nA=1\nB=2\rC=3\n\rD=4\r\r\nE=5");
    EXPECT_EQ(ini.ReadString("App", "A", "-"), "1");
    EXPECT_EQ(ini.ReadString("App", "B", "-"), "2");
    EXPECT_EQ(ini.ReadString("App", "C", "-"), "3");
    EXPECT_EQ(ini.ReadString("App", "D", "-"), "4");
    EXPECT_EQ(ini.ReadString("App", "E", "-"), "5");
}

TEST(ProjectIniStructure, BlanksAroundLinesKeysAndValuesAreTrimmed) {
    auto ini = Load("  \t[App]\t \n"
                    "\t Name \t=\t My  App \t\n"
                    "Ctrl=\x01value\x1F\n"
                    "Nbsp=\xC2\xA0x\xC2\xA0\n"
                    "\x7F"
                    "Del=1\n");
    EXPECT_EQ(ini.ReadString("App", "Name", ""), "My  App");
    EXPECT_EQ(ini.ReadString("App", "Ctrl", ""), "value");
    // Only characters up to the space count as blanks.
    EXPECT_EQ(ini.ReadString("App", "Nbsp", ""), "\xC2\xA0x\xC2\xA0");
    EXPECT_TRUE(ini.ValueExists("App", "\x7F"
                                       "Del"));
}

TEST(ProjectIniStructure, CommentsAndEmptyLinesAreSkipped) {
    auto ini = Load("[App]\n;Name=commented\n   ; ID=indented comment\n\n   \nDirName=a;b\nPassword=;x\n");
    EXPECT_FALSE(ini.ValueExists("App", "Name"));
    EXPECT_FALSE(ini.ValueExists("App", "ID"));
    EXPECT_FALSE(ini.ValueExists("App", ";Name"));
    EXPECT_EQ(ini.ReadString("App", "DirName", ""), "a;b");
    EXPECT_EQ(ini.ReadString("App", "Password", ""), ";x");
}

TEST(ProjectIniStructure, SectionHeadersAndLinesOutsideSections) {
    auto ini = Load("Name=before any section\n"
                    "[  App  ]\n"
                    "Name=inside\n"
                    "[Other\n"
                    "[Other]\n"
                    "Width=5\n"
                    "[]\n"
                    "Width=6\n");
    EXPECT_TRUE(ini.SectionExists("App"));
    EXPECT_EQ(ini.ReadString("App", "Name", ""), "inside");
    // "[Other" is no header: it is a key line of App.
    EXPECT_TRUE(ini.ValueExists("App", "[Other"));
    // Keys of another section stay there.
    EXPECT_EQ(ini.ReadInteger("App", "Width", 1), 1);
    EXPECT_EQ(ini.ReadInteger("Other", "Width", 1), 5);
    EXPECT_EQ(ini.ReadInteger("", "Width", 1), 6);
    EXPECT_FALSE(ini.SectionExists("Missing"));
    EXPECT_EQ(ini.ReadString("Missing", "Name", "dflt"), "dflt");
}

TEST(ProjectIniStructure, EmptySectionExists) {
    auto ini = Load("[App]\n[Other]\nA=1\n");
    EXPECT_TRUE(ini.SectionExists("App"));
    EXPECT_FALSE(ini.ValueExists("App", "A"));
}

TEST(ProjectIniStructure, RepeatedSectionContinuesAndFirstKeyWins) {
    auto ini = Load("[App]\nName=first\nName=second\n[Other]\nX=1\n[APP]\nName=third\nWidth=640\n");
    EXPECT_EQ(ini.ReadString("App", "Name", ""), "first");
    EXPECT_EQ(ini.ReadInteger("App", "Width", 0), 640);
    EXPECT_EQ(ini.ReadInteger("Other", "X", 0), 1);
}

TEST(ProjectIniStructure, KeyEndsAtFirstEqualsSign) {
    auto ini = Load("[App]\nPassword = a=b = c \n= only value\n");
    EXPECT_EQ(ini.ReadString("App", "Password", ""), "a=b = c");
    EXPECT_EQ(ini.ReadString("App", "", "-"), "only value");
}

TEST(ProjectIniStructure, KeyWithoutValue) {
    auto ini = Load("[App]\nIndexHtml\nTheme=\nWidth\nHeight =  \n");
    // Present with an empty value: strings read as empty, not as the default.
    EXPECT_TRUE(ini.ValueExists("App", "IndexHtml"));
    EXPECT_EQ(ini.ReadString("App", "IndexHtml", "index.html"), "");
    EXPECT_EQ(ini.ReadString("App", "Theme", "Windows"), "");
    // Numbers fall back to the default.
    EXPECT_EQ(ini.ReadInteger("App", "Width", 800), 800);
    EXPECT_EQ(ini.ReadInteger("App", "Height", 600), 600);
    EXPECT_TRUE(ini.ReadBool("App", "Width", true));
}

TEST(ProjectIniStructure, NamesIgnoreCaseValuesKeepIt) {
    auto ini = Load("[aPp]\nTHEME=windows\nnAmE=MyApp\n[\xC3\x9C"
                    "ber]\n\xC3\x84x=1\n");
    EXPECT_TRUE(ini.SectionExists("APP"));
    EXPECT_TRUE(ini.ValueExists("app", "theme"));
    EXPECT_EQ(ini.ReadString("App", "Theme", ""), "windows");
    EXPECT_EQ(ini.ReadString("APP", "name", ""), "MyApp");
    // Letters outside A-Z compare exactly.
    EXPECT_TRUE(ini.SectionExists("\xC3\x9C"
                                  "BER"));
    EXPECT_FALSE(ini.SectionExists("\xC3\xBC"
                                   "ber"));
    EXPECT_TRUE(ini.ValueExists("\xC3\x9C"
                                "ber",
                                "\xC3\x84X"));
    EXPECT_FALSE(ini.ValueExists("\xC3\x9C"
                                 "ber",
                                 "\xC3\xA4x"));
}

TEST(ProjectIniStructure, LoadingAgainReplacesContent) {
    TProjectIni ini;
    ini.LoadFromBytes("[App]\nName=old\nWidth=10\n");
    ini.LoadFromBytes("[App]\nName=new\n");
    EXPECT_EQ(ini.ReadString("App", "Name", ""), "new");
    EXPECT_FALSE(ini.ValueExists("App", "Width"));
    ini.LoadFromLines({"  [App] ", " ID = x ", "; ID=y", "ID=z"});
    EXPECT_EQ(ini.ReadString("App", "ID", ""), "x");
    EXPECT_FALSE(ini.ValueExists("App", "Name"));
}

// ---------------------------------------------------------------------------
// Integers and colours

TEST(ProjectIniInteger, AcceptedForms) {
    const struct {
        const char* Text;
        std::int32_t Value;
    } cases[] = {
        {"0", 0},
        {"42", 42},
        {"-42", -42},
        {"+42", 42},
        {"007", 7},
        {"-0", 0},
        {"2147483647", 2147483647},
        {"-2147483648", INT32_MIN},
        {"0x1A", 26},
        {"0X1a", 26},
        {"$1A", 26},
        {"$ff", 255},
        {"0x7FFFFFFF", 2147483647},
        {"0x80000000", INT32_MIN},
        {"0xFFFFFFFF", -1},
        {"0xFF00001A", -16777190},
        {"$FF00000F", -16777201},
        {"0x00000000000000FF", 255},
        {"-0x1A", -26},
        {"-$10", -16},
        {"+$10", 16},
        {"-0xFFFFFFFF", 1},
    };
    for (const auto& c : cases) {
        std::int32_t value = 12345;
        EXPECT_TRUE(TProjectIni::TryParseInteger(c.Text, value)) << c.Text;
        EXPECT_EQ(value, c.Value) << c.Text;
    }
}

TEST(ProjectIniInteger, RejectedForms) {
    const char* cases[] = {
        "",
        "-",
        "+",
        "0x",
        "$",
        "-$",
        "x1A",
        "12a",
        "1 2",
        " 5",
        "5 ",
        "1.5",
        "1e3",
        "0x1G",
        "--1",
        "+-1",
        "$-1",
        "0x+1",
        "0b101",
        "2147483648",
        "-2147483649",
        "99999999999999999999999",
        "0x100000000",
        "$123456789",
        "\xD9\xA3",
        "true",
        "\xEF\xBC\x91",
    };
    for (const char* text : cases) {
        std::int32_t value = 12345;
        EXPECT_FALSE(TProjectIni::TryParseInteger(text, value)) << text;
        EXPECT_EQ(value, 12345) << text;
    }
}

TEST(ProjectIniInteger, ReadIntegerUsesValueOrDefault) {
    auto ini = Load("[App]\nTop=0xFF00001A\nLeft = -5 \nWidth=abc\nHeight=3000000000\nMaxWidth=\n"
                    "MinWidth=0x100\n");
    EXPECT_EQ(ini.ReadInteger("App", "Top", 50), -16777190);
    EXPECT_EQ(ini.ReadInteger("App", "Left", 50), -5);
    EXPECT_EQ(ini.ReadInteger("App", "Width", 800), 800);
    EXPECT_EQ(ini.ReadInteger("App", "Height", 600), 600);
    EXPECT_EQ(ini.ReadInteger("App", "MaxWidth", 9), 9);
    EXPECT_EQ(ini.ReadInteger("App", "MinWidth", 0), 256);
    EXPECT_EQ(ini.ReadInteger("App", "MinHeight", -3), -3);
}

TEST(ProjectIniInteger, ColourFormsGiveTheSameValue) {
    // System colour 15 and an RGB colour, each written in every form.
    auto ini = Load("[App]\nA=-16777201\nB=0xFF00000F\nC=$ff00000f\nD=0X00336699\nE=3368601\n");
    for (const char* key : {"A", "B", "C"})
        EXPECT_EQ(ini.ReadInteger("App", key, 0), static_cast<std::int32_t>(0xFF00000Fu)) << key;
    EXPECT_EQ(ini.ReadInteger("App", "D", 0), 0x00336699);
    EXPECT_EQ(ini.ReadInteger("App", "E", 0), 0x00336699);
}

// ---------------------------------------------------------------------------
// Booleans

TEST(ProjectIniBoolean, ReadAsIntegers) {
    const struct {
        const char* Text;
        std::optional<bool> Value; // empty: the default is used
    } cases[] = {
        {"0", false},  {"1", true},          {"-1", true},  {"2", true}, {"0x0", false},
        {"$10", true}, {"0xFFFFFFFF", true}, {"-0", false}, {"yes", {}}, {"no", {}},
        {"true", {}},  {"False", {}},        {"", {}},      {"1.0", {}}, {"9999999999", {}},
    };
    for (const auto& c : cases) {
        auto ini = Load(std::string("[App]\nFlag=") + c.Text + "\n");
        EXPECT_EQ(ini.ReadBool("App", "Flag", false), c.Value.value_or(false)) << c.Text;
        EXPECT_EQ(ini.ReadBool("App", "Flag", true), c.Value.value_or(true)) << c.Text;
    }
    auto empty = Load("[App]\n");
    EXPECT_FALSE(empty.ReadBool("App", "Flag", false));
    EXPECT_TRUE(empty.ReadBool("App", "Flag", true));
}

// ---------------------------------------------------------------------------
// Cases the settings file format calls out

TEST(ProjectIniEdgeCases, LowerCaseSectionAndKeys) {
    auto ini = Load("[app]\nid=com.example.notes\nname=Notes\ndirname=notes\nwindowborder=4\n");
    EXPECT_EQ(ini.ReadString(AppIni::Section, AppIni::ID, AppIni::DefaultID), "com.example.notes");
    EXPECT_EQ(ini.ReadString(AppIni::Section, AppIni::Name, AppIni::DefaultName), "Notes");
    EXPECT_EQ(ini.ReadString(AppIni::Section, AppIni::DirName, AppIni::DefaultDirName), "notes");
    EXPECT_EQ(ini.ReadInteger(AppIni::Section, AppIni::WindowBorder, AppIni::DefaultWindowBorder), 4);
}

TEST(ProjectIniEdgeCases, WindowBorderWithBlanksAroundEquals) {
    auto ini = Load("[App]\nWindowBorder   =   3\n");
    EXPECT_EQ(ini.ReadInteger(AppIni::Section, AppIni::WindowBorder, AppIni::DefaultWindowBorder), 3);
}

TEST(ProjectIniEdgeCases, EdgeInstallerZeroAndYes) {
    EXPECT_FALSE(Load("[App]\nEdgeInstaller=0\n")
                     .ReadBool(AppIni::Section, AppIni::EdgeInstaller, AppIni::DefaultEdgeInstaller));
    EXPECT_TRUE(Load("[App]\nEdgeInstaller=yes\n")
                    .ReadBool(AppIni::Section, AppIni::EdgeInstaller, AppIni::DefaultEdgeInstaller));
}

TEST(ProjectIniEdgeCases, InstallFormColorDecimalAndHexAgree) {
    // Read with a default other than the value, so that only the parse can give it.
    auto dec = Load("[App]\nInstallFormColor=-16777190\n");
    auto hex = Load("[App]\nInstallFormColor=0xFF00001A\n");
    const std::int32_t a = dec.ReadInteger(AppIni::Section, AppIni::InstallFormColor, 0);
    const std::int32_t b = hex.ReadInteger(AppIni::Section, AppIni::InstallFormColor, 0);
    EXPECT_EQ(a, b);
    EXPECT_EQ(static_cast<std::uint32_t>(a), 0xFF00001Au);
}

TEST(ProjectIniEdgeCases, SecondSectionOfSameNameAddsKeys) {
    auto ini = Load("[App]\nID=x\n[Other]\nName=wrong\n[App]\nName=Right\n");
    EXPECT_EQ(ini.ReadString(AppIni::Section, AppIni::ID, ""), "x");
    EXPECT_EQ(ini.ReadString(AppIni::Section, AppIni::Name, ""), "Right");
}

// ---------------------------------------------------------------------------
// Keys of section App

namespace {

struct AppKeyRow {
    const char* FileName;                                  // the key as written in qvx.ini
    const char* Constant;                                  // AppIni constant of the key
    std::variant<const char*, std::int32_t, bool> Default; // the documented default
    std::variant<const char*, std::int32_t, bool> ConstantDefault;
};

const AppKeyRow AppKeys[] = {
    {"ID", AppIni::ID, "", AppIni::DefaultID},
    {"Name", AppIni::Name, "", AppIni::DefaultName},
    {"DirName", AppIni::DirName, "", AppIni::DefaultDirName},
    {"IndexHtml", AppIni::IndexHtml, "index.html", AppIni::DefaultIndexHtml},
    {"Theme", AppIni::Theme, "Windows", AppIni::DefaultTheme},
    {"EdgeInstaller", AppIni::EdgeInstaller, true, AppIni::DefaultEdgeInstaller},
    {"InstallFormColor", AppIni::InstallFormColor, std::int32_t(-16777190), AppIni::DefaultInstallFormColor},
    {"InstallIndicatorColor", AppIni::InstallIndicatorColor, std::int32_t(1),
     AppIni::DefaultInstallIndicatorColor},
    {"InstallIndicatorType", AppIni::InstallIndicatorType, std::int32_t(0),
     AppIni::DefaultInstallIndicatorType},
    {"Password", AppIni::Password, "", AppIni::DefaultPassword},
    {"AllowInstances", AppIni::AllowInstances, false, AppIni::DefaultAllowInstances},
    {"AllowDebug", AppIni::AllowDebug, false, AppIni::DefaultAllowDebug},
    {"AllowZoom", AppIni::AllowZoom, false, AppIni::DefaultAllowZoom},
    {"AllowContextMenu", AppIni::AllowContextMenu, false, AppIni::DefaultAllowContextMenu},
    {"Top", AppIni::Top, std::int32_t(50), AppIni::DefaultTop},
    {"Left", AppIni::Left, std::int32_t(50), AppIni::DefaultLeft},
    {"Width", AppIni::Width, std::int32_t(800), AppIni::DefaultWidth},
    {"Height", AppIni::Height, std::int32_t(600), AppIni::DefaultHeight},
    {"MaxWidth", AppIni::MaxWidth, std::int32_t(0), AppIni::DefaultMaxWidth},
    {"MaxHeight", AppIni::MaxHeight, std::int32_t(0), AppIni::DefaultMaxHeight},
    {"MinWidth", AppIni::MinWidth, std::int32_t(0), AppIni::DefaultMinWidth},
    {"MinHeight", AppIni::MinHeight, std::int32_t(0), AppIni::DefaultMinHeight},
    {"WindowPosition", AppIni::WindowPosition, std::int32_t(0), AppIni::DefaultWindowPosition},
    {"WindowStyle", AppIni::WindowStyle, std::int32_t(0), AppIni::DefaultWindowStyle},
    {"WindowBorder", AppIni::WindowBorder, std::int32_t(2), AppIni::DefaultWindowBorder},
    {"WindowState", AppIni::WindowState, std::int32_t(0), AppIni::DefaultWindowState},
    {"WindowOrder", AppIni::WindowOrder, std::int32_t(0), AppIni::DefaultWindowOrder},
    {"DynamicAppTitle", AppIni::DynamicAppTitle, false, AppIni::DefaultDynamicAppTitle},
};

} // namespace

TEST(ProjectIniAppKeys, EveryKeyHasItsDefaultInAnEmptyFile) {
    EXPECT_STREQ(AppIni::Section, "App");
    const auto ini = Load("");
    for (const auto& row : AppKeys) {
        SCOPED_TRACE(row.FileName);
        EXPECT_STREQ(row.Constant, row.FileName);
        ASSERT_EQ(row.Default.index(), row.ConstantDefault.index());
        if (auto* text = std::get_if<const char*>(&row.Default)) {
            const char* constant = std::get<const char*>(row.ConstantDefault);
            EXPECT_STREQ(constant, *text);
            EXPECT_EQ(ini.ReadString(AppIni::Section, row.Constant, constant), *text);
        } else if (auto* number = std::get_if<std::int32_t>(&row.Default)) {
            const std::int32_t constant = std::get<std::int32_t>(row.ConstantDefault);
            EXPECT_EQ(constant, *number);
            EXPECT_EQ(ini.ReadInteger(AppIni::Section, row.Constant, constant), *number);
        } else {
            const bool constant = std::get<bool>(row.ConstantDefault);
            EXPECT_EQ(constant, std::get<bool>(row.Default));
            EXPECT_EQ(ini.ReadBool(AppIni::Section, row.Constant, constant), std::get<bool>(row.Default));
        }
    }
}

TEST(ProjectIniAppKeys, EveryKeyIsReadFromAFullFile) {
    // One file that sets every key to a value other than its default; numbers
    // are written as hexadecimal 32-bit patterns (the colour's one has the top bit set).
    auto changed = [](std::int32_t Default) { return static_cast<std::int32_t>(Default + 7); };
    std::string file = "[App]\r\n";
    for (const auto& row : AppKeys) {
        file += row.FileName;
        if (std::holds_alternative<const char*>(row.Default)) {
            file += std::string("=value of ") + row.FileName + "\r\n";
        } else if (std::holds_alternative<std::int32_t>(row.Default)) {
            char hex[16];
            std::snprintf(hex, sizeof hex, "%08X",
                          static_cast<unsigned>(changed(std::get<std::int32_t>(row.Default))));
            file += std::string("=0x") + hex + "\r\n";
        } else {
            file += std::get<bool>(row.Default) ? "=0\r\n" : "=1\r\n";
        }
    }
    const auto ini = Load(file);
    for (const auto& row : AppKeys) {
        SCOPED_TRACE(row.FileName);
        if (auto* text = std::get_if<const char*>(&row.ConstantDefault)) {
            EXPECT_EQ(ini.ReadString(AppIni::Section, row.Constant, *text),
                      std::string("value of ") + row.FileName);
        } else if (auto* number = std::get_if<std::int32_t>(&row.ConstantDefault)) {
            EXPECT_EQ(ini.ReadInteger(AppIni::Section, row.Constant, *number), changed(*number));
        } else {
            const bool constant = std::get<bool>(row.ConstantDefault);
            EXPECT_EQ(ini.ReadBool(AppIni::Section, row.Constant, constant), !constant);
        }
    }
}
