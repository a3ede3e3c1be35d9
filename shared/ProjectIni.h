// The read-only settings reader filled from the payload entry "qvx.ini", and
// the keys of section App with their defaults.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace Norvane::Shared {

// Reading rules:
// - Lines end at CR LF, LF or a lone CR. Each line loses the characters up to
//   and including the space (U+0000 to U+0020) at both ends; empty lines and
//   lines beginning with ";" are skipped.
// - "[name]" opens the section "name" (trimmed); a name that occurs again
//   continues the same section. Lines before the first section are ignored.
// - The key is the trimmed text before the first "=", the value the trimmed
//   text after it; a line without "=" is a key with an empty value.
// - Section and key names match without regard to the case of A-Z; other
//   letters must match exactly.
// - Of two equal keys in one section (also across repeated sections) the
//   first one wins; later ones are ignored.
// - ReadString returns the value as stored (an empty value stays empty); the
//   default only stands in for an absent key. ReadInteger and ReadBool return
//   the default for an absent, empty or unparsable value; ReadBool is true for
//   any number other than 0.
class TProjectIni {
public:
    // Decodes the entry's bytes (byte-order marks for UTF-8 and UTF-16 in both
    // byte orders; otherwise UTF-8 when the bytes are valid UTF-8, else
    // Windows-1252) and parses the lines. Replaces any earlier content.
    void LoadFromBytes(const std::string& Bytes);
    // Parses already decoded UTF-8 lines.
    void LoadFromLines(const std::vector<std::string>& Lines);

    std::string ReadString(const std::string& Section, const std::string& Ident,
                           const std::string& Default) const;
    std::int32_t ReadInteger(const std::string& Section, const std::string& Ident,
                             std::int32_t Default) const;
    bool ReadBool(const std::string& Section, const std::string& Ident, bool Default) const;

    bool SectionExists(const std::string& Section) const;
    bool ValueExists(const std::string& Section, const std::string& Ident) const;

    // The decoding rule of LoadFromBytes, as UTF-8 text. Ill-formed UTF-8 after
    // a UTF-8 mark, unpaired UTF-16 surrogates and an odd trailing byte of
    // UTF-16 each become U+FFFD. In Windows-1252 the five undefined bytes 0x81,
    // 0x8D, 0x8F, 0x90 and 0x9D become U+0081, U+008D, U+008F, U+0090, U+009D.
    static std::string DecodeText(const std::string& Bytes);
    // Integer rule: decimal (optionally negative) or hexadecimal with "0x", "0X"
    // or "$"; hexadecimal values with the top bit set wrap to negative 32-bit numbers.
    // Details: an optional sign "+" or "-" comes first, also before a hexadecimal
    // prefix ("-$1A" is -26, the 32-bit pattern negated). Decimal values must lie
    // in the 32-bit signed range; hexadecimal values may be at most 0xFFFFFFFF
    // (leading zeros allowed). No blanks, no other characters; Value is left
    // unchanged when the text does not parse.
    static bool TryParseInteger(const std::string& Text, std::int32_t& Value);

private:
    // Lower-cased section name -> lower-cased key -> value.
    std::map<std::string, std::map<std::string, std::string>> FSections;
};

// Section App and its keys, with their defaults.
namespace AppIni {
inline constexpr const char* Section = "App";

inline constexpr const char* ID = "ID";
inline constexpr const char* Name = "Name";
inline constexpr const char* DirName = "DirName";
inline constexpr const char* IndexHtml = "IndexHtml";
inline constexpr const char* Theme = "Theme";
inline constexpr const char* EdgeInstaller = "EdgeInstaller";
inline constexpr const char* InstallFormColor = "InstallFormColor";
inline constexpr const char* InstallIndicatorColor = "InstallIndicatorColor";
inline constexpr const char* InstallIndicatorType = "InstallIndicatorType";
inline constexpr const char* Password = "Password";
inline constexpr const char* AllowInstances = "AllowInstances";
inline constexpr const char* AllowDebug = "AllowDebug";
inline constexpr const char* AllowZoom = "AllowZoom";
inline constexpr const char* AllowContextMenu = "AllowContextMenu";
inline constexpr const char* Top = "Top";
inline constexpr const char* Left = "Left";
inline constexpr const char* Width = "Width";
inline constexpr const char* Height = "Height";
inline constexpr const char* MaxWidth = "MaxWidth";
inline constexpr const char* MaxHeight = "MaxHeight";
inline constexpr const char* MinWidth = "MinWidth";
inline constexpr const char* MinHeight = "MinHeight";
inline constexpr const char* WindowPosition = "WindowPosition";
inline constexpr const char* WindowStyle = "WindowStyle";
inline constexpr const char* WindowBorder = "WindowBorder";
inline constexpr const char* WindowState = "WindowState";
inline constexpr const char* WindowOrder = "WindowOrder";
inline constexpr const char* DynamicAppTitle = "DynamicAppTitle";

inline constexpr const char* DefaultID = "";
inline constexpr const char* DefaultName = "";
inline constexpr const char* DefaultDirName = "";
inline constexpr const char* DefaultIndexHtml = "index.html";
inline constexpr const char* DefaultTheme = "Windows";
inline constexpr bool DefaultEdgeInstaller = true;
inline constexpr std::int32_t DefaultInstallFormColor = static_cast<std::int32_t>(0xFF00001Au);
inline constexpr std::int32_t DefaultInstallIndicatorColor = 1;
inline constexpr std::int32_t DefaultInstallIndicatorType = 0;
inline constexpr const char* DefaultPassword = "";
inline constexpr bool DefaultAllowInstances = false;
inline constexpr bool DefaultAllowDebug = false;
inline constexpr bool DefaultAllowZoom = false;
inline constexpr bool DefaultAllowContextMenu = false;
inline constexpr std::int32_t DefaultTop = 50;
inline constexpr std::int32_t DefaultLeft = 50;
inline constexpr std::int32_t DefaultWidth = 800;
inline constexpr std::int32_t DefaultHeight = 600;
inline constexpr std::int32_t DefaultMaxWidth = 0;
inline constexpr std::int32_t DefaultMaxHeight = 0;
inline constexpr std::int32_t DefaultMinWidth = 0;
inline constexpr std::int32_t DefaultMinHeight = 0;
inline constexpr std::int32_t DefaultWindowPosition = 0;
inline constexpr std::int32_t DefaultWindowStyle = 0;
inline constexpr std::int32_t DefaultWindowBorder = 2;
inline constexpr std::int32_t DefaultWindowState = 0;
inline constexpr std::int32_t DefaultWindowOrder = 0;
inline constexpr bool DefaultDynamicAppTitle = false;
} // namespace AppIni

} // namespace Norvane::Shared
