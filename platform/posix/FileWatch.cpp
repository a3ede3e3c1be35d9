// inotify: one watch per folder. A folder tree gets a watch on each of its
// folders (new ones are added as they appear); a file gets a watch on the
// folder that holds it, filtered by its name, so that a save by renaming a
// new file over the old one is seen as well.
#include "platform/FileWatch.h"

#include "platform/Paths.h"
#include "platform/System.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <filesystem>
#include <map>
#include <poll.h>
#include <set>
#include <sys/inotify.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace Norvane::Platform {
namespace {

// A save (close after writing), and every change of a folder's names.
constexpr std::uint32_t ChangeEvents =
    IN_CLOSE_WRITE | IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF;

class TInotifyWatch : public TFileWatch {
public:
    explicit TInotifyWatch(int fd) : FFd(fd) {}
    ~TInotifyWatch() override { ::close(FFd); }
    TInotifyWatch(const TInotifyWatch&) = delete;
    TInotifyWatch& operator=(const TInotifyWatch&) = delete;

    bool AddFolder(const std::string& Path) override {
        FRoots.push_back(Path);
        return AddTree(Path);
    }

    bool AddFile(const std::string& Path) override {
        FRoots.push_back(Path);
        const fs::path path = PathFromUtf8(Path);
        const std::string folder =
            path.has_parent_path() ? Utf8FromPath(path.parent_path()) : std::string(".");
        TFolder* entry = AddOne(folder);
        if (!entry)
            return false;
        entry->Files.insert(Utf8FromPath(path.filename()));
        return true;
    }

    std::vector<std::string> Wait(int Milliseconds, WaitHandle Also) override {
        std::set<std::string> changed;
        pollfd entries[2] = {{FFd, POLLIN, 0}, {static_cast<int>(Also), POLLIN, 0}};
        const nfds_t count = Also == NoWaitHandle ? 1 : 2;
        int rc;
        do {
            rc = ::poll(entries, count, Milliseconds);
        } while (rc < 0 && errno == EINTR);
        if (rc <= 0 || !(entries[0].revents & POLLIN))
            return {};
        alignas(inotify_event) char buffer[64 * (sizeof(inotify_event) + NAME_MAX + 1)];
        for (;;) {
            ssize_t size = ::read(FFd, buffer, sizeof buffer);
            if (size <= 0)
                break; // EAGAIN: all read
            for (ssize_t offset = 0; offset + static_cast<ssize_t>(sizeof(inotify_event)) <= size;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
                offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
                Take(*event, event->len ? std::string(event->name) : std::string(), changed);
            }
        }
        return {changed.begin(), changed.end()};
    }

private:
    struct TFolder {
        std::string Path;
        bool Whole = false;          // every name in it counts (a watched tree)
        std::set<std::string> Files; // else only these names
    };

    TFolder* AddOne(const std::string& Path) {
        const int wd = ::inotify_add_watch(FFd, Path.c_str(), ChangeEvents | IN_ONLYDIR | IN_MASK_ADD);
        if (wd < 0) {
            const int error = errno;
            SetLastError(error, "Cannot watch \"" + Path + "\": " +
                                    (error == ENOSPC ? std::string("the system's limit of watched folders "
                                                                   "(fs.inotify.max_user_watches) is reached")
                                                     : SystemErrorMessage(error)));
            return nullptr;
        }
        TFolder& entry = FFolders[wd];
        // The same folder reached twice (by a tree and by a file in it) keeps
        // its first path, so that reported paths start as they were added.
        if (entry.Path.empty())
            entry.Path = Path;
        return &entry;
    }

    bool AddTree(const std::string& Path) {
        TFolder* root = AddOne(Path);
        if (!root)
            return false;
        root->Whole = true;
        std::error_code ec;
        fs::recursive_directory_iterator it(PathFromUtf8(Path), fs::directory_options::skip_permission_denied,
                                            ec);
        for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
            if (!it->is_directory(ec) || it->is_symlink(ec))
                continue;
            TFolder* folder =
                AddOne(Path + "/" + Utf8FromPath(it->path().lexically_relative(PathFromUtf8(Path))));
            if (!folder)
                return false;
            folder->Whole = true;
        }
        return true;
    }

    void Take(const inotify_event& Event, const std::string& Name, std::set<std::string>& Changed) {
        if (Event.mask & IN_Q_OVERFLOW) {
            Changed.insert(FRoots.begin(), FRoots.end());
            return;
        }
        auto found = FFolders.find(Event.wd);
        if (found == FFolders.end())
            return;
        if (Event.mask & IN_IGNORED) {
            FFolders.erase(found);
            return;
        }
        const TFolder folder = found->second; // AddTree below may grow the map
        const std::string path = Name.empty() ? folder.Path : folder.Path + "/" + Name;
        if (folder.Whole) {
            Changed.insert(path);
            // A folder made or moved in: watched too, with what it holds already
            // (reported as changed already, also when it cannot be watched).
            if ((Event.mask & IN_ISDIR) && (Event.mask & (IN_CREATE | IN_MOVED_TO)))
                AddTree(path);
        } else if (!Name.empty() && folder.Files.count(Name)) {
            Changed.insert(path);
        }
    }

    int FFd;
    std::map<int, TFolder> FFolders;
    std::vector<std::string> FRoots;
};

} // namespace

std::unique_ptr<TFileWatch> CreateFileWatch() {
    const int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd < 0) {
        SetLastError(errno, "Cannot watch files: " + SystemErrorMessage(errno));
        return nullptr;
    }
    return std::make_unique<TInotifyWatch>(fd);
}

} // namespace Norvane::Platform
