// Hearing of changes to files and folders through the system's change
// notifications (inotify; ReadDirectoryChangesW on Windows), without reading
// the folders again and again: the author's reload loop of
// "norvane-pack run --watch" uses it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/ChildProcess.h"

namespace Norvane::Platform {

class TFileWatch {
public:
    virtual ~TFileWatch() = default;
    // Watches the folder Path and every folder below it, also those made or
    // moved in later (symbolic links are not followed). False, with the last
    // error set, when a folder cannot be watched (for example when the
    // system's limit of watches is reached).
    virtual bool AddFolder(const std::string& Path) = 0;
    // Watches the file Path, also when a program saves it by writing a new
    // file and renaming it over the old one: the folder that holds it is
    // watched for that name.
    virtual bool AddFile(const std::string& Path) = 0;
    // Waits up to Milliseconds (a negative value: without limit) for changes,
    // or until Also (a process's end handle, when given) is signalled. Returns
    // the paths that changed since the last call, each once, made from the
    // added paths as given: a file saved, made, removed or renamed in a
    // watched folder, or a watched file. When the system dropped notices, every
    // added path is reported. Empty on a time-out or when Also was signalled.
    virtual std::vector<std::string> Wait(int Milliseconds, WaitHandle Also = NoWaitHandle) = 0;
};

// A new watch; null, with the last error set, when the system refuses one.
std::unique_ptr<TFileWatch> CreateFileWatch();

} // namespace Norvane::Platform
