#include "platform/posix/DBusClient.h"

#include "platform/ChildProcess.h"
#include "platform/System.h"

#include <cerrno>

namespace Norvane::Platform::Posix {
namespace {

std::vector<std::string> BusctlCommand(const std::string& program, const DBusCall& call) {
    std::vector<std::string> command{program,         call.Bus == DBusBus::Session ? "--user" : "--system",
                                     "call",          call.Destination,
                                     call.ObjectPath, call.Interface,
                                     call.Method};
    std::string signature;
    std::vector<std::string> values;
    for (const auto& argument : call.Arguments) {
        if (const bool* flag = std::get_if<bool>(&argument)) {
            signature += "b";
            values.push_back(*flag ? "true" : "false");
        } else if (const auto* text = std::get_if<std::string>(&argument)) {
            signature += "s";
            values.push_back(*text);
        } else {
            const auto& items = std::get<std::vector<std::string>>(argument);
            signature += "as";
            values.push_back(std::to_string(items.size()));
            values.insert(values.end(), items.begin(), items.end());
        }
    }
    if (!signature.empty()) {
        command.push_back(signature);
        command.insert(command.end(), values.begin(), values.end());
    }
    return command;
}

std::string GVariantString(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + "'";
}

std::vector<std::string> GdbusCommand(const std::string& program, const DBusCall& call) {
    std::vector<std::string> command{
        program,         "call",           call.Bus == DBusBus::Session ? "--session" : "--system",
        "--dest",        call.Destination, "--object-path",
        call.ObjectPath, "--method",       call.Interface + "." + call.Method};
    for (const auto& argument : call.Arguments) {
        if (const bool* flag = std::get_if<bool>(&argument)) {
            command.push_back(*flag ? "true" : "false");
        } else if (const auto* text = std::get_if<std::string>(&argument)) {
            command.push_back(GVariantString(*text));
        } else {
            const auto& items = std::get<std::vector<std::string>>(argument);
            if (items.empty()) {
                command.push_back("@as []");
                continue;
            }
            std::string list = "[";
            for (std::size_t i = 0; i < items.size(); ++i)
                list += (i ? ", " : "") + GVariantString(items[i]);
            command.push_back(list + "]");
        }
    }
    return command;
}

// dbus-send cannot carry array items that contain a comma; empty result then.
std::vector<std::string> DbusSendCommand(const std::string& program, const DBusCall& call) {
    std::vector<std::string> command{program,         call.Bus == DBusBus::Session ? "--session" : "--system",
                                     "--print-reply", "--dest=" + call.Destination,
                                     call.ObjectPath, call.Interface + "." + call.Method};
    for (const auto& argument : call.Arguments) {
        if (const bool* flag = std::get_if<bool>(&argument)) {
            command.push_back(std::string("boolean:") + (*flag ? "true" : "false"));
        } else if (const auto* text = std::get_if<std::string>(&argument)) {
            command.push_back("string:" + *text);
        } else {
            std::string list = "array:string:";
            const auto& items = std::get<std::vector<std::string>>(argument);
            for (std::size_t i = 0; i < items.size(); ++i) {
                if (items[i].find(',') != std::string::npos)
                    return {};
                list += (i ? "," : "") + items[i];
            }
            command.push_back(list);
        }
    }
    return command;
}

} // namespace

bool CallDBusMethod(const DBusCall& call) {
    std::vector<std::string> command;
    if (std::string busctl = FindProgram("busctl"); !busctl.empty())
        command = BusctlCommand(busctl, call);
    else if (std::string gdbus = FindProgram("gdbus"); !gdbus.empty())
        command = GdbusCommand(gdbus, call);
    else if (std::string dbusSend = FindProgram("dbus-send"); !dbusSend.empty())
        command = DbusSendCommand(dbusSend, call);
    if (command.empty()) {
        SetLastError(ENOENT, "No D-Bus client found (busctl, gdbus or dbus-send)");
        return false;
    }
    ProcessStartInfo info;
    info.Arguments = command;
    info.CaptureOutput = true;
    auto process = StartProcess(info);
    if (!process)
        return false;
    std::string output;
    char buffer[512];
    while (std::size_t n = process->ReadOutput(buffer, sizeof buffer))
        output.append(buffer, n);
    int code = process->Wait();
    if (code == 0)
        return true;
    while (!output.empty() && (output.back() == '\n' || output.back() == '\r'))
        output.pop_back();
    SetLastError(EIO, output.empty() ? call.Interface + "." + call.Method + " failed" : output);
    return false;
}

} // namespace Norvane::Platform::Posix
