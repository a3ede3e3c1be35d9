// Deleting and copying with the shell's SHFileOperationW, without any user
// interface (FOF_NO_UI: no confirmation, progress or error boxes; folders are
// created without asking, existing files replaced). Deleting is for good:
// FOF_ALLOWUNDO is not given, so nothing goes to the recycle bin.
#include "platform/FileOperations.h"

#include "platform/System.h"
#include "platform/win32/Win32Internal.h"

#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>

namespace Norvane::Platform {
namespace {

constexpr FILEOP_FLAGS NoUi = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_NOCONFIRMMKDIR;

// The full path with backslashes and without trailing separators (a drive's
// root keeps its own). Empty for an empty path and for one with wildcards,
// which the shell would expand to every matching item.
std::wstring FullPath(const std::string& path) {
    if (path.empty() || path.find_first_of("*?") != std::string::npos || path.find('\0') != std::string::npos)
        return {};
    std::wstring wide = Win32::Widen(path);
    std::replace(wide.begin(), wide.end(), L'/', L'\\');
    DWORD size = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        return {};
    std::wstring full(size, L'\0');
    DWORD length = ::GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size)
        return {};
    full.resize(length);
    while (full.size() > 3 && full.back() == L'\\')
        full.pop_back();
    return full;
}

bool Exists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring Lower(std::wstring text) {
    if (!text.empty())
        ::CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

// True when Path is Folder or lies below it (the system's names ignore case).
bool IsWithin(const std::wstring& path, const std::wstring& folder) {
    std::wstring p = Lower(path);
    std::wstring f = Lower(folder);
    if (p == f)
        return true;
    if (f.back() != L'\\')
        f += L'\\';
    return p.compare(0, f.size(), f) == 0;
}

std::wstring ParentOf(const std::wstring& path) {
    std::size_t slash = path.find_last_of(L'\\');
    if (slash == std::wstring::npos)
        return {};
    return path.substr(0, slash == 2 && path[1] == L':' ? 3 : slash);
}

std::wstring NameOf(const std::wstring& path) {
    std::size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

bool Run(UINT operation, const std::wstring& from, const std::wstring& to) {
    // Both lists end with an empty name: one more zero after the string's own.
    std::wstring fromList = from + L'\0';
    std::wstring toList = to + L'\0';
    SHFILEOPSTRUCTW op{};
    op.wFunc = operation;
    op.pFrom = fromList.c_str();
    op.pTo = to.empty() ? nullptr : toList.c_str();
    op.fFlags = NoUi;
    int result = ::SHFileOperationW(&op);
    if (result != 0) {
        SetLastError(result, "The shell's file operation failed (code " + std::to_string(result) + ").");
        return false;
    }
    if (op.fAnyOperationsAborted) {
        SetLastError(ERROR_CANCELLED, "The shell's file operation was cancelled.");
        return false;
    }
    return true;
}

} // namespace

bool RemoveItem(const std::string& Path) {
    std::wstring full = FullPath(Path);
    if (full.empty()) {
        Win32::SetLastErrorFromSystem(ERROR_INVALID_NAME);
        return false;
    }
    DWORD attributes = ::GetFileAttributesW(full.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        Win32::SetLastErrorFromSystem();
        return false;
    }
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        // A link alone, never what it points to.
        BOOL removed = (attributes & FILE_ATTRIBUTE_DIRECTORY) ? ::RemoveDirectoryW(full.c_str())
                                                               : ::DeleteFileW(full.c_str());
        if (!removed)
            Win32::SetLastErrorFromSystem();
        return removed != FALSE;
    }
    return Run(FO_DELETE, full, std::wstring()) && !Exists(full);
}

bool CopyItem(const std::string& FromPath, const std::string& ToPath) {
    std::wstring from = FullPath(FromPath);
    std::wstring to = FullPath(ToPath);
    if (from.empty() || to.empty()) {
        Win32::SetLastErrorFromSystem(ERROR_INVALID_NAME);
        return false;
    }
    DWORD source = ::GetFileAttributesW(from.c_str());
    if (source == INVALID_FILE_ATTRIBUTES) {
        Win32::SetLastErrorFromSystem();
        return false;
    }
    DWORD destination = ::GetFileAttributesW(to.c_str());
    bool intoFolder = destination != INVALID_FILE_ATTRIBUTES && (destination & FILE_ATTRIBUTE_DIRECTORY);
    std::wstring target = to;
    if (intoFolder)
        target = (to.back() == L'\\' ? to : to + L'\\') + NameOf(from);
    // A file onto itself, or a folder into itself or its own subtree.
    bool folder = (source & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (folder ? IsWithin(target, from) : Lower(target) == Lower(from)) {
        Win32::SetLastErrorFromSystem(ERROR_INVALID_PARAMETER);
        return false;
    }
    if (!intoFolder) {
        std::wstring parent = ParentOf(to);
        if (!parent.empty() && !Exists(parent)) {
            int created = ::SHCreateDirectoryExW(nullptr, parent.c_str(), nullptr);
            if (created != ERROR_SUCCESS && created != ERROR_ALREADY_EXISTS) {
                Win32::SetLastErrorFromSystem(static_cast<DWORD>(created));
                return false;
            }
        }
    }
    return Run(FO_COPY, from, to) && Exists(target);
}

} // namespace Norvane::Platform
