// File system paths from and to the project's UTF-8 text. With mingw's
// libstdc++ a std::filesystem::path (or a file stream's name) made from a
// plain std::string is converted in the C runtime's locale, not as UTF-8, and
// path::string() converts back the same way; these two go through
// std::u8string instead, so a name outside ASCII is the same file on every
// system. On Linux both are the bytes as they are. Standard library only.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace Norvane::Platform {

// The path whose name is the UTF-8 text Utf8.
std::filesystem::path PathFromUtf8(std::string_view Utf8);

// The UTF-8 text of Path (the inverse of PathFromUtf8).
std::string Utf8FromPath(const std::filesystem::path& Path);

// The UTF-8 text of Path with "/" between its parts on every system (the
// generic form, as archive entry names have it).
std::string GenericUtf8FromPath(const std::filesystem::path& Path);

} // namespace Norvane::Platform
