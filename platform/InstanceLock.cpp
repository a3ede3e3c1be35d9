// The parts of the instance lock that every backend shares: the lock's name
// and the bytes of a request to show the window.
#include "platform/InstanceLock.h"

#include <cstdio>
#include <functional>

namespace Norvane::Platform {

std::string TInstanceLock::EncodeName(const std::string& Name) {
    static const char Hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : Name) {
        bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
                     c == '_' || c == '-';
        if (plain) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += Hex[c >> 4];
            out += Hex[c & 15];
        }
    }
    // Names of files (255 bytes) and of system objects are limited: keep a readable head and a hash of the
    // whole.
    if (out.size() > 200) {
        char hash[17];
        std::snprintf(hash, sizeof hash, "%016llx",
                      static_cast<unsigned long long>(std::hash<std::string>{}(Name)));
        out = out.substr(0, 180) + "~" + hash;
    }
    return out;
}

std::string TInstanceLock::ShowArgumentBytes(const std::vector<std::string>& Arguments) {
    std::string bytes;
    for (const std::string& argument : Arguments)
        bytes.append(argument).push_back('\0');
    if (Arguments.size() > MaxShowArguments || bytes.size() > MaxShowArgumentBytes)
        bytes.clear();
    return bytes;
}

std::vector<std::string> TInstanceLock::ParseShowArguments(const std::string& Bytes) {
    std::vector<std::string> arguments;
    if (Bytes.size() > MaxShowArgumentBytes || (!Bytes.empty() && Bytes.back() != '\0'))
        return arguments;
    for (std::size_t start = 0; start < Bytes.size();) {
        const std::size_t end = Bytes.find('\0', start);
        arguments.push_back(Bytes.substr(start, end - start));
        start = end + 1;
    }
    if (arguments.size() > MaxShowArguments)
        arguments.clear();
    return arguments;
}

} // namespace Norvane::Platform
