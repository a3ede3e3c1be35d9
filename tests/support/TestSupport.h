// Helpers for the tests: temporary folders and running real programs.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace Norvane::Testing {

// A fresh folder under the system's temporary folder, removed with its
// contents when the object goes away.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return FPath; }
    std::string operator/(const std::string& name) const { return (FPath / name).string(); }

private:
    std::filesystem::path FPath;
};

struct CommandResult {
    int ExitCode = -1;
    std::string Output; // standard output and standard error together
};

// Runs a command line through /bin/sh and collects its output.
CommandResult RunCommand(const std::string& commandLine);

// Quotes a text for /bin/sh.
std::string ShellQuote(const std::string& text);

void WriteFile(const std::string& path, const std::string& content);
std::string ReadFile(const std::string& path);

// Path of a program built by this project (in the build folder).
std::string BuiltProgram(const std::string& name);

} // namespace Norvane::Testing
