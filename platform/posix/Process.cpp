#include "platform/Process.h"

#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <mutex>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace Norvane::Platform {

std::vector<std::string> ProcessArguments() {
    std::string bytes;
    if (std::FILE* file = std::fopen("/proc/self/cmdline", "rb")) {
        char buffer[4096];
        while (std::size_t n = std::fread(buffer, 1, sizeof buffer, file))
            bytes.append(buffer, n);
        std::fclose(file);
    }
    std::vector<std::string> arguments;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\0', start);
        if (end == std::string::npos)
            end = bytes.size();
        arguments.push_back(bytes.substr(start, end - start));
        start = end + 1;
    }
    if (!arguments.empty())
        arguments.erase(arguments.begin()); // the program
    return arguments;
}

std::string ExecutablePath() {
    std::vector<char> buffer(4096);
    for (;;) {
        ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0)
            return {};
        if (static_cast<std::size_t>(n) < buffer.size())
            return std::string(buffer.data(), static_cast<std::size_t>(n));
        buffer.resize(buffer.size() * 2);
    }
}

void ExitProcess(int code) {
    std::_Exit(code);
}

std::int64_t CurrentProcessId() {
    return static_cast<std::int64_t>(::getpid());
}

void RunCurrentThreadInBackground() {
    // Linux gives each thread a nice value of its own.
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 15);
}

std::optional<std::string> GetEnv(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    if (!value)
        return std::nullopt;
    return std::string(value);
}

void SetEnv(const std::string& name, const std::string& value) {
    ::setenv(name.c_str(), value.c_str(), 1);
}

void UnsetEnv(const std::string& name) {
    ::unsetenv(name.c_str());
}

namespace {
std::mutex LibraryErrorLock;
std::string LibraryError;
} // namespace

LibraryHandle LoadLibrary(const std::string& path) {
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    std::lock_guard lock(LibraryErrorLock);
    if (!handle) {
        const char* error = ::dlerror();
        LibraryError = error ? error : "cannot load library";
    } else {
        LibraryError.clear();
    }
    return handle;
}

void* GetProcAddress(LibraryHandle library, const char* name) {
    if (!library)
        return nullptr;
    return ::dlsym(library, name);
}

void FreeLibrary(LibraryHandle library) {
    if (library)
        ::dlclose(library);
}

std::string LastLibraryError() {
    std::lock_guard lock(LibraryErrorLock);
    return LibraryError;
}

} // namespace Norvane::Platform
