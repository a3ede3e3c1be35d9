// System, shell and folder helpers: processes and their output, the desktop
// shell, ending the session, well-known folders, file and folder operations
// and a few queries about the machine.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Norvane::Shared {

// Flags of ExitWindows, in the values of the Windows call they come from.
inline constexpr unsigned EWX_LOGOFF = 0;
inline constexpr unsigned EWX_SHUTDOWN = 1;
inline constexpr unsigned EWX_REBOOT = 2;
inline constexpr unsigned EWX_FORCE = 4;
inline constexpr unsigned EWX_POWEROFF = 8;
inline constexpr unsigned EWX_FORCEIFHUNG = 0x10;

// An icon image: straight R, G, B, A bytes, row by row from the top.
struct TIconBitmap {
    int Width = 0;
    int Height = 0;
    std::vector<std::uint8_t> Pixels;
};

// The font a text is measured in.
struct TFontInfo {
    std::string Name;
    int Size = 10; // points
    bool Bold = false;
    bool Italic = false;
};

// An owner window as the windowing layer knows it (unused where the system's
// authorisation prompt has no owner).
using TWindowHandle = void*;

class TSysUtils {
public:
    TSysUtils() = delete;

    // Logs off (EWX_LOGOFF), reboots (EWX_REBOOT) or powers off (EWX_SHUTDOWN,
    // EWX_POWEROFF) through the session control in use. False when the system
    // refused; the reason is the platform layer's last error.
    static bool ExitWindows(unsigned Flags);

    // Runs CommandLine with /bin/sh -c in WorkingDir (the current folder when
    // empty) and returns everything it wrote to standard output and standard
    // error, as UTF-8 (each maximal ill-formed subpart becomes U+FFFD). Waits
    // for the end. Empty when it cannot be started.
    // ShowWindow has no meaning here (there is no console window).
    static std::string GetDosOutput(const std::string& CommandLine, const std::string& WorkingDir,
                                    bool ShowWindow);

    // The captions of the desktop's top-level windows, front to back, without
    // those that are empty or only white space.
    static void GetWindowsCaptions(std::vector<std::string>& List);

    // Removes the folder (or file) with all its contents, for good. False when
    // there is nothing at the path or something could not be removed.
    //  - Trailing separators are dropped; a symbolic link is then removed
    //    itself, not the contents of the folder it points to.
    //  - A path ending in "." or ".." components must name a folder as the
    //    system reads it. Trailing "." components alone are dropped ("dir/."
    //    is "dir", "link/." the link itself, removed alone). With a "..", the
    //    folder that the system names is removed, all links resolved:
    //    "dir/sub/.." removes dir, "link/.." the parent of the link's target.
    //  - The file-system root and the user's home folder (Platform::
    //    HomeFolderPaths) are never removed, however they are named (through
    //    ".", "..", trailing separators or a link): false, nothing deleted.
    static bool DeleteDirectory(const std::string& DirPath);

    // Opens a document, folder or address with its default application, or
    // starts a program with the parameter text. True when it could be started.
    static bool ShellExec(const std::string& FilePath, const std::string& Arguments);
    // Shows the item selected in the file manager.
    static bool ShellExplore(const std::string& FilePath);
    static bool ShellOpen(const std::string& FilePath);
    // Runs the program with administrator rights and waits for it, keeping the
    // user interface alive. The exit code; 0 when it could not be started or
    // the authorisation was refused; StillActive (259) when the application
    // was asked to terminate before the program ended.
    static int ShellExecAsAdminAndWait(TWindowHandle Owner, const std::string& FilePath,
                                       const std::string& Params);

    // True when the browser-engine loader library at the path reports an
    // installed engine version.
    static bool CheckEdgeIsInstalled(const std::string& EdgeLoaderDllPath);

