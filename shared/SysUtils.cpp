#include "shared/SysUtils.h"

#include "platform/ChildProcess.h"
#include "platform/CommandLine.h"
#include "platform/FileOperations.h"
#include "platform/KnownFolders.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "platform/Session.h"
#include "platform/Shell.h"
#include "platform/System.h"
#include "platform/Text.h"
#include "platform/Ui.h"
#include "shared/Streams.h"
#include "webview2/WebView2.h"

#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;
using Norvane::Platform::PathFromUtf8;
using Norvane::Platform::Utf8FromPath;

namespace Norvane::Shared {
namespace {

std::string WithSeparator(std::string path) {
    if (path.empty() || path.back() != '/')
        path += '/';
    return path;
}

// '/' and the system's own separator ('\\' on Windows).
bool IsSeparator(char c) {
    return c == '/' || c == Platform::PathDelimiter();
}

std::string WithoutTrailingSeparators(std::string path) {
    while (path.size() > 1 && IsSeparator(path.back()))
        path.pop_back();
    return path;
}

std::string FolderPath(Platform::KnownFolder folder) {
    return WithSeparator(Platform::KnownFolderPath(folder));
}

bool IsBlank(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); });
}

char FoldCase(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool WildcardMatch(const std::string& name, const std::string& mask) {
    std::size_t n = 0, m = 0;
    std::size_t starMask = std::string::npos, starName = 0;
    while (n < name.size()) {
        if (m < mask.size() && (mask[m] == '?' || FoldCase(mask[m]) == FoldCase(name[n]))) {
            ++n;
            ++m;
        } else if (m < mask.size() && mask[m] == '*') {
            starMask = m++;
            starName = n;
        } else if (starMask != std::string::npos) {
            m = starMask + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == '*')
        ++m;
    return m == mask.size();
}

// Size and divisor to a number with at most two decimals, rounded half away
// from zero, without trailing zeros.
std::string FormatHundredths(std::uint64_t size, std::uint64_t divisor) {
    std::uint64_t whole = size / divisor;
    std::uint64_t rest = size % divisor;
    std::uint64_t hundredths = whole * 100 + (rest * 200 + divisor) / (2 * divisor);
    std::string text = std::to_string(hundredths / 100);
    std::uint64_t fraction = hundredths % 100;
    if (fraction != 0) {
        const char* separator = std::localeconv()->decimal_point;
        text += separator && *separator ? separator : ".";
        text += static_cast<char>('0' + fraction / 10);
        if (fraction % 10 != 0)
            text += static_cast<char>('0' + fraction % 10);
    }
    return text;
}

} // namespace

bool TSysUtils::ExitWindows(unsigned Flags) {
    Platform::SessionAction action = Platform::SessionAction::LogOff;
    if (Flags & EWX_REBOOT)
        action = Platform::SessionAction::Reboot;
    else if (Flags & (EWX_SHUTDOWN | EWX_POWEROFF))
        action = Platform::SessionAction::PowerOff;
    bool force = (Flags & (EWX_FORCE | EWX_FORCEIFHUNG)) != 0;
    return Platform::CurrentSessionControl()->EndSession(action, force);
}

std::string TSysUtils::GetDosOutput(const std::string& CommandLine, const std::string& WorkingDir,
                                    bool /*ShowWindow*/) {
    Platform::ProcessStartInfo info;
    info.Arguments = Platform::CommandInterpreterArguments(CommandLine);
    info.WorkingDir = WorkingDir;
    info.CaptureOutput = true;
    auto process = Platform::StartProcess(info);
    if (!process)
        return {};
    std::string bytes;
    char buffer[255];
    while (std::size_t n = process->ReadOutput(buffer, sizeof buffer)) {
        // Each piece is taken as text up to its first zero byte.
        const void* zero = std::memchr(buffer, 0, n);
        bytes.append(buffer, zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - buffer) : n);
    }
    process->Wait();
    return Platform::Text::ValidUtf8(bytes);
}

