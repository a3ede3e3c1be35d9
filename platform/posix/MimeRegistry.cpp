#include "platform/MimeRegistry.h"

#include "platform/Process.h"
#include "platform/Text.h"

#include <algorithm>
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace Norvane::Platform {

namespace {

using Text::LowerAscii;

bool HasUpperAscii(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// Cuts the next field, up to Separator or the end, off the front of Text.
std::string_view NextField(std::string_view& Text, char Separator) {
    std::size_t at = Text.find(Separator);
    std::string_view field = Text.substr(0, at);
    Text = at == std::string_view::npos ? std::string_view() : Text.substr(at + 1);
    return field;
}

// Cuts the next blank-separated word off the front of Text (empty at the end).
std::string_view NextWord(std::string_view& Text) {
    std::size_t start = 0;
    while (start < Text.size() && IsBlank(Text[start]))
        ++start;
    std::size_t end = start;
    while (end < Text.size() && !IsBlank(Text[end]))
        ++end;
    std::string_view word = Text.substr(start, end - start);
    Text = Text.substr(end);
    return word;
}

bool IsAllDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A content type as it may appear in a registration: "major/minor" without
// blanks or control characters.
bool IsContentType(std::string_view type) {
    std::size_t slash = type.find('/');
    if (slash == std::string_view::npos || slash == 0 || slash + 1 == type.size())
        return false;
    return std::none_of(type.begin(), type.end(),
                        [](char c) { return static_cast<unsigned char>(c) <= ' ' || c == 0x7f; });
}

// An extension without its dot that a file name's extension can equal: no
// further dots, separators, wildcards or blanks.
bool IsPlainExtension(std::string_view extension) {
    if (extension.empty())
        return false;
    return std::none_of(extension.begin(), extension.end(), [](char c) {
        return static_cast<unsigned char>(c) <= ' ' || c == '.' || c == '/' || c == '\\' || c == '*' ||
               c == '?' || c == '[' || c == ']' || c == 0x7f;
    });
}

// "type ext1 ext2 ..." lines; "#" starts a comment.
void ReadExtensionList(std::string_view text, std::vector<MimeRegistration>& out) {
    while (!text.empty()) {
        std::string_view line = NextField(text, '\n');
        line = line.substr(0, line.find('#'));
        std::string type = LowerAscii(NextWord(line));
        if (!IsContentType(type))
            continue;
        for (std::string_view word = NextWord(line); !word.empty(); word = NextWord(line)) {
            if (word.front() == '.')
                word.remove_prefix(1);
            if (IsPlainExtension(word))
                out.push_back({std::string(".").append(LowerAscii(word)), type});
        }
    }
}

// shared-mime-info glob lists: "weight:type:pattern[:flags]" (globs2) or
// "type:pattern" (globs, every pattern of weight 50).
void ReadTypeDatabase(std::string_view text, std::vector<MimeRegistration>& out) {
    std::unordered_map<std::string, std::pair<int, std::size_t>> chosen; // extension -> weight, index in out
    while (!text.empty()) {
        std::string_view line = NextField(text, '\n');
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty() || line.front() == '#')
            continue;
        std::string_view first = NextField(line, ':');
        int weight = 50;
        std::string_view type, pattern;
        bool caseSensitive = false;
        if (IsAllDigits(first) && line.find(':') != std::string_view::npos) {
            if (first.size() > 3)
                continue;
            weight = std::stoi(std::string(first));
            type = NextField(line, ':');
            pattern = NextField(line, ':');
            std::string_view flags = NextField(line, ':');
            while (!flags.empty())
                caseSensitive = NextField(flags, ',') == "cs" || caseSensitive;
        } else {
            type = first;
            pattern = line;
            if (pattern.find(':') != std::string_view::npos)
                continue;
        }
        if (pattern.size() < 3 || pattern.substr(0, 2) != "*.")
            continue;
        std::string_view extension = pattern.substr(2);
        // File names are looked up in lower case, so a case-sensitive pattern
        // with capitals can never match one.
        if ((caseSensitive && HasUpperAscii(extension)) || !IsPlainExtension(extension) ||
            !IsContentType(type))
            continue;
        std::string key = std::string(".").append(LowerAscii(extension));
        auto [found, added] = chosen.try_emplace(key, weight, out.size());
        if (added)
            out.push_back({key, LowerAscii(type)});
        else if (weight > found->second.first) {
            found->second.first = weight;
            out[found->second.second].ContentType = LowerAscii(type);
        }
    }
}

std::string MimeFolderDatabase(const std::filesystem::path& dataDir) {
    std::error_code ec;
    std::filesystem::path globs2 = dataDir / "mime" / "globs2";
    if (std::filesystem::exists(globs2, ec))
        return globs2.string();
    return (dataDir / "mime" / "globs").string();
}

} // namespace

std::vector<MimeSource> SystemMimeSources() {
    std::vector<MimeSource> sources;
    sources.push_back({MimeSourceKind::ExtensionList, "/etc/mime.types"});

    std::vector<std::string> dataDirs;
    std::optional<std::string> dirsVariable = GetEnv("XDG_DATA_DIRS");
    std::string dirs =
        dirsVariable && !dirsVariable->empty() ? *dirsVariable : "/usr/local/share/:/usr/share/";
    for (std::string_view rest = dirs; !rest.empty();) {
        std::string_view dir = NextField(rest, ':');
        if (!dir.empty() && dir.front() == '/')
            dataDirs.emplace_back(dir);
    }
    std::reverse(dataDirs.begin(), dataDirs.end());

    std::optional<std::string> home = GetEnv("XDG_DATA_HOME");
    if (home && !home->empty() && home->front() == '/') {
        dataDirs.push_back(*home);
    } else {
        std::optional<std::string> userHome = GetEnv("HOME");
        if (userHome && !userHome->empty())
            dataDirs.push_back((std::filesystem::path(*userHome) / ".local" / "share").string());
    }

    for (const std::string& dir : dataDirs)
        sources.push_back({MimeSourceKind::TypeDatabase, MimeFolderDatabase(dir)});
    return sources;
}

void ReadMimeSource(const MimeSource& Source, std::vector<MimeRegistration>& Registrations) {
    std::ifstream in(Source.Location, std::ios::binary);
    if (!in)
        return;
    std::string text;
    std::vector<char> buffer(1 << 16);
    while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || in.gcount() > 0)
        text.append(buffer.data(), static_cast<std::size_t>(in.gcount()));
    if (in.bad())
        return;
    if (Source.Kind == MimeSourceKind::ExtensionList)
        ReadExtensionList(text, Registrations);
    else
        ReadTypeDatabase(text, Registrations);
}

} // namespace Norvane::Platform
