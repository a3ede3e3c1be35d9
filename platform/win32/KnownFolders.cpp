// The shell's folders (SHGetFolderPathW):
//   Desktop        CSIDL_DESKTOPDIRECTORY   Documents   CSIDL_PERSONAL
//   RoamingAppData CSIDL_APPDATA            LocalAppData CSIDL_LOCAL_APPDATA
//   ProgramFiles   CSIDL_PROGRAM_FILES      SystemRoot  CSIDL_WINDOWS
//   System         CSIDL_SYSTEM             SystemApps  <SystemRoot>\SystemApps
#include "platform/KnownFolders.h"

#include "platform/Process.h"
#include "platform/win32/Win32Internal.h"

#include <shlobj.h>

namespace Norvane::Platform {
namespace {

std::string StripTrailingSeparators(std::string path) {
    // "C:\" stays the root of its drive.
    while (path.size() > 3 && (path.back() == '\\' || path.back() == '/'))
        path.pop_back();
    return path;
}

bool IsAbsolute(const std::string& path) {
    return (path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/')) ||
           path.compare(0, 2, "\\\\") == 0;
}

std::string ShellFolder(int csidl) {
    wchar_t buffer[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer)))
        return {};
    return StripTrailingSeparators(Win32::Narrow(buffer));
}

} // namespace

std::string KnownFolderPath(KnownFolder folder) {
    switch (folder) {
    case KnownFolder::Desktop:
        return ShellFolder(CSIDL_DESKTOPDIRECTORY);
    case KnownFolder::Documents:
        return ShellFolder(CSIDL_PERSONAL);
    case KnownFolder::RoamingAppData:
        return ShellFolder(CSIDL_APPDATA);
    case KnownFolder::LocalAppData:
        return ShellFolder(CSIDL_LOCAL_APPDATA);
    case KnownFolder::ProgramFiles:
        return ShellFolder(CSIDL_PROGRAM_FILES);
    case KnownFolder::SystemRoot:
        return ShellFolder(CSIDL_WINDOWS);
    case KnownFolder::System:
        return ShellFolder(CSIDL_SYSTEM);
    case KnownFolder::SystemApps: {
        std::string root = ShellFolder(CSIDL_WINDOWS);
        return root.empty() ? root : root + "\\SystemApps";
    }
    }
    return {};
}

// USERPROFILE when it holds an absolute path, and the shell's profile folder.
std::vector<std::string> HomeFolderPaths() {
    std::vector<std::string> paths;
    std::string variable;
    if (auto value = GetEnv("USERPROFILE"); value && IsAbsolute(*value))
        variable = StripTrailingSeparators(*value);
    for (std::string path : {variable, ShellFolder(CSIDL_PROFILE)})
        if (!path.empty() && (paths.empty() || paths.front() != path))
            paths.push_back(std::move(path));
    return paths;
}

std::string TempFolderPath() {
    wchar_t buffer[MAX_PATH + 1] = {};
    DWORD n = ::GetTempPathW(MAX_PATH + 1, buffer);
    if (n == 0 || n > MAX_PATH)
        return "C:\\Windows\\Temp";
    return StripTrailingSeparators(Win32::Narrow(std::wstring_view(buffer, n)));
}

} // namespace Norvane::Platform