void TSysUtils::GetWindowsCaptions(std::vector<std::string>& List) {
    std::vector<std::string> captions;
    for (auto& caption : Platform::TopLevelWindowCaptions())
        if (!IsBlank(caption))
            captions.push_back(std::move(caption));
    List = std::move(captions);
}

namespace {

// The item that DeleteDirectory removes for DirPath (see there); empty when
// there is none.
fs::path ItemToDelete(const std::string& DirPath) {
    std::error_code ec;
    // The path without its trailing "." and ".." components.
    std::string head = WithoutTrailingSeparators(DirPath);
    bool dotted = false;
    bool parent = false;
    for (;;) {
        const std::size_t slash = head.find_last_of(std::string{'/', Platform::PathDelimiter()});
        const std::string last = slash == std::string::npos ? head : head.substr(slash + 1);
        if (last != "." && last != "..")
            break;
        dotted = true;
        parent = parent || last == "..";
        head =
            slash == std::string::npos ? std::string() : WithoutTrailingSeparators(head.substr(0, slash + 1));
    }
    if (!dotted)
        return PathFromUtf8(head);
    // Such a path names a folder, as the system reads it, or nothing.
    if (!fs::is_directory(fs::status(PathFromUtf8(DirPath), ec)))
        return {};
    if (!parent && !head.empty())
        return PathFromUtf8(head);
    // ".." is the system's: the folder it names, links resolved.
    fs::path folder = fs::canonical(PathFromUtf8(DirPath), ec);
    return ec ? fs::path() : folder;
}

// The root (of the path's own drive too) and the user's home folder, links
// followed.
bool IsProtectedFolder(const fs::path& Path) {
    std::vector<std::string> protectedFolders = Platform::HomeFolderPaths();
    protectedFolders.push_back("/");
    std::error_code absoluteError;
    fs::path absolute = fs::absolute(Path, absoluteError);
    if (!absoluteError && absolute.has_root_path())
        protectedFolders.push_back(Utf8FromPath(absolute.root_path()));
    for (const std::string& folder : protectedFolders) {
        std::error_code ec;
        if (fs::equivalent(Path, PathFromUtf8(folder), ec) && !ec)
            return true;
    }
    return false;
}

} // namespace

bool TSysUtils::DeleteDirectory(const std::string& DirPath) {
    if (DirPath.empty())
        return false;
    const fs::path path = ItemToDelete(DirPath);
    std::error_code ec;
    if (path.empty() || IsProtectedFolder(path) || !fs::exists(fs::symlink_status(path, ec)))
        return false;
    return Platform::RemoveItem(Utf8FromPath(path));
}

bool TSysUtils::ShellExec(const std::string& FilePath, const std::string& Arguments) {
    return Platform::ShellExecute(FilePath, Arguments);
}

bool TSysUtils::ShellExplore(const std::string& FilePath) {
    return Platform::ShowItemInFileManager(FilePath);
}

bool TSysUtils::ShellOpen(const std::string& FilePath) {
    return Platform::ShellExecute(FilePath, std::string());
}

int TSysUtils::ShellExecAsAdminAndWait(TWindowHandle /*Owner*/, const std::string& FilePath,
                                       const std::string& Params) {
    std::vector<std::string> arguments;
    if (!Params.empty())
        arguments = Platform::SplitArguments(Params);
    auto process = Platform::CurrentElevation()->StartElevated(FilePath, arguments);
    if (!process)
        return 0;
    // Blocks until the installer ends while the windows stay responsive.
    return Platform::WaitForChildProcess(*process);
}

