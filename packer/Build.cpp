// norvane-pack build: checks the settings and the application folder, writes
// the payload archive, and joins it to a copy of the runtime.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

#include "packer/ArchiveWriter.h"
#include "packer/Commands.h"
#include "packer/PackError.h"
#include "packer/ProgressBar.h"
#include "platform/Interrupts.h"
#include "platform/MappedFile.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "platform/Text.h"
#include "shared/ExeUtils.h"
#include "shared/ExeZip.h"
#include "shared/PayloadFormat.h"
#include "shared/ProjectIni.h"
#include "shared/Streams.h"

namespace fs = std::filesystem;
using Norvane::Platform::GenericUtf8FromPath;
using Norvane::Platform::PathFromUtf8;
using Norvane::Platform::Utf8FromPath;

namespace Norvane::Packer {
namespace {

using namespace Norvane::Shared;

constexpr std::uint16_t PayloadEntryFlags = 0x0009; // encrypted, data descriptor

fs::path BesidePacker(const fs::path& Relative) {
    return (PathFromUtf8(Platform::ExecutablePath()).parent_path() / Relative).lexically_normal();
}

// One entry of the application folder.
struct TAppItem {
    std::string EntryName; // DirName + "/" + relative path; folders end in "/"
    fs::path Source;
    bool Folder = false;
};

// Whether the canonical path Path is the canonical folder Root or lies in it,
// compared part by part (so "/app2" is not inside "/app").
bool IsWithin(const fs::path& Path, const fs::path& Root) {
    return std::mismatch(Root.begin(), Root.end(), Path.begin(), Path.end()).first == Root.end();
}

// The application folder's files and folders. Its canonical path is the
// boundary: a symbolic link is judged by where its whole chain finally leads,
// and one that leads outside, nowhere or to a folder is left out with a
// warning. A file link inside packs its target's content under the link's
// name. The walk itself never descends through a folder link, so it cannot loop.
std::vector<TAppItem> CollectAppFolder(const fs::path& AppDir, const std::string& DirName,
                                       std::int64_t& Bytes) {
    std::vector<TAppItem> items;
    Bytes = 0;
    try {
        const fs::path root = fs::canonical(AppDir);
        items.push_back({DirName + "/", root, true});
        for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
             ++it) {
            const fs::path& path = it->path();
            const std::string relative = GenericUtf8FromPath(path.lexically_relative(root));
            fs::path source = path;
            fs::file_status status = it->symlink_status();
            if (fs::is_symlink(status)) {
                const std::string link = "skipping the symbolic link \"" + relative + "\": ";
                std::error_code ec;
                source = fs::canonical(path, ec);
                if (ec == std::errc::no_such_file_or_directory || ec == std::errc::not_a_directory) {
                    Warn(link + "its target does not exist");
                    continue;
                }
                if (ec) {
                    Warn(link + "its target cannot be resolved (" + ec.message() + ")");
                    continue;
                }
                if (!IsWithin(source, root)) {
                    Warn(link + "its target \"" + Utf8FromPath(source) +
                         "\" is outside the application folder");
                    continue;
                }
                status = fs::status(source);
                if (fs::is_directory(status)) {
                    Warn(link + "links to folders are not followed");
                    continue;
                }
            }
            if (fs::is_directory(status)) {
                items.push_back({DirName + "/" + relative + "/", source, true});
            } else if (fs::is_regular_file(status)) {
                items.push_back({DirName + "/" + relative, source, false});
                Bytes += static_cast<std::int64_t>(fs::file_size(source));
            } else {
                Warn("skipping \"" + relative + "\": not a regular file or folder");
            }
        }
    } catch (const fs::filesystem_error& e) {
        throw EPackError("Cannot read the application folder \"" + Utf8FromPath(AppDir) + "\": " + e.what());
    }
    std::sort(items.begin() + 1, items.end(),
              [](const TAppItem& a, const TAppItem& b) { return a.EntryName < b.EntryName; });
    return items;
}

void RequireFile(const std::string& Path, const std::string& What) {
    std::error_code ec;
    if (!fs::exists(PathFromUtf8(Path), ec))
        throw EPackError("The " + What + " \"" + Path + "\" does not exist");
    if (!fs::is_regular_file(PathFromUtf8(Path), ec))
        throw EPackError("The " + What + " \"" + Path + "\" is not a file");
}

std::string ReadWholeFile(const std::string& Path, const std::string& What) {
    try {
        auto bytes = ReadFileBytes(Path);
        return std::string(bytes.begin(), bytes.end());
    } catch (const std::exception& e) {
        throw EPackError("Cannot read the " + What + ": " + e.what());
    }
}

// The settings every packaged application needs, checked before anything is written.
struct TSettings {
    std::string DirName;
    std::string IndexHtml;
};

TSettings CheckSettings(const std::string& IniFile) {
    RequireFile(IniFile, "settings file");
    TProjectIni ini;
    ini.LoadFromBytes(ReadWholeFile(IniFile, "settings file"));
    std::vector<std::string> missing;
    for (const char* key : {AppIni::ID, AppIni::Name, AppIni::DirName})
        if (ini.ReadString(AppIni::Section, key, "").empty())
            missing.push_back(key);
    if (!missing.empty()) {
        std::string keys;
        for (const auto& key : missing)
            keys += (keys.empty() ? "" : ", ") + key;
        throw EPackError("The settings file \"" + IniFile + "\" lacks " + keys + " in section [" +
                         AppIni::Section + "]; a packaged application needs ID, Name and DirName");
    }
    TSettings settings;
    settings.DirName = ini.ReadString(AppIni::Section, AppIni::DirName, AppIni::DefaultDirName);
    settings.IndexHtml = ini.ReadString(AppIni::Section, AppIni::IndexHtml, AppIni::DefaultIndexHtml);
    const std::string& dir = settings.DirName;
    if (dir == "." || dir == ".." || dir.find_first_of("/\\") != std::string::npos)
        throw EPackError("DirName \"" + dir + "\" in \"" + IniFile +
                         "\" must be a plain folder name (no \"/\" or \"\\\", not \".\" or \"..\")");
    return settings;
}

void CheckStartPage(const TSettings& Settings, const std::vector<TAppItem>& Items,
                    const std::string& AppDir) {
    // Entry names are looked up with the letters A to Z compared without case.
    const std::string wanted = Settings.DirName + "/" + Settings.IndexHtml;
    for (const auto& item : Items)
        if (!item.Folder && Platform::Text::EqualsNoCase(item.EntryName, wanted))
            return;
    throw EPackError("The start page \"" + Settings.IndexHtml +
                     "\" (IndexHtml) is not in the application folder \"" + AppDir + "\"");
}

void CheckRuntime(const std::string& Runtime) {
    RequireFile(Runtime, "runtime");
    TExeUtils utils;
    std::int64_t extra = 0;
    try {
        extra = utils.PayloadSizeOfFile(Runtime);
    } catch (const EExeUtilsError& e) {
        throw EPackError("The runtime cannot be used: " + std::string(e.what()));
    }
    if (extra > 0)
        throw EPackError("The runtime \"" + Runtime + "\" already carries " + std::to_string(extra) +
                         " bytes after its image (an earlier payload?); the new archive's offsets would not "
                         "match. Use a clean runtime.");
}

void StopIfInterrupted() {
    if (Platform::InterruptRequested())
        throw EPackError("interrupted");
}

// Removes the temporary files of a build unless the build succeeded.
class TTemporaryFiles {
public:
    void Add(const fs::path& Path) { FPaths.push_back(Path); }
    ~TTemporaryFiles() {
        for (const auto& path : FPaths) {
            std::error_code ec;
            fs::remove(path, ec);
        }
    }

private:
    std::vector<fs::path> FPaths;
};

// Opens the written archive with the runtime's reader: every entry must be
// there in order, carry the flags of a payload entry and decrypt cleanly.
void VerifyArchive(const std::string& ZipPath, const std::vector<std::string>& Names, bool Deflate,
                   const std::string& IniBytes) {
    // Read in place and entry by entry, so memory stays flat whatever the size.
    std::unique_ptr<Platform::MappedFile> mapped;
    try {
        mapped = std::make_unique<Platform::MappedFile>(ZipPath);
    } catch (const Platform::EMapError& e) {
        throw EPackError(e.what());
    }
    TExeZip zip;
    zip.SetPassword(PayloadPassword);
    try {
        zip.Open(mapped->Data(), mapped->Size(), true);
    } catch (const EZipError& e) {
        throw EPackError("The written archive cannot be read back: " + std::string(e.what()));
    }
    auto entries = zip.Entries();
    if (entries.size() != Names.size())
        throw EPackError("The written archive holds " + std::to_string(entries.size()) +
                         " entries instead of " + std::to_string(Names.size()));
    std::vector<std::uint8_t> scratch(1024 * 1024);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const auto& e = entries[i];
        if (e.Name != Names[i])
            throw EPackError("The written archive has the entry \"" + e.Name + "\" where \"" + Names[i] +
                             "\" belongs");
        if (e.Flags != PayloadEntryFlags || e.LocalFlags != PayloadEntryFlags || !e.Encrypted) {
            char flags[64];
            std::snprintf(flags, sizeof flags, "0x%04X/0x%04X", e.Flags, e.LocalFlags);
            throw EPackError("The ZIP library wrote the entry \"" + e.Name +
                             "\" with general-purpose flags " + flags +
                             " instead of 0x0009 (encrypted, data descriptor)");
        }
        bool folder = !e.Name.empty() && e.Name.back() == '/';
        if ((!Deflate || folder) && e.Method != 0)
            throw EPackError("The entry \"" + e.Name + "\" was compressed although it should be stored");
        if (folder && (e.Size != 0 || e.CompressedSize != 12))
            throw EPackError("The folder entry \"" + e.Name + "\" holds data");
        try {
            auto entry = zip.OpenEntry(e.Name);
            while (entry->Read(scratch.data(), static_cast<std::int64_t>(scratch.size())) > 0)
                StopIfInterrupted();
        } catch (const EZipError& error) {
            throw EPackError("The written archive does not read back: " + std::string(error.what()));
        }
    }
    if (zip.ExtractEntryToString(IniEntryName) != IniBytes)
        throw EPackError("The settings entry of the written archive differs from the settings file");
}

} // namespace