    // Folders, each with a trailing separator (a lone "/" when unknown).
    static std::string GetTempDirPath();
    static std::string GetUserDesktopDirPath();
    static std::string GetUserDocumentsDirPath();
    static std::string GetUserAppDataDirPath();
    static std::string GetLocalAppDataDirPath();
    static std::string GetProgramFilesDirPath();
    static std::string GetSystemAppsDirPath();

    // Opens the file in the system's paint program when one is installed.
    static void EditWithMSPaint(const std::string& FilePath);

    // Starts the command line (program and arguments by the Windows rules),
    // waits for it and returns its exit code; 0 when it cannot be started.
    static int ExecAndWait(const std::string& CommandLine);
    // Starts the command line in a new process group; waits when Wait is true.
    static void ExecCmd(const std::string& CommandLine, bool Wait);

    // A relative FileName is taken below BaseDir; "." and ".." are resolved.
    static std::string ExpandFileNameRelBaseDir(const std::string& FileName, const std::string& BaseDir);

    // Copies a file or folder; into ToPath when that is an existing folder,
    // otherwise to ToPath itself, replacing files and creating folders without
    // asking. False when the source is missing or anything failed.
    static bool CopyFile(const std::string& FromPath, const std::string& ToPath);
    static bool CopyDirectory(const std::string& FromDirPath, const std::string& ToDirPath);

    // The target of a link (a symbolic link here), as a full path; empty when
    // the file is no link.
    static std::string GetLnkFilePath(const std::string& LnkFilePath);

    // Presses and releases a key (a Windows virtual-key code) through the user
    // interface; false when there is none to do it.
    static bool PressKey(int VirtualKey);
    // The file's first icon into Bitmap; false when it has none.
    static bool ExtractExeIcon(const std::string& FilePath, TIconBitmap& Bitmap);

    static std::string GetComputerNetName();
    // The user's login name; "Unknown" when it cannot be found.
    static std::string GetUserFromWindows();

    // Clears FileList, then adds the full paths of the folder's direct
    // subfolders (when IncludeDirs) and then of its direct files whose names
    // match FileMask ("*" any run of characters, "?" one character; "*.*"
    // matches every name). Each group sorted by name. No recursion.
    static void GetDirectoryFiles(const std::string& RootDir, bool IncludeDirs, const std::string& FileMask,
                                  std::vector<std::string>& FileList);
    // True when Name matches the mask; ASCII letters compare without case.
    static bool MatchesFileMask(const std::string& Name, const std::string& FileMask);

    static std::string GetParentDirPath(const std::string& Path);
    // Size in bytes (0 for a folder); -1 when there is nothing at the path.
    static std::int64_t GetSizeOfFile(const std::string& FilePath);
    // Sum of the sizes of the folder's direct files.
    static std::int64_t GetSizeOfDir(const std::string& DirPath, bool IncludeSubdirs);
    static int GetSubdirectoriesCount(const std::string& DirPath);
    // True when the last-write times agree to within one millisecond. Raises
    // EFOpenError when either item is missing.
    static bool FilesHaveSameDateTime(const std::string& File1Path, const std::string& File2Path);

    // Width in pixels of the text in the font on the screen; 0 without a user
    // interface that can measure it.
    static int TrueFontWidth(const TFontInfo& Font, const std::string& Str);

    // Starts the running executable anew, then asks the application to end.
    static void RestartApplication();

    // False when a path component is no valid name or when something already
    // exists at the path.
    static bool IsValidFilePath(const std::string& FileName);

    // Removes a leading UTF-8 byte-order mark from the file in place. Raises
    // EFOpenError when the file cannot be opened and EStreamError when it is
    // shorter than three bytes.
    static void RemoveUTFBoomFromFile(const std::string& FilePath);

    // "1024 bytes", "1.5 KB", "2.25 MB", "1 GB": at most two decimals, the
    // locale's decimal separator.
    static std::string FormatByteSize(std::int64_t Size);
};

} // namespace Norvane::Shared
