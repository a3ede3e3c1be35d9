// Style files: the container that carries one visual style. A file is the
// 13-byte signature "VCL_STYLE 2.0" followed by a zlib stream. The inflated
// data is a sequence of strings, each a 32-bit little-endian count of UTF-16
// code units followed by those units in little-endian order: first the five
// header strings (name, version, author, author e-mail, author web address),
// then a 32-bit count of properties and that many key/value string pairs
// (the style sheet under "css", colours as "#rrggbb" and metrics in pixels).
#pragma once

#include <cstddef>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>

namespace Norvane::Shared {

class EStyleFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct TStyleFile {
    std::string Name;
    std::string Version;
    std::string Author;
    std::string AuthorEMail;
    std::string AuthorUrl;
    std::map<std::string, std::string> Properties;

    std::string Property(const std::string& Key, const std::string& Default = {}) const;
};

inline constexpr std::string_view StyleFileSignature = "VCL_STYLE 2.0";
// The largest inflated style a reader accepts.
inline constexpr std::size_t MaxStyleDataSize = 4u << 20;

// Reads a style file; raises EStyleFileError naming what is wrong (a wrong
// signature, a damaged or truncated stream, a string or count past the end,
// an odd number of bytes, data beyond MaxStyleDataSize) and never reads past
// Bytes. Strings are returned as UTF-8; unpaired surrogates become U+FFFD.
TStyleFile ReadStyleFile(std::string_view Bytes);

// The file bytes of Style (strings are UTF-8, written as UTF-16).
std::string WriteStyleFile(const TStyleFile& Style);

} // namespace Norvane::Shared
