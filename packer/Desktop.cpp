// norvane-pack desktop: a freedesktop application entry for a packaged
// application, with its icon as PNG images in the hicolor sizes, written
// into a folder laid out as a data folder or installed into the user's.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>

#include "packer/Commands.h"
#include "packer/PackError.h"
#include "platform/Images.h"
#include "platform/KnownFolders.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "shared/ExeUtils.h"
#include "shared/ExeZip.h"
#include "shared/IconFile.h"
#include "shared/PayloadFormat.h"
#include "shared/ProjectIni.h"
#include "shared/Streams.h"

namespace fs = std::filesystem;
using Norvane::Platform::PathFromUtf8;
using Norvane::Platform::Utf8FromPath;

namespace Norvane::Packer {
namespace {

using namespace Norvane::Shared;

const int HicolorSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

struct TDesktopOptions {
    std::string Exe;
    std::string OutputDir = ".";
    bool Install = false;
    std::string Name, Comment, Categories = "Utility;", IconFile;
};

TDesktopOptions ParseDesktop(const std::vector<std::string>& Args) {
    TDesktopOptions options;
    for (std::size_t i = 0; i < Args.size(); ++i) {
        const std::string& arg = Args[i];
        if (arg == "--install") {
            options.Install = true;
            continue;
        }
        std::string* target = nullptr;
        if (arg == "--name")
            target = &options.Name;
        else if (arg == "--comment")
            target = &options.Comment;
        else if (arg == "--categories")
            target = &options.Categories;
        else if (arg == "--icon")
            target = &options.IconFile;
        else if (arg == "-o" || arg == "--output")
            target = &options.OutputDir;
        if (target) {
            if (i + 1 >= Args.size() || Args[i + 1].empty())
                throw EUsageError(arg + " needs a value");
            *target = Args[++i];
        } else if (arg.rfind("-", 0) == 0 || !options.Exe.empty()) {
            throw EUsageError("unknown argument \"" + arg + "\" for desktop");
        } else {
            options.Exe = arg;
        }
    }
    if (options.Exe.empty())
        throw EUsageError("desktop needs the packaged application EXE");
    if (options.Install && options.OutputDir != ".")
        throw EUsageError("desktop takes either --install or -o DIR");
    return options;
}

// A string value of a desktop entry: one line, backslash escapes.
std::string EntryString(const std::string& Text) {
    std::string out;
    for (char c : Text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
    if (!out.empty() && out[0] == ' ')
        out = "\\s" + out.substr(1);
    return out;
}

// The program of an Exec key: quoted when it holds a reserved character,
// with the characters that quoting keeps special escaped; "%" doubled.
std::string ExecProgram(const std::string& Path) {
    const std::string reserved = " \t\n\"'\\><~|&;$*?#()`";
    std::string out;
    bool quote = Path.find_first_of(reserved) != std::string::npos;
    for (char c : Path) {
        if (c == '%')
            out += "%%";
        else if (quote && (c == '"' || c == '`' || c == '$' || c == '\\'))
            out += std::string("\\") + c;
        else
            out += c;
    }
    return quote ? "\"" + out + "\"" : out;
}

// The entry's file and icon name from the application's identifier.
std::string DesktopId(const std::string& AppId) {
    std::string id;
    for (char c : AppId) {
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
                     c == '-' || c == '.';
        id += plain ? c : '-';
    }
    while (!id.empty() && id[0] == '.')
        id.erase(0, 1);
    return id.empty() ? "norvane-application" : id;
}

void WriteFileAtomically(const fs::path& Path, const std::string& Bytes) {
    std::error_code ec;
    fs::create_directories(Path.parent_path(), ec);
    if (ec)
        throw EPackError("Cannot create the folder \"" + Utf8FromPath(Path.parent_path()) +
                         "\": " + ec.message());
    fs::path temporary = Path;
    temporary += PathFromUtf8(".norvane-pack-" + std::to_string(Platform::CurrentProcessId()));
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(Bytes.data(), static_cast<std::streamsize>(Bytes.size()));
        out.close();
        if (!out) {
            fs::remove(temporary, ec);
            throw EPackError("Cannot write \"" + Utf8FromPath(temporary) + "\"");
        }
    }
    fs::rename(temporary, Path, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        throw EPackError("Cannot write \"" + Utf8FromPath(Path) + "\": " + ec.message());
    }
}

// For each hicolor size, the image to scale from: the smallest one at least
// that large (the deepest colour among equals), else the largest.
std::map<int, std::size_t> ChooseImages(const TIconFile& Icon) {
    std::map<int, std::size_t> chosen;
    for (int size : HicolorSizes) {
        long best = -1;
        auto side = [&](std::size_t i) {
            std::uint32_t w = 0, h = 0;
            if (!Icon.Images[i].StoredSize(w, h))
                return 0u;
            return std::min(w, h);
        };
        for (std::size_t i = 0; i < Icon.Images.size(); ++i) {
            std::uint32_t s = side(i);
            if (s == 0 || s > 1024)
                continue;
            if (best < 0) {
                best = static_cast<long>(i);
                continue;
            }
            std::uint32_t b = side(static_cast<std::size_t>(best));
            bool fits = s >= static_cast<std::uint32_t>(size),
                 bestFits = b >= static_cast<std::uint32_t>(size);
            bool better =
                fits != bestFits ? fits
                : s != b         ? (fits ? s < b : s > b)
                         : Icon.Images[i].BitCount > Icon.Images[static_cast<std::size_t>(best)].BitCount;
            if (better)
                best = static_cast<long>(i);
        }
        if (best >= 0)
            chosen[size] = static_cast<std::size_t>(best);
    }
    return chosen;
}

} // namespace

void DesktopCommand(const std::vector<std::string>& Args) {
    TDesktopOptions options = ParseDesktop(Args);
    std::error_code ec;
    fs::path exe = fs::absolute(PathFromUtf8(options.Exe), ec);
    if (ec || !fs::is_regular_file(exe, ec))
        throw EPackError("The packaged application \"" + options.Exe + "\" does not exist or is not a file");
    exe = exe.lexically_normal();

    // The payload: settings, icon and version texts.
    TMemoryStream stream;
    TExeZip zip;
    TExeUtils utils;
    try {
        utils.GetZipFromFile(Utf8FromPath(exe), stream);
        zip.SetPassword(PayloadPassword);
        zip.Open(stream);
    } catch (const std::exception& e) {
        throw EPackError("Cannot read the payload of \"" + options.Exe + "\": " + e.what());
    }
    auto entry = [&](const char* Name) -> std::string {
        for (const auto& info : zip.Entries())
            if (info.Name == Name)
                return zip.ExtractEntryToString(Name);
        return {};
    };
    TProjectIni ini;
    ini.LoadFromBytes(entry(IniEntryName));
    std::map<std::string, std::string> version;
    std::string lines = entry(VersionEntryName);
    for (std::size_t at = 0; at < lines.size();) {
        std::size_t end = lines.find('\n', at);
        std::string line = lines.substr(at, end == std::string::npos ? std::string::npos : end - at);
        if (auto eq = line.find('='); eq != std::string::npos)
            version[line.substr(0, eq)] = line.substr(eq + 1);
        at = end == std::string::npos ? lines.size() : end + 1;
    }
    std::string id = DesktopId(ini.ReadString(AppIni::Section, AppIni::ID, ""));
    std::string name = !options.Name.empty()             ? options.Name
                       : !version["ProductName"].empty() ? version["ProductName"]
                                                         : ini.ReadString(AppIni::Section, AppIni::Name, "");
    if (name.empty())
        throw EPackError("The application has no name; give one with --name");
    std::string comment = !options.Comment.empty()              ? options.Comment
                          : !version["FileDescription"].empty() ? version["FileDescription"]
                                                                : version["Comments"];
    std::string categories = options.Categories;
    if (categories.back() != ';')
        categories += ';';

    // The icon: the file given, else the payload's.
    std::string iconBytes;
    std::string iconSource = options.IconFile.empty() ? std::string(IconEntryName) : options.IconFile;
    std::map<int, std::string> pngs;
    try {
        TIconFile icon;
        bool haveIcon = true;
        if (!options.IconFile.empty()) {
            icon = TIconFile::Load(options.IconFile);
        } else {
            iconBytes = entry(IconEntryName);
            haveIcon = !iconBytes.empty();
            if (haveIcon)
                icon = TIconFile::Parse(std::vector<std::uint8_t>(iconBytes.begin(), iconBytes.end()),
                                        "the payload's " + iconSource);
        }
        if (haveIcon) {
            for (auto [size, index] : ChooseImages(icon)) {
                std::string png;
                if (!Platform::ImageToPng(icon.ImageFile(index), size, png))
                    throw EPackError("Image " + std::to_string(index + 1) + " of the icon " + iconSource +
                                     " cannot be decoded");
                pngs[size] = png;
            }
            if (pngs.empty())
                throw EPackError("The icon " + iconSource + " has no image of a usable size");
        } else {
            Warn("the application carries no icon (build --icon) and none was given (--icon): the entry has "
                 "none");
        }
    } catch (const EIconFileError& e) {
        throw EPackError(e.what());
    }

    std::string text = "[Desktop Entry]\nType=Application\nVersion=1.4\nName=" + EntryString(name) + "\n";
    if (!comment.empty())
        text += "Comment=" + EntryString(comment) + "\n";
    text += "Exec=" + EntryString(ExecProgram(Utf8FromPath(exe))) + "\n";
    if (!pngs.empty())
        text += "Icon=" + id + "\n";
    text += "Terminal=false\nCategories=" + EntryString(categories) + "\n";
    // The toolkit names the windows' class after the program's file name, by
    // which desktop shells match the windows to this entry.
    text += "StartupWMClass=" + EntryString(Utf8FromPath(exe.filename())) + "\n";

    fs::path base = PathFromUtf8(options.OutputDir);
    if (options.Install) {
        base = PathFromUtf8(Platform::KnownFolderPath(Platform::KnownFolder::LocalAppData));
        if (base.empty())
            throw EPackError("The user's data folder is not known (no HOME or XDG_DATA_HOME)");
    }
    for (const auto& [size, png] : pngs) {
        std::string folder = std::to_string(size) + "x" + std::to_string(size);
        WriteFileAtomically(base / "icons" / "hicolor" / folder / "apps" / PathFromUtf8(id + ".png"), png);
    }
    fs::path entryPath = base / "applications" / PathFromUtf8(id + ".desktop");
    WriteFileAtomically(entryPath, text);
    std::printf("Wrote %s and %zu icon images under %s\n", Utf8FromPath(entryPath).c_str(), pngs.size(),
                Utf8FromPath(base / "icons" / "hicolor").c_str());
}

} // namespace Norvane::Packer
