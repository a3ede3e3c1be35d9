// The engine serves the application's "file:///" addresses through a scheme of
// its own, because WebKitGTK refuses a handler for "file". One fixed host keeps
// every page of an application on one origin (one local storage, one cookie
// jar). The host and the pages' callers see "file:///..." addresses; WebKit
// sees "norvane://app/...". This header is shared by the engine library and its
// web-process extension and uses only the standard library and the inline
// case folding of platform/Text.h.
#pragma once

#include "platform/Text.h"

#include <string>
#include <string_view>

namespace Norvane::Engine {

inline constexpr const char* AppScheme = "norvane";
inline constexpr const char* AppHost = "app";
// "norvane://app/"
inline const std::string& AppPrefix() {
    static const std::string Prefix = std::string(AppScheme) + "://" + AppHost + "/";
    return Prefix;
}

using Platform::Text::StartsWithNoCase;

// Whether Address is a local file address this engine serves itself: "file:"
// followed by "///", "/" or "//localhost/".
inline bool IsLocalFileAddress(std::string_view Address) {
    if (!StartsWithNoCase(Address, "file:"))
        return false;
    const std::string_view Rest = Address.substr(5);
    return Rest.starts_with("/") &&
           (!Rest.starts_with("//") || Rest.starts_with("///") || StartsWithNoCase(Rest, "//localhost/"));
}

inline constexpr std::string_view BlobPrefix = "blob:";

// "file:///index.html" -> "norvane://app/index.html"; "blob:file:///id" ->
// "blob:norvane://app/id" (an object address made by an application page);
// other addresses unchanged.
inline std::string ToEngineAddress(std::string_view Address) {
    if (StartsWithNoCase(Address, BlobPrefix) && IsLocalFileAddress(Address.substr(BlobPrefix.size())))
        return std::string(BlobPrefix) + ToEngineAddress(Address.substr(BlobPrefix.size()));
    if (!IsLocalFileAddress(Address))
        return std::string(Address);
    std::string_view Path = Address.substr(5); // "/...", "///..." or "//localhost/..."
    if (StartsWithNoCase(Path, "//localhost/"))
        Path.remove_prefix(11);
    else if (Path.starts_with("///"))
        Path.remove_prefix(2);
    while (Path.starts_with("/"))
        Path.remove_prefix(1);
    return AppPrefix() + std::string(Path);
}

// "norvane://app/index.html" -> "file:///index.html"; "blob:norvane://app/id" ->
// "blob:file:///id"; other addresses unchanged.
inline std::string ToPageAddress(std::string_view Address) {
    if (StartsWithNoCase(Address, BlobPrefix) &&
        StartsWithNoCase(Address.substr(BlobPrefix.size()), AppPrefix()))
        return std::string(BlobPrefix) + ToPageAddress(Address.substr(BlobPrefix.size()));
    const std::string& Prefix = AppPrefix();
    if (StartsWithNoCase(Address, Prefix))
        return "file:///" + std::string(Address.substr(Prefix.size()));
    const std::string_view Bare = std::string_view(Prefix).substr(0, Prefix.size() - 1); // "norvane://app"
    if (Address.size() == Bare.size() && StartsWithNoCase(Address, Bare))
        return "file:///";
    return std::string(Address);
}

// Whether an engine address is a document of the application itself: one of
// its own scheme and host, or an object address ("blob:") that such a
// document made. Only these documents get the host's scripts and may send
// messages to the host.
inline bool IsAppDocumentAddress(std::string_view Address) {
    if (StartsWithNoCase(Address, BlobPrefix))
        Address.remove_prefix(BlobPrefix.size());
    return StartsWithNoCase(Address, AppPrefix());
}

} // namespace Norvane::Engine
