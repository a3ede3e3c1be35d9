// Process-level services of the operating system: the running executable,
// ending the process, environment variables and dynamic libraries.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace Norvane::Platform {

// Full path of the running executable's file (UTF-8).
std::string ExecutablePath();

// The arguments the process was started with, after the program itself, as
// the system handed them over (here /proc/self/cmdline).
std::vector<std::string> ProcessArguments();

// Ends the process at once with the given exit code.
[[noreturn]] void ExitProcess(int code);

// Identifier of the running process.
std::int64_t CurrentProcessId();

// Makes the calling thread background work: it gets a processor only when
// the other threads and programs leave one (here the thread alone takes a
// nice value of 15).
void RunCurrentThreadInBackground();

std::optional<std::string> GetEnv(const std::string& name);
void SetEnv(const std::string& name, const std::string& value);
void UnsetEnv(const std::string& name);

// Dynamic libraries. A null handle means the library could not be loaded.
using LibraryHandle = void*;
LibraryHandle LoadLibrary(const std::string& path);
void* GetProcAddress(LibraryHandle library, const char* name);
void FreeLibrary(LibraryHandle library);
// Text of the last LoadLibrary failure (empty when none).
std::string LastLibraryError();

} // namespace Norvane::Platform
