#include "platform/posix/DBusClient.h"

#include "platform/System.h"

#include <gio/gio.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <stop_token>
#include <thread>

namespace Norvane::Platform::Posix {
namespace {

// Connecting, signing in and the call together. A bus that accepts the
// connection but never answers, or a service that never replies, costs at
// most this long.
constexpr std::chrono::milliseconds Deadline{5000};

struct GObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
template <class T> using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

const char* BusName(DBusBus bus) {
    return bus == DBusBus::System ? "system bus" : "session bus";
}

bool Fail(GError* error, DBusBus bus) {
    int code = EIO;
    std::string message = error->message;
    if (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED)) {
        code = ETIMEDOUT;
        message = std::string("No answer on the ") + BusName(bus) + " within " +
                  std::to_string(Deadline.count() / 1000) + " seconds";
    } else if (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_TIMED_OUT)) {
        code = ETIMEDOUT;
    }
    g_error_free(error);
    SetLastError(code, message);
    return false;
}

bool IsUtf8(const std::string& text) {
    return g_utf8_validate(text.data(), text.size(), nullptr);
}

bool IsUtf8(const DBusArgument& argument) {
    if (const auto* text = std::get_if<std::string>(&argument))
        return IsUtf8(*text);
    if (const auto* items = std::get_if<std::vector<std::string>>(&argument)) {
        for (const auto& item : *items)
            if (!IsUtf8(item))
                return false;
    }
    return true;
}

// The arguments as one tuple (floating), or null with the last error set when
// the call cannot go on the bus: names that D-Bus does not allow, or a text
// that is not UTF-8, which D-Bus strings must be.
GVariant* Parameters(const DBusCall& call) {
    std::string what = call.Interface + "." + call.Method;
    if (!g_dbus_is_name(call.Destination.c_str()) || !g_variant_is_object_path(call.ObjectPath.c_str()) ||
        !g_dbus_is_interface_name(call.Interface.c_str()) || !g_dbus_is_member_name(call.Method.c_str())) {
        SetLastError(EINVAL,
                     "Not a valid D-Bus call: " + call.Destination + " " + call.ObjectPath + " " + what);
        return nullptr;
    }
    GVariantBuilder builder;
    g_variant_builder_init(&builder, G_VARIANT_TYPE_TUPLE);
    for (const auto& argument : call.Arguments) {
        if (!IsUtf8(argument)) {
            g_variant_builder_clear(&builder);
            SetLastError(EINVAL, "An argument of " + what + " is not UTF-8");
            return nullptr;
        }
        if (const bool* flag = std::get_if<bool>(&argument)) {
            g_variant_builder_add_value(&builder, g_variant_new_boolean(*flag));
        } else if (const auto* text = std::get_if<std::string>(&argument)) {
            g_variant_builder_add_value(&builder, g_variant_new_string(text->c_str()));
        } else {
            g_variant_builder_open(&builder, G_VARIANT_TYPE_STRING_ARRAY);
            for (const auto& item : std::get<std::vector<std::string>>(argument))
                g_variant_builder_add_value(&builder, g_variant_new_string(item.c_str()));
            g_variant_builder_close(&builder);
        }
    }
    return g_variant_builder_end(&builder);
}

} // namespace

// A connection of its own for each call rather than GIO's shared one
// (g_bus_get_sync), whose exit-on-close ends the whole process when the bus
// goes away and which the rest of the process may share. The calls are rare;
// the cost is one sign-in each.
bool CallDBusMethod(const DBusCall& call) {
    GVariant* parameters = Parameters(call);
    if (!parameters)
        return false;
    g_variant_ref_sink(parameters);
    std::unique_ptr<GVariant, decltype(&g_variant_unref)> parametersOwner(parameters, g_variant_unref);

    GObjectPtr<GCancellable> cancellable(g_cancellable_new());
    std::jthread watchdog([token = cancellable.get()](std::stop_token stop) {
        std::mutex mutex;
        std::condition_variable_any wakeUp;
        std::unique_lock lock(mutex);
        if (!wakeUp.wait_for(lock, stop, Deadline, [] { return false; }) && !stop.stop_requested())
            g_cancellable_cancel(token);
    });

    GError* error = nullptr;
    GBusType type = call.Bus == DBusBus::System ? G_BUS_TYPE_SYSTEM : G_BUS_TYPE_SESSION;
    std::unique_ptr<gchar, decltype(&g_free)> address(
        g_dbus_address_get_for_bus_sync(type, cancellable.get(), &error), g_free);
    if (!address)
        return Fail(error, call.Bus);
    auto flags = static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                                   G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION);
    GObjectPtr<GDBusConnection> connection(
        g_dbus_connection_new_for_address_sync(address.get(), flags, nullptr, cancellable.get(), &error));
    if (!connection)
        return Fail(error, call.Bus);
    GVariant* reply = g_dbus_connection_call_sync(
        connection.get(), call.Destination.c_str(), call.ObjectPath.c_str(), call.Interface.c_str(),
        call.Method.c_str(), parameters, nullptr, G_DBUS_CALL_FLAGS_NONE, static_cast<int>(Deadline.count()),
        cancellable.get(), &error);
    g_dbus_connection_close(connection.get(), nullptr, nullptr, nullptr);
    if (!reply)
        return Fail(error, call.Bus);
    g_variant_unref(reply);
    return true;
}

} // namespace Norvane::Platform::Posix
