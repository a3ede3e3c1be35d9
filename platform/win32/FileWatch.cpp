// ReadDirectoryChangesW, one overlapped read per watched folder: a tree is
// one read over its whole subtree; a file is a read of the folder that holds
// it, filtered by its name, so that a save by renaming a new file over the old
// one is seen as well.
#include "platform/FileWatch.h"

#include "platform/Paths.h"
#include "platform/System.h"
#include "platform/win32/Win32Internal.h"

#include <filesystem>
#include <set>

namespace fs = std::filesystem;

namespace Norvane::Platform {
namespace {

constexpr DWORD ChangeFilter = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME |
                               FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_SIZE;

class TWin32Watch : public TFileWatch {
public:
    bool AddFolder(const std::string& Path) override {
        FRoots.push_back(Path);
        return Open(Path, true) != nullptr;
    }

    bool AddFile(const std::string& Path) override {
        FRoots.push_back(Path);
        const fs::path path = PathFromUtf8(Path);
        const std::string folder =
            path.has_parent_path() ? Utf8FromPath(path.parent_path()) : std::string(".");
        TFolder* entry = nullptr;
        for (auto& existing : FFolders)
            if (!existing->Whole && existing->Path == folder)
                entry = existing.get();
        if (!entry)
            entry = Open(folder, false);
        if (!entry)
            return false;
        entry->Files.insert(Utf8FromPath(path.filename()));
        return true;
    }

    std::vector<std::string> Wait(int Milliseconds, WaitHandle Also) override {
        std::vector<HANDLE> handles;
        for (auto& folder : FFolders)
            if (folder->Armed)
                handles.push_back(folder->Event.Get());
        if (Also != NoWaitHandle)
            handles.push_back(reinterpret_cast<HANDLE>(Also));
        if (handles.empty()) {
            ::Sleep(Milliseconds < 0 ? 1000 : static_cast<DWORD>(Milliseconds));
            return {};
        }
        const DWORD rc =
            ::WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE,
                                     Milliseconds < 0 ? INFINITE : static_cast<DWORD>(Milliseconds));
        if (rc >= WAIT_OBJECT_0 + handles.size() ||
            (Also != NoWaitHandle && rc == WAIT_OBJECT_0 + handles.size() - 1))
            return {};
        std::set<std::string> changed;
        for (auto& folder : FFolders)
            Take(*folder, changed);
        return {changed.begin(), changed.end()};
    }

private:
    struct TFolder {
        std::string Path;
        bool Whole = false;          // every name below it counts (a watched tree)
        std::set<std::string> Files; // else only these names
        Win32::Handle Directory;
        Win32::Handle Event;
        OVERLAPPED Overlapped{};
        std::vector<DWORD> Buffer = std::vector<DWORD>(16384); // 64 KB, aligned for the records
        bool Armed = false;
    };

    TFolder* Open(const std::string& Path, bool Whole) {
        auto folder = std::make_unique<TFolder>();
        folder->Path = Path;
        folder->Whole = Whole;
        folder->Directory.Reset(::CreateFileW(Win32::Widen(Path).c_str(), FILE_LIST_DIRECTORY,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                              OPEN_EXISTING,
                                              FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr));
        folder->Event.Reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        if (!folder->Directory.Valid() || !folder->Event.Valid() || !Arm(*folder)) {
            const DWORD error = ::GetLastError();
            SetLastError(static_cast<int>(error),
                         "Cannot watch \"" + Path + "\": " + SystemErrorMessage(static_cast<int>(error)));
            return nullptr;
        }
        FFolders.push_back(std::move(folder));
        return FFolders.back().get();
    }

    static bool Arm(TFolder& Folder) {
        ::ResetEvent(Folder.Event.Get());
        Folder.Overlapped = {};
        Folder.Overlapped.hEvent = Folder.Event.Get();
        Folder.Armed = ::ReadDirectoryChangesW(Folder.Directory.Get(), Folder.Buffer.data(),
                                               static_cast<DWORD>(Folder.Buffer.size() * sizeof(DWORD)),
                                               Folder.Whole ? TRUE : FALSE, ChangeFilter, nullptr,
                                               &Folder.Overlapped, nullptr) != 0;
        return Folder.Armed;
    }

    void Take(TFolder& Folder, std::set<std::string>& Changed) {
        if (!Folder.Armed)
            return;
        DWORD size = 0;
        if (!::GetOverlappedResult(Folder.Directory.Get(), &Folder.Overlapped, &size, FALSE)) {
            if (::GetLastError() == ERROR_IO_INCOMPLETE)
                return;
            // The folder went away: reported once, not watched any more.
            Folder.Armed = false;
            Changed.insert(Folder.Path);
            return;
        }
        if (size == 0) {
            // More changes than the buffer holds: the system dropped them.
            Changed.insert(FRoots.begin(), FRoots.end());
        } else {
            const auto* bytes = reinterpret_cast<const unsigned char*>(Folder.Buffer.data());
            for (DWORD offset = 0;;) {
                const auto* record = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(bytes + offset);
                const std::string name = Win32::Narrow(
                    std::wstring_view(record->FileName, record->FileNameLength / sizeof(WCHAR)));
                if (Folder.Whole)
                    Changed.insert(Utf8FromPath(PathFromUtf8(Folder.Path) / PathFromUtf8(name)));
                else if (Folder.Files.count(name))
                    Changed.insert(Utf8FromPath(PathFromUtf8(Folder.Path) / PathFromUtf8(name)));
                if (record->NextEntryOffset == 0 || offset + record->NextEntryOffset >= size)
                    break;
                offset += record->NextEntryOffset;
            }
        }
        Arm(Folder);
    }

    std::vector<std::unique_ptr<TFolder>> FFolders;
    std::vector<std::string> FRoots;
};

} // namespace

std::unique_ptr<TFileWatch> CreateFileWatch() {
    return std::make_unique<TWin32Watch>();
}

} // namespace Norvane::Platform
