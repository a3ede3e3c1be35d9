#include "platform/System.h"

#include "platform/win32/Win32Internal.h"

#include <lmcons.h>

namespace Norvane::Platform {
std::string SystemErrorMessage(int code) {
    wchar_t* buffer = nullptr;
    DWORD n = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        static_cast<DWORD>(code), 0, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
    std::string text;
    if (n != 0 && buffer) {
        text = Win32::Narrow(std::wstring_view(buffer, n));
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
            text.pop_back();
    }
    if (buffer)
        ::LocalFree(buffer);
    return text;
}

std::string ComputerName() {
    DWORD size = 0;
    ::GetComputerNameExW(ComputerNameDnsHostname, nullptr, &size);
    if (size == 0)
        return {};
    std::wstring name(size, L'\0');
    if (!::GetComputerNameExW(ComputerNameDnsHostname, name.data(), &size))
        return {};
    name.resize(size);
    return Win32::Narrow(name);
}

std::optional<std::string> UserName() {
    wchar_t buffer[UNLEN + 1] = {};
    DWORD size = UNLEN + 1;
    if (!::GetUserNameW(buffer, &size) || size <= 1)
        return std::nullopt;
    return Win32::Narrow(std::wstring_view(buffer, size - 1));
}

// Administrator rights: the process token is elevated (with user account
// control), or it holds the enabled Administrators group (without it).
bool IsSuperUser() {
    HANDLE token = nullptr;
    if (::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) {
        TOKEN_ELEVATION elevation{};
        DWORD size = 0;
        bool elevated = ::GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size) &&
                        elevation.TokenIsElevated != 0;
        ::CloseHandle(token);
        if (elevated)
            return true;
    }
    SID_IDENTIFIER_AUTHORITY authority = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    if (!::AllocateAndInitializeSid(&authority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0,
                                    0, 0, 0, 0, &administrators))
        return false;
    BOOL member = FALSE;
    if (!::CheckTokenMembership(nullptr, administrators, &member))
        member = FALSE;
    ::FreeSid(administrators);
    return member != FALSE;
}

// A name the Windows file systems accept: no control characters, none of
// < > : " / \ | ? *, at most 255 UTF-16 units. (Reserved device names and a
// trailing dot or blank are the file system's to refuse.)
bool IsValidFileNameComponent(const std::string& name) {
    for (unsigned char c : name)
        if (c < 0x20 || std::string_view("<>:\"/\\|?*").find(static_cast<char>(c)) != std::string_view::npos)
            return false;
    return Win32::Widen(name).size() <= 255;
}

std::string UserDecimalSeparator() {
    wchar_t buffer[8] = {};
    int n = ::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buffer, 8);
    if (n <= 1)
        return ".";
    return Win32::Narrow(std::wstring_view(buffer, static_cast<std::size_t>(n - 1)));
}

char PathDelimiter() {
    return '\\';
}

// "C:/folder/file.png" (from file:///C:/folder/file.png) gives
// "C:\folder\file.png"; a path without a drive is taken from the root of
// the current drive, as the prefix's last '/' stands for the root.
std::string FileAddressPath(const std::string& afterPrefix) {
    std::string path = afterPrefix;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    bool drive = path.size() >= 2 && path[1] == ':' &&
                 ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
    return drive ? path : "\\" + path;
}

} // namespace Norvane::Platform
