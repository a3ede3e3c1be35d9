#include "platform/System.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <langinfo.h>
#include <locale.h>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace Norvane::Platform {
std::string SystemErrorMessage(int code) {
    char buffer[256] = {};
    // GNU strerror_r returns the message, which may or may not be the buffer.
    const char* text = ::strerror_r(code, buffer, sizeof buffer);
    return text ? std::string(text) : std::string();
}

std::string ComputerName() {
    char buffer[256] = {};
    if (::gethostname(buffer, sizeof buffer - 1) != 0)
        return {};
    return std::string(buffer);
}

std::optional<std::string> UserName() {
    long suggested = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(suggested > 0 ? static_cast<std::size_t>(suggested) : 1024);
    for (;;) {
        passwd entry{};
        passwd* found = nullptr;
        int rc = ::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found);
        if (rc == ERANGE && buffer.size() < (1u << 20)) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (rc != 0 || !found || !found->pw_name || !*found->pw_name)
            return std::nullopt;
        return std::string(found->pw_name);
    }
}

bool IsSuperUser() {
    return ::geteuid() == 0;
}

bool IsValidFileNameComponent(const std::string& name) {
    return name.find('\0') == std::string::npos && name.size() <= NAME_MAX;
}

std::string UserDecimalSeparator() {
    for (const char* variable : {"LC_ALL", "LC_NUMERIC", "LANG"}) {
        const char* name = std::getenv(variable);
        if (!name || !*name)
            continue;
        locale_t locale = ::newlocale(LC_NUMERIC_MASK, name, static_cast<locale_t>(nullptr));
        if (!locale)
            return ".";
        std::string separator = ::nl_langinfo_l(RADIXCHAR, locale);
        ::freelocale(locale);
        return separator.empty() ? std::string(".") : separator;
    }
    return ".";
}

char PathDelimiter() {
    return '/';
}

std::string FileAddressPath(const std::string& afterPrefix) {
    return "/" + afterPrefix;
}

} // namespace Norvane::Platform
