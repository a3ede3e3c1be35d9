// The Windows shell: ShellExecuteExW's "open" and "explore" verbs.
#include "platform/Shell.h"

#include "platform/ChildProcess.h"
#include "platform/System.h"
#include "platform/Text.h"
#include "platform/win32/Win32Internal.h"

#include <shellapi.h>

#include <cctype>

// <windows.h> names the wide variant by macro.
#undef ShellExecute

namespace Norvane::Platform {
namespace {

// Error dialogs of the shell are suppressed: failures come back as the last error.
bool Execute(const wchar_t* verb, const std::string& file, const std::string& parameters) {
    std::wstring wideFile = Win32::Widen(file);
    std::wstring wideParameters = Win32::Widen(parameters);
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = verb;
    info.lpFile = wideFile.c_str();
    info.lpParameters = wideParameters.empty() ? nullptr : wideParameters.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (::ShellExecuteExW(&info))
        return true;
    Win32::SetLastErrorFromSystem();
    return false;
}

std::wstring FullPath(const std::string& path) {
    std::wstring wide = Win32::Widen(path);
    DWORD size = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        return wide;
    std::wstring full(size, L'\0');
    DWORD n = ::GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
    if (n == 0 || n >= size)
        return wide;
    full.resize(n);
    return full;
}

} // namespace

std::string FileUri(const std::string& path) {
    std::string full = Win32::Narrow(FullPath(path));
    for (char& c : full)
        if (c == '\\')
            c = '/';
    // A share (//server/share) keeps its host; a drive path gets the empty host.
    std::string out = full.compare(0, 2, "//") == 0 ? "file:" : "file:///";
    Text::AppendPercentEncoded(out, full, "/:");
    return out;
}

bool OpenWithDefaultHandler(const std::string& target) {
    return Execute(L"open", target, std::string());
}

// The shell's "open" already follows the rules of the interface: documents
// and addresses go to their handler, programs start with the parameters, and
// a bare name is looked up as a program.
bool ShellExecute(const std::string& file, const std::string& parameters) {
    if (file.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return false;
    }
    return Execute(L"open", file, parameters);
}

// Explorer selects the item with /select; the folder's "explore" is the fallback.
bool ShowItemInFileManager(const std::string& path) {
    std::wstring full = FullPath(path);
    ProcessStartInfo info;
    info.Arguments = {"explorer.exe", "/select," + Win32::Narrow(full)};
    if (StartDetachedProcess(info))
        return true;
    std::size_t slash = full.find_last_of(L'\\');
    std::wstring folder = slash == std::wstring::npos ? full : full.substr(0, slash + 1);
    return Execute(L"explore", Win32::Narrow(folder), std::string());
}

} // namespace Norvane::Platform
