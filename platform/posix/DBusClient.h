// Calls of D-Bus methods through GDBus (GIO), in the calling thread.
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

// Connects to the bus (DBUS_SYSTEM_BUS_ADDRESS and DBUS_SESSION_BUS_ADDRESS
// name other buses), makes the call and waits for the reply, at most a few
// seconds in all. True when the method returned without an error; otherwise
// false with the last error set to GDBus's message.
bool CallDBusMethod(const DBusCall& call);

} // namespace Norvane::Platform::Posix