bool TSysUtils::CheckEdgeIsInstalled(const std::string& EdgeLoaderDllPath) {
    std::error_code ec;
    if (EdgeLoaderDllPath.empty() || !fs::is_regular_file(PathFromUtf8(EdgeLoaderDllPath), ec))
        return false;
    Platform::LibraryHandle library = Platform::LoadLibrary(EdgeLoaderDllPath);
    if (!library)
        return false;
    bool installed = false;
    auto getVersion = reinterpret_cast<PFN_GetAvailableCoreWebView2BrowserVersionString>(
        Platform::GetProcAddress(library, WebView2::AvailableBrowserVersionEntry));
    if (getVersion) {
        char* version = nullptr;
        getVersion(nullptr, &version); // only the text counts, not the result code
        installed = version && *version;
        if (version) {
            auto memFree = reinterpret_cast<PFN_CoTaskMemFree>(
                Platform::GetProcAddress(library, WebView2::MemFreeEntry));
            if (memFree)
                memFree(version);
        }
    }
    Platform::FreeLibrary(library);
    return installed;
}

std::string TSysUtils::GetTempDirPath() {
    return WithSeparator(Platform::TempFolderPath());
}
std::string TSysUtils::GetUserDesktopDirPath() {
    return FolderPath(Platform::KnownFolder::Desktop);
}
std::string TSysUtils::GetUserDocumentsDirPath() {
    return FolderPath(Platform::KnownFolder::Documents);
}
std::string TSysUtils::GetUserAppDataDirPath() {
    return FolderPath(Platform::KnownFolder::RoamingAppData);
}
std::string TSysUtils::GetLocalAppDataDirPath() {
    return FolderPath(Platform::KnownFolder::LocalAppData);
}
std::string TSysUtils::GetProgramFilesDirPath() {
    return FolderPath(Platform::KnownFolder::ProgramFiles);
}
std::string TSysUtils::GetSystemAppsDirPath() {
    return FolderPath(Platform::KnownFolder::SystemApps);
}

void TSysUtils::EditWithMSPaint(const std::string& FilePath) {
    std::string system = FolderPath(Platform::KnownFolder::System);
    for (const char* program : {"kolourpaint", "pinta", "mtpaint", "gimp"}) {
        std::string path = system + program;
        std::error_code ec;
        if (fs::is_regular_file(PathFromUtf8(path), ec)) {
            ShellExec(path, "\"" + FilePath + "\"");
            return;
        }
    }
}

int TSysUtils::ExecAndWait(const std::string& CommandLine) {
    Platform::ProcessStartInfo info;
    info.Arguments = Platform::SplitCommandLine(CommandLine);
    auto process = Platform::StartProcess(info);
    return process ? process->Wait() : 0;
}

void TSysUtils::ExecCmd(const std::string& CommandLine, bool Wait) {
    Platform::ProcessStartInfo info;
    info.Arguments = Platform::SplitCommandLine(CommandLine);
    info.NewProcessGroup = true;
    if (!Wait) {
        Platform::StartDetachedProcess(info);
        return;
    }
    if (auto process = Platform::StartProcess(info))
        process->Wait();
}

std::string TSysUtils::ExpandFileNameRelBaseDir(const std::string& FileName, const std::string& BaseDir) {
    std::string joined = FileName;
    if (FileName.empty() || FileName.front() != '/')
        joined = WithSeparator(BaseDir) + FileName;
    return Utf8FromPath(PathFromUtf8(joined).lexically_normal());
}

bool TSysUtils::CopyFile(const std::string& FromPath, const std::string& ToPath) {
    return Platform::CopyItem(FromPath, ToPath);
}

bool TSysUtils::CopyDirectory(const std::string& FromDirPath, const std::string& ToDirPath) {
    return Platform::CopyItem(FromDirPath, ToDirPath);
}

std::string TSysUtils::GetLnkFilePath(const std::string& LnkFilePath) {
    std::error_code ec;
    fs::path target = fs::read_symlink(PathFromUtf8(LnkFilePath), ec);
    if (ec)
        return {};
    if (target.is_relative())
        target = fs::absolute(PathFromUtf8(LnkFilePath), ec).parent_path() / target;
    return Utf8FromPath(target.lexically_normal());
}