void BuildPackage(const TBuildOptions& Options) {
    if (Options.AppDir.empty() || Options.IniFile.empty() || Options.Output.empty())
        throw EUsageError("build needs --app DIR, --ini FILE and -o OUT");

    // 1. Everything is checked before anything is written.
    TSettings settings = CheckSettings(Options.IniFile);
    std::error_code ec;
    const fs::path appDir = PathFromUtf8(Options.AppDir);
    if (!fs::is_directory(appDir, ec))
        throw EPackError("The application folder \"" + Options.AppDir +
                         "\" does not exist or is not a folder");
    std::int64_t appBytes = 0;
    std::vector<TAppItem> items = CollectAppFolder(appDir, settings.DirName, appBytes);
    CheckStartPage(settings, items, Options.AppDir);

    if (!Options.ScriptFile.empty())
        RequireFile(Options.ScriptFile, "script file");
    if (!Options.InstallerFile.empty())
        RequireFile(Options.InstallerFile, "installer");
    std::string loader = Options.LoaderFile;
    if (!loader.empty()) {
        RequireFile(loader, "loader library");
    } else {
        fs::path builtEngine = BesidePacker("../engine/libnorvane-engine.so");
        if (fs::is_regular_file(builtEngine, ec)) {
            loader = Utf8FromPath(builtEngine);
        } else {
            Warn("no engine library given (--loader) or found at \"" + Utf8FromPath(builtEngine) +
                 "\"; the entry \"" + LoaderEntryName + "\" is left empty");
        }
    }
    std::string runtime =
        Options.RuntimeFile.empty()
            ? Utf8FromPath(BesidePacker("../runtime/norvane-runtime" NORVANE_EXECUTABLE_SUFFIX))
            : Options.RuntimeFile;
    CheckRuntime(runtime);
    bool peRuntime = CheckBranding(Options, runtime);

    const fs::path output = PathFromUtf8(Options.Output);
    fs::path outputDir = output.parent_path().empty() ? fs::path(".") : output.parent_path();
    if (!fs::is_directory(outputDir, ec))
        throw EPackError("The output folder \"" + Utf8FromPath(outputDir) + "\" does not exist");
    if (fs::is_directory(output, ec))
        throw EPackError("The output \"" + Options.Output + "\" is a folder");
    if (fs::exists(output, ec) && fs::equivalent(output, PathFromUtf8(runtime), ec))
        throw EPackError("The output \"" + Options.Output + "\" is the runtime itself; choose another file");
    std::string iniBytes = ReadWholeFile(Options.IniFile, "settings file");

    // 2. The archive, beside the output so that a failure leaves the output as
    // it was. A termination request from here on stops the build at its next
    // step and removes the temporary files (the guard outlives them).
    Platform::InterruptGuard interrupts;
    TTemporaryFiles temporary;
    std::string stem = "." + Utf8FromPath(output.filename()) + ".norvane-pack-" +
                       std::to_string(Platform::CurrentProcessId());
    const fs::path zipPath = outputDir / PathFromUtf8(stem + ".zip");
    const fs::path exePath = outputDir / PathFromUtf8(stem + ".exe");
    temporary.Add(zipPath);
    temporary.Add(exePath);

    std::vector<std::string> names;
    {
        TArchiveWriter writer(Utf8FromPath(zipPath), PayloadPassword, Options.Deflate);
        writer.AddFile(IniEntryName, Options.IniFile);
        names.push_back(IniEntryName);
        if (!Options.ScriptFile.empty()) {
            writer.AddFile(ExtraScriptEntryName, Options.ScriptFile);
            names.push_back(ExtraScriptEntryName);
        }
        if (loader.empty())
            writer.AddBytes(LoaderEntryName, "");
        else
            writer.AddFile(LoaderEntryName, loader);
        names.push_back(LoaderEntryName);
        if (!Options.InstallerFile.empty()) {
            writer.AddFile(InstallerEntryName, Options.InstallerFile);
            names.push_back(InstallerEntryName);
        }
        if (!peRuntime && !Options.IconFile.empty()) {
            writer.AddFile(IconEntryName, Options.IconFile);
            names.push_back(IconEntryName);
        }
        if (!peRuntime && !Options.VersionInfo.empty()) {
            std::string lines;
            for (const auto& [name, text] : Options.VersionInfo)
                lines += name + "=" + text + "\n";
            writer.AddBytes(VersionEntryName, lines);
            names.push_back(VersionEntryName);
        }
        for (const auto& item : items) {
            if (item.Folder)
                writer.AddFolder(item.EntryName);
            else
                writer.AddFile(item.EntryName, Utf8FromPath(item.Source));
            names.push_back(item.EntryName);
        }
        TProgressBar bar("Writing archive", appBytes);
        bar.SetMax(1000);
        writer.Close([&](double share) { bar.SetPos(static_cast<std::int64_t>(share * 1000)); });
    }
    try {
        VerifyArchive(Utf8FromPath(zipPath), names, Options.Deflate, iniBytes);
    } catch (const EFOpenError& e) {
        throw EPackError(e.what());
    }

    // 3. A copy of the runtime with the archive behind it, then one rename.
    try {
        fs::copy_file(PathFromUtf8(runtime), exePath, fs::copy_options::overwrite_existing);
    } catch (const fs::filesystem_error& e) {
        throw EPackError("Cannot copy the runtime \"" + runtime + "\" to \"" + Utf8FromPath(exePath) +
                         "\": " + e.code().message());
    }
    if (peRuntime)
        BrandRuntimeCopy(Options, Utf8FromPath(exePath));
    std::int64_t zipSize = TExeUtils::GetFileSize(Utf8FromPath(zipPath));
    std::int64_t runtimeSize = TExeUtils::GetFileSize(Utf8FromPath(exePath));
    TExeUtils utils;
    {
        TProgressBar bar("Appending archive", zipSize);
        utils.OnProgressMax = [&](TExeUtils&, std::int64_t max) { bar.SetMax(max); };
        utils.OnProgressPos = [&](TExeUtils&, std::int64_t pos) {
            StopIfInterrupted();
            bar.SetPos(pos);
        };
        try {
            utils.AppendZipToExe(Utf8FromPath(zipPath), Utf8FromPath(exePath));
        } catch (const std::exception& e) {
            throw EPackError("Cannot append the archive to \"" + Utf8FromPath(exePath) + "\": " + e.what());
        }
    }
    utils.OnProgressMax = nullptr;
    utils.OnProgressPos = nullptr;
    std::int64_t payload = 0;
    try {
        payload = utils.PayloadSizeOfFile(Utf8FromPath(exePath));
    } catch (const EExeUtilsError& e) {
        throw EPackError(e.what());
    }
    if (payload != zipSize || TExeUtils::GetFileSize(Utf8FromPath(exePath)) != runtimeSize + zipSize)
        throw EPackError("The packaged file \"" + Utf8FromPath(exePath) + "\" came out with the wrong size");
    fs::permissions(exePath, fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec,
                    fs::perm_options::add, ec);
    if (ec)
        throw EPackError("Cannot mark \"" + Utf8FromPath(exePath) + "\" executable: " + ec.message());
    StopIfInterrupted();
    fs::rename(exePath, output, ec);
    if (ec)
        throw EPackError("Cannot move the packaged file into place as \"" + Options.Output +
                         "\": " + ec.message());

    std::printf("Wrote %s: %lld bytes (runtime %lld bytes + archive %lld bytes), %zu entries\n",
                Options.Output.c_str(), static_cast<long long>(runtimeSize + zipSize),
                static_cast<long long>(runtimeSize), static_cast<long long>(zipSize), names.size());
}

} // namespace Norvane::Packer
