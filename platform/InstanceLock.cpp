// The part of the instance lock that every backend shares: the lock's name.
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

} // namespace Norvane::Platform
