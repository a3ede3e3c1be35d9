#include "platform/CommandLine.h"

namespace Norvane::Platform {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

void SplitInto(const std::string& text, std::size_t pos, std::vector<std::string>& out) {
    std::string current;
    bool started = false;
    int quotes = 0; // 1 while inside a quoted part
    std::size_t backslashes = 0;
    while (pos < text.size()) {
        char c = text[pos];
        if (IsBlank(c) && quotes == 0) {
            if (started) {
                out.push_back(current);
                current.clear();
                started = false;
            }
            backslashes = 0;
            ++pos;
            continue;
        }
        started = true;
        if (c == '\\') {
            current += '\\';
            ++backslashes;
            ++pos;
        } else if (c == '"') {
            if (backslashes % 2 == 0) {
                current.erase(current.size() - backslashes / 2);
                ++quotes;
            } else {
                current.erase(current.size() - backslashes / 2 - 1);
                current += '"';
            }
            backslashes = 0;
            ++pos;
            while (pos < text.size() && text[pos] == '"') {
                if (++quotes == 3) {
                    current += '"';
                    quotes = 0;
                }
                ++pos;
            }
            if (quotes == 2)
                quotes = 0;
        } else {
            current += c;
            backslashes = 0;
            ++pos;
        }
    }
    if (started)
        out.push_back(current);
}

} // namespace

std::vector<std::string> SplitArguments(const std::string& parameters) {
    std::vector<std::string> out;
    SplitInto(parameters, 0, out);
    return out;
}

std::vector<std::string> SplitCommandLine(const std::string& commandLine) {
    std::vector<std::string> out;
    std::size_t pos = 0;
    while (pos < commandLine.size() && IsBlank(commandLine[pos]))
        ++pos;
    if (pos == commandLine.size())
        return out;
    std::string program;
    if (commandLine[pos] == '"') {
        ++pos;
        while (pos < commandLine.size() && commandLine[pos] != '"')
            program += commandLine[pos++];
        if (pos < commandLine.size())
            ++pos; // the closing quote
    } else {
        while (pos < commandLine.size() && !IsBlank(commandLine[pos]))
            program += commandLine[pos++];
    }
    out.push_back(program);
    SplitInto(commandLine, pos, out);
    return out;
}

} // namespace Norvane::Platform
