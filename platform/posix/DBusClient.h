// Calls of D-Bus methods through the command-line clients that desktop
// systems carry (busctl of systemd, gdbus of GLib, dbus-send of D-Bus).
#pragma once

#include <string>
#include <variant>
#include <vector>

namespace Norvane::Platform::Posix {

enum class DBusBus { Session, System };

using DBusArgument = std::variant<bool, std::string, std::vector<std::string>>;

struct DBusCall {
    DBusBus Bus = DBusBus::Session;
    std::string Destination;
    std::string ObjectPath;
    std::string Interface;
    std::string Method;
    std::vector<DBusArgument> Arguments;
};

// Makes the call with the first client found in PATH and waits for the reply.
// True when the method returned without an error; otherwise false with the
// last error set (the client's message, or "not found" without a client).
bool CallDBusMethod(const DBusCall& call);

} // namespace Norvane::Platform::Posix
