// Content types of the class registry (HKEY_CLASSES_ROOT):
//  - extension list "HKCR": every ".ext" key with its "Content Type" value;
//  - type database "HKCR\MIME\Database\Content Type": every content type key
//    with its "Extension" value.
#include "platform/MimeRegistry.h"

#include "platform/Text.h"
#include "platform/win32/Win32Internal.h"

#include <unordered_set>

namespace Norvane::Platform {
namespace {

constexpr const char* ExtensionListLocation = "HKCR";
constexpr const char* TypeDatabaseLocation = "HKCR\\MIME\\Database\\Content Type";

bool IsPlainExtension(const std::string& extension) {
    if (extension.size() < 2 || extension.size() > 64 || extension.front() != '.')
        return false;
    for (std::size_t i = 1; i < extension.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(extension[i]);
        if (!(std::isalnum(c) || c == '-' || c == '_' || c == '+' || c == '.' || c == '~'))
            return false;
    }
    return true;
}

// type/subtype of printable ASCII without blanks.
bool IsContentType(const std::string& type) {
    std::size_t slash = type.find('/');
    if (type.empty() || type.size() > 255 || slash == 0 || slash == std::string::npos ||
        slash + 1 == type.size() || type.find('/', slash + 1) != std::string::npos)
        return false;
    for (unsigned char c : type)
        if (c <= 0x20 || c >= 0x7F)
            return false;
    return true;
}

// The string value Name of a key; empty when missing or not text.
std::string StringValue(HKEY key, const wchar_t* name) {
    wchar_t buffer[256] = {};
    DWORD size = sizeof buffer - sizeof(wchar_t);
    DWORD type = 0;
    if (::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return {};
    return Win32::Narrow(std::wstring_view(buffer, size / sizeof(wchar_t)).substr(0, std::wcslen(buffer)));
}

// Calls Visit(subkey name, opened subkey) for every subkey of Key.
template <typename Visit> void ForEachSubkey(HKEY key, Visit visit) {
    for (DWORD index = 0;; ++index) {
        wchar_t name[256] = {};
        DWORD length = 256;
        LONG rc = ::RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS)
            break;
        if (rc != ERROR_SUCCESS)
            continue; // a name too long for any extension or type
        HKEY subkey = nullptr;
        if (::RegOpenKeyExW(key, name, 0, KEY_READ, &subkey) != ERROR_SUCCESS)
            continue;
        visit(Win32::Narrow(std::wstring_view(name, length)), subkey);
        ::RegCloseKey(subkey);
    }
}

} // namespace

std::vector<MimeSource> SystemMimeSources() {
    return {{MimeSourceKind::ExtensionList, ExtensionListLocation},
            {MimeSourceKind::TypeDatabase, TypeDatabaseLocation}};
}

void ReadMimeSource(const MimeSource& Source, std::vector<MimeRegistration>& Registrations) {
    std::string location = Source.Location;
    if (!Text::StartsWithNoCase(location, "HKCR"))
        return;
    location.erase(0, location.size() > 4 && location[4] == '\\' ? 5 : 4);
    HKEY root = nullptr;
    if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, Win32::Widen(location).c_str(), 0, KEY_READ, &root) !=
        ERROR_SUCCESS)
        return;
    if (Source.Kind == MimeSourceKind::ExtensionList) {
        ForEachSubkey(root, [&](const std::string& name, HKEY key) {
            if (name.empty() || name.front() != '.')
                return;
            std::string extension = Text::LowerAscii(name);
            std::string type = Text::LowerAscii(StringValue(key, L"Content Type"));
            if (IsPlainExtension(extension) && IsContentType(type))
                Registrations.push_back({extension, type});
        });
    } else {
        // One registration an extension: the first type that names it.
        std::unordered_set<std::string> seen;
        ForEachSubkey(root, [&](const std::string& name, HKEY key) {
            std::string type = Text::LowerAscii(name);
            std::string extension = Text::LowerAscii(StringValue(key, L"Extension"));
            if (IsPlainExtension(extension) && IsContentType(type) && seen.insert(extension).second)
                Registrations.push_back({extension, type});
        });
    }
    ::RegCloseKey(root);
}

} // namespace Norvane::Platform