bool TSysUtils::PressKey(int VirtualKey) {
    return Platform::SynthesizeKeyPress(VirtualKey);
}

bool TSysUtils::ExtractExeIcon(const std::string& FilePath, TIconBitmap& Bitmap) {
    int width = 0, height = 0;
    std::vector<std::uint8_t> pixels;
    if (!Platform::ExtractFileIcon(FilePath, width, height, pixels) || width <= 0 || height <= 0 ||
        pixels.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4)
        return false;
    Bitmap.Width = width;
    Bitmap.Height = height;
    Bitmap.Pixels = std::move(pixels);
    return true;
}

std::string TSysUtils::GetComputerNetName() {
    return Platform::ComputerName();
}

std::string TSysUtils::GetUserFromWindows() {
    return Platform::UserName().value_or("Unknown");
}

bool TSysUtils::MatchesFileMask(const std::string& Name, const std::string& FileMask) {
    if (FileMask == "*" || FileMask == "*.*")
        return true;
    if (WildcardMatch(Name, FileMask))
        return true;
    // As on Windows, "name.*" also matches "name" and "*." matches names
    // without an extension.
    bool hasDot = Name.find('.') != std::string::npos;
    if (!hasDot && FileMask.size() >= 2 && FileMask.compare(FileMask.size() - 2, 2, ".*") == 0)
        return WildcardMatch(Name, FileMask.substr(0, FileMask.size() - 2));
    if (!hasDot && FileMask.size() >= 1 && FileMask.back() == '.')
        return WildcardMatch(Name, FileMask.substr(0, FileMask.size() - 1));
    return false;
}

void TSysUtils::GetDirectoryFiles(const std::string& RootDir, bool IncludeDirs, const std::string& FileMask,
                                  std::vector<std::string>& FileList) {
    FileList.clear();
    std::error_code ec;
    if (RootDir.empty() || !fs::is_directory(PathFromUtf8(RootDir), ec))
        return;
    std::vector<std::string> folders, files;
    fs::directory_iterator it(PathFromUtf8(RootDir), ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        std::string name = Utf8FromPath(it->path().filename());
        if (!MatchesFileMask(name, FileMask))
            continue;
        std::error_code typeError;
        if (it->is_directory(typeError))
            folders.push_back(name);
        else
            files.push_back(name);
    }
    std::sort(folders.begin(), folders.end());
    std::sort(files.begin(), files.end());
    std::string base = WithSeparator(RootDir);
    if (IncludeDirs)
        for (const auto& name : folders)
            FileList.push_back(base + name);
    for (const auto& name : files)
        FileList.push_back(base + name);
}

std::string TSysUtils::GetParentDirPath(const std::string& Path) {
    std::error_code ec;
    std::string full = Path.empty() ? std::string() : Utf8FromPath(fs::absolute(PathFromUtf8(Path), ec));
    return WithSeparator(Utf8FromPath(PathFromUtf8(full + "/..").lexically_normal()));
}

std::int64_t TSysUtils::GetSizeOfFile(const std::string& FilePath) {
    std::error_code ec;
    fs::file_status status = fs::status(PathFromUtf8(FilePath), ec);
    if (!fs::exists(status))
        return fs::exists(fs::symlink_status(PathFromUtf8(FilePath), ec)) ? 0 : -1;
    if (!fs::is_regular_file(status))
        return 0;
    auto size = fs::file_size(PathFromUtf8(FilePath), ec);
    return ec ? 0 : static_cast<std::int64_t>(size);
}

std::int64_t TSysUtils::GetSizeOfDir(const std::string& DirPath, bool IncludeSubdirs) {
    std::vector<std::string> items;
    GetDirectoryFiles(DirPath, IncludeSubdirs, "*.*", items);
    std::int64_t total = 0;
    for (const auto& item : items)
        if (std::int64_t size = GetSizeOfFile(item); size > 0)
            total += size;
    return total;
}

