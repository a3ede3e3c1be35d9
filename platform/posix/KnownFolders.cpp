#include "platform/KnownFolders.h"

#include "platform/Process.h"

#include <fstream>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace Norvane::Platform {
namespace {

bool IsAbsolute(const std::string& path) {
    return !path.empty() && path.front() == '/';
}

std::string StripTrailingSeparators(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

std::string HomeFolderOfEnvironment() {
    if (auto home = GetEnv("HOME"); home && IsAbsolute(*home))
        return StripTrailingSeparators(*home);
    return {};
}

std::string HomeFolderOfPasswordFile() {
    long suggested = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(suggested > 0 ? static_cast<std::size_t>(suggested) : 4096);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_dir && IsAbsolute(found->pw_dir))
        return StripTrailingSeparators(found->pw_dir);
    return {};
}

std::string HomeFolder() {
    std::string home = HomeFolderOfEnvironment();
    return home.empty() ? HomeFolderOfPasswordFile() : home;
}

// An XDG base directory: the variable when it holds an absolute path (relative
// values are ignored, as the base directory rules require), else the default
// under the home folder.
std::string BaseDirectory(const char* variable, const char* underHome) {
    if (auto value = GetEnv(variable); value && IsAbsolute(*value))
        return StripTrailingSeparators(*value);
    std::string home = HomeFolder();
    if (home.empty())
        return {};
    return (home == "/" ? std::string() : home) + "/" + underHome;
}

// Reads one value of user-dirs.dirs. The file holds shell assignments such as
// XDG_DESKTOP_DIR="$HOME/Desktop"; the value is either "$HOME/..." or an
// absolute path, inside double quotes with backslash escapes.
std::optional<std::string> UserDirsValue(const std::string& key, const std::string& home) {
    std::string config = BaseDirectory("XDG_CONFIG_HOME", ".config");
    if (config.empty())
        return std::nullopt;
    std::ifstream file(config + "/user-dirs.dirs");
    if (!file)
        return std::nullopt;
    std::optional<std::string> result;
    std::string line;
    while (std::getline(file, line)) {
        std::size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line[start] == '#')
            continue;
        if (line.compare(start, key.size(), key) != 0 || line.size() <= start + key.size() ||
            line[start + key.size()] != '=')
            continue;
        std::string raw = line.substr(start + key.size() + 1);
        std::string value;
        bool quoted = false;
        for (std::size_t i = 0; i < raw.size(); ++i) {
            char c = raw[i];
            if (c == '"') {
                quoted = !quoted;
            } else if (c == '\\' && i + 1 < raw.size()) {
                value += raw[++i];
            } else if (!quoted && (c == ' ' || c == '\t' || c == '#')) {
                break;
            } else {
                value += c;
            }
        }
        for (const char* prefix : {"${HOME}", "$HOME"}) {
            std::string p(prefix);
            if (value.compare(0, p.size(), p) == 0 && (value.size() == p.size() || value[p.size()] == '/')) {
                value = home + value.substr(p.size());
                break;
            }
        }
        // Later assignments win, as when the file is sourced by a shell.
        result = value;
    }
    return result;
}

// A user directory, resolved as xdg-user-dir does: the assignment in
// user-dirs.dirs, then the variable of the same name in the environment, then
// the fallback (the desktop folder, or the home folder for the others).
std::string UserDirectory(const std::string& name) {
    std::string home = HomeFolder();
    std::string key = "XDG_" + name + "_DIR";
    std::optional<std::string> value = UserDirsValue(key, home);
    if (!value)
        value = GetEnv(key);
    if (value && IsAbsolute(*value))
        return StripTrailingSeparators(*value);
    if (home.empty())
        return {};
    if (name == "DESKTOP")
        return (home == "/" ? std::string() : home) + "/Desktop";
    return home;
}

} // namespace

std::string KnownFolderPath(KnownFolder folder) {
    switch (folder) {
    case KnownFolder::Desktop:
        return UserDirectory("DESKTOP");
    case KnownFolder::Documents:
        return UserDirectory("DOCUMENTS");
    case KnownFolder::RoamingAppData:
        return BaseDirectory("XDG_CONFIG_HOME", ".config");
    case KnownFolder::LocalAppData:
        return BaseDirectory("XDG_DATA_HOME", ".local/share");
    case KnownFolder::ProgramFiles:
        return "/opt";
    case KnownFolder::SystemRoot:
        return "/usr";
    case KnownFolder::System:
        return "/usr/bin";
    case KnownFolder::SystemApps:
        return "/usr/share/applications";
    }
    return {};
}

std::vector<std::string> HomeFolderPaths() {
    std::vector<std::string> paths;
    for (std::string path : {HomeFolderOfEnvironment(), HomeFolderOfPasswordFile()})
        if (!path.empty() && (paths.empty() || paths.front() != path))
            paths.push_back(std::move(path));
    return paths;
}

std::string TempFolderPath() {
    if (auto value = GetEnv("TMPDIR"); value && IsAbsolute(*value))
        return StripTrailingSeparators(*value);
    return "/tmp";
}

} // namespace Norvane::Platform
