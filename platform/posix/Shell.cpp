#include "platform/Shell.h"

#include "platform/ChildProcess.h"
#include "platform/CommandLine.h"
#include "platform/System.h"
#include "platform/Text.h"
#include "platform/posix/DBusClient.h"

#include <cctype>
#include <cerrno>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace Norvane::Platform {
namespace {

// "scheme:" with a scheme of at least two characters.
bool HasUriScheme(const std::string& text) {
    std::size_t colon = text.find(':');
    if (colon == std::string::npos || colon < 2 || !std::isalpha(static_cast<unsigned char>(text[0])))
        return false;
    for (std::size_t i = 1; i < colon; ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (!std::isalnum(c) && c != '+' && c != '-' && c != '.')
            return false;
    }
    return true;
}

bool Exists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

std::string Absolute(const std::string& path) {
    std::error_code ec;
    fs::path full = fs::absolute(path, ec);
    if (ec)
        return path;
    std::string text = full.lexically_normal().string();
    while (text.size() > 1 && text.back() == '/')
        text.pop_back();
    return text;
}

bool StartExecutable(const std::string& program, const std::string& parameters) {
    ProcessStartInfo info;
    info.Arguments.push_back(program);
    for (auto& argument : SplitArguments(parameters))
        info.Arguments.push_back(std::move(argument));
    return StartDetachedProcess(info);
}

} // namespace

std::string FileUri(const std::string& path) {
    std::string out = "file://";
    Text::AppendPercentEncoded(out, Absolute(path), "/");
    return out;
}

bool OpenWithDefaultHandler(const std::string& target) {
    ProcessStartInfo info;
    if (std::string xdgOpen = FindProgram("xdg-open"); !xdgOpen.empty())
        info.Arguments = {xdgOpen, target};
    else if (std::string gio = FindProgram("gio"); !gio.empty())
        info.Arguments = {gio, "open", target};
    else {
        SetLastError(ENOENT, "No program to open documents was found (xdg-open or gio)");
        return false;
    }
    return StartDetachedProcess(info);
}

bool ShellExecute(const std::string& file, const std::string& parameters) {
    if (file.empty()) {
        SetLastError(ENOENT);
        return false;
    }
    if (Exists(file)) {
        std::error_code ec;
        std::string path = Absolute(file);
        if (!fs::is_directory(path, ec) && ::access(path.c_str(), X_OK) == 0)
            return StartExecutable(path, parameters);
        return OpenWithDefaultHandler(path);
    }
    if (HasUriScheme(file))
        return OpenWithDefaultHandler(file);
    if (file.find('/') == std::string::npos) {
        if (std::string program = FindProgram(file); !program.empty())
            return StartExecutable(program, parameters);
    }
    SetLastError(ENOENT);
    return false;
}

bool ShowItemInFileManager(const std::string& path) {
    std::string full = Absolute(path);
    Posix::DBusCall call;
    call.Bus = Posix::DBusBus::Session;
    call.Destination = "org.freedesktop.FileManager1";
    call.ObjectPath = "/org/freedesktop/FileManager1";
    call.Interface = "org.freedesktop.FileManager1";
    call.Method = "ShowItems";
    call.Arguments = {std::vector<std::string>{FileUri(full)}, std::string()};
    if (Posix::CallDBusMethod(call))
        return true;
    std::string folder = fs::path(full).parent_path().string();
    return OpenWithDefaultHandler(folder.empty() ? "/" : folder);
}

} // namespace Norvane::Platform
