#include "platform/System.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace Norvane::Platform {
namespace {

thread_local int ErrorCode = 0;
thread_local std::string ErrorMessage;

} // namespace

int LastErrorCode() {
    return ErrorCode;
}

std::string LastErrorMessage() {
    return ErrorMessage.empty() ? SystemErrorMessage(ErrorCode) : ErrorMessage;
}

void SetLastError(int code, std::string message) {
    ErrorCode = code;
    ErrorMessage = std::move(message);
}

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

char PathDelimiter() {
    return '/';
}

std::string FileAddressPath(const std::string& afterPrefix) {
    return "/" + afterPrefix;
}

} // namespace Norvane::Platform