int TSysUtils::GetSubdirectoriesCount(const std::string& DirPath) {
    std::error_code ec;
    if (DirPath.empty() || !fs::is_directory(PathFromUtf8(DirPath), ec))
        return 0;
    int count = 0;
    fs::directory_iterator it(PathFromUtf8(DirPath), ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        std::error_code typeError;
        if (it->is_directory(typeError))
            ++count;
    }
    return count;
}

bool TSysUtils::FilesHaveSameDateTime(const std::string& File1Path, const std::string& File2Path) {
    auto lastWrite = [](const std::string& path) {
        std::error_code ec;
        auto time = fs::last_write_time(PathFromUtf8(path), ec);
        if (ec)
            throw EFOpenError("Cannot open file \"" + path + "\". " + ec.message());
        return time;
    };
    auto first = lastWrite(File1Path);
    auto second = lastWrite(File2Path);
    auto difference = first > second ? first - second : second - first;
    return difference <= std::chrono::milliseconds(1);
}

int TSysUtils::TrueFontWidth(const TFontInfo& Font, const std::string& Str) {
    return Platform::MeasureTextWidth(Font.Name, Font.Size, Font.Bold, Font.Italic, Str);
}

void TSysUtils::RestartApplication() {
    ShellOpen(Platform::ExecutablePath());
    Platform::TerminateApplication();
}

bool TSysUtils::IsValidFilePath(const std::string& FileName) {
    if (FileName.empty())
        return false;
    // Something already at the full path makes it unusable as a new item's path.
    std::error_code ec;
    if (fs::exists(fs::symlink_status(PathFromUtf8(FileName), ec)))
        return false;
    std::string prefix = FileName;
    for (;;) {
        std::size_t cut = prefix.find_last_of('/');
        std::string component = cut == std::string::npos ? prefix : prefix.substr(cut + 1);
        if (!Platform::IsValidFileNameComponent(component))
            return false;
        if (cut == std::string::npos)
            return true;
        prefix.erase(cut);
    }
}

void TSysUtils::RemoveUTFBoomFromFile(const std::string& FilePath) {
    std::vector<std::uint8_t> rest;
    {
        TFileStream file(FilePath, TFileMode::fmOpenReadWrite);
        std::uint8_t mark[3] = {};
        if (file.Read(mark, 3) != 3)
            throw EStreamError("Stream read error");
        if (mark[0] != 0xEF || mark[1] != 0xBB || mark[2] != 0xBF)
            return;
        std::int64_t size = file.Size();
        rest.resize(static_cast<std::size_t>(size - 3));
        file.SetPosition(3);
        if (!rest.empty() && file.Read(rest.data(), static_cast<std::int64_t>(rest.size())) !=
                                 static_cast<std::int64_t>(rest.size()))
            throw EStreamError("Stream read error");
        file.SetPosition(0);
        if (!rest.empty())
            file.Write(rest.data(), static_cast<std::int64_t>(rest.size()));
        file.Close();
    }
    std::error_code ec;
    fs::resize_file(PathFromUtf8(FilePath), rest.size(), ec);
    if (ec)
        throw EStreamError("Cannot shorten \"" + FilePath + "\": " + ec.message());
}

std::string TSysUtils::FormatByteSize(std::int64_t Size) {
    constexpr std::int64_t KB = 1024, MB = 1048576, GB = 1073741824;
    if (Size <= KB)
        return std::to_string(Size) + " bytes";
    auto size = static_cast<std::uint64_t>(Size);
    if (Size > GB)
        return FormatHundredths(size, GB) + " GB";
    if (Size > MB)
        return FormatHundredths(size, MB) + " MB";
    return FormatHundredths(size, KB) + " KB";
}

} // namespace Norvane::Shared
