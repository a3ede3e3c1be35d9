#include "platform/Paths.h"

namespace Norvane::Platform {

std::filesystem::path PathFromUtf8(std::string_view Utf8) {
    return std::filesystem::path(std::u8string(Utf8.begin(), Utf8.end()));
}

std::string Utf8FromPath(const std::filesystem::path& Path) {
    const std::u8string text = Path.u8string();
    return std::string(text.begin(), text.end());
}

std::string GenericUtf8FromPath(const std::filesystem::path& Path) {
    const std::u8string text = Path.generic_u8string();
    return std::string(text.begin(), text.end());
}

} // namespace Norvane::Platform
