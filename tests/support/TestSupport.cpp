#include "tests/support/TestSupport.h"

#include <array>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace Norvane::Testing {

TempDir::TempDir() {
    std::random_device rd;
    auto base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        auto candidate = base / ("norvane-test-" + std::to_string(rd()));
        if (std::filesystem::create_directory(candidate)) {
            FPath = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(FPath, ec);
}

CommandResult RunCommand(const std::string& commandLine) {
    CommandResult result;
    std::string full = "( " + commandLine + " ) 2>&1";
#ifdef _WIN32
    // cmd.exe reads the same grouping and redirection; _pclose gives the exit code.
    FILE* pipe = ::_popen(full.c_str(), "rb");
#else
    FILE* pipe = ::popen(full.c_str(), "r");
#endif
    if (!pipe)
        return result;
    std::array<char, 4096> buffer{};
    size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        result.Output.append(buffer.data(), n);
#ifdef _WIN32
    result.ExitCode = ::_pclose(pipe);
#else
    int status = ::pclose(pipe);
    result.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
    return result;
}

std::string ShellQuote(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

void WriteFile(const std::string& path, const std::string& content) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file)
        throw std::runtime_error("cannot write " + path);
    file << content;
}

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        throw std::runtime_error("cannot read " + path);
    std::stringstream buffer;
    buffer << file.rdbuf();
    return buffer.str();
}

std::string BuiltProgram(const std::string& name) {
#ifdef NORVANE_BINARY_DIR
    return std::string(NORVANE_BINARY_DIR) + "/" + name;
#else
    return name;
#endif
}

} // namespace Norvane::Testing
