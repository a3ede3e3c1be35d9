// The folders functions: dirExists, deleteDir, createDir and the user's and
// the program's folders.
#include "shared/bridge/BrowserExternalModule.h"

#include "platform/Paths.h"
#include "platform/Process.h"
#include "shared/SysUtils.h"

#include <filesystem>

namespace Norvane::Shared {

namespace fs = std::filesystem;

namespace {

// The folder part of a path, with its trailing "/".
std::string FolderPart(const std::string& Path) {
    const std::size_t slash = Path.rfind('/');
    return slash == std::string::npos ? std::string("/") : Path.substr(0, slash + 1);
}

} // namespace

TBridgeResult TBrowserExternalModule::FoldersDirExists(const TBridgeCall& Call) {
    const std::string dirPath = ReadPathArg(Call.Data, "dirPath");
    std::error_code ec;
    return TBridgeResult::Boolean(fs::is_directory(Platform::PathFromUtf8(ResolvePagePath(dirPath)), ec));
}

TBridgeResult TBrowserExternalModule::FoldersDeleteDir(const TBridgeCall& Call) {
    const std::string path = ResolvePagePath(ReadPathArg(Call.Data, "dirPath"));
    // A large tree takes its time: on the bridge's worker, after the writes.
    return ReplyFromWorker(Call, [path] { return TBridgeResult::Boolean(TSysUtils::DeleteDirectory(path)); });
}

TBridgeResult TBrowserExternalModule::FoldersCreateDir(const TBridgeCall& Call) {
    const std::string path = ResolvePagePath(ReadPathArg(Call.Data, "dirPath"));
    return ReplyFromWorker(Call, [path] {
        const fs::path at = Platform::PathFromUtf8(path);
        std::error_code ec;
        fs::create_directories(at, ec);
        std::error_code statusError;
        const fs::file_status status = fs::status(at, statusError);
        if (fs::is_directory(status))
            return TBridgeResult::Boolean(true);
        if (fs::exists(status))
            return TBridgeResult::Error(NotAFolderText); // a file is in the way
        return TBridgeResult::Error(ec ? ec.message() : "Cannot create folder \"" + path + "\"");
    });
}

TBridgeResult TBrowserExternalModule::FoldersGetTempDir(const TBridgeCall&) {
    return TBridgeResult::EscapedText(TSysUtils::GetTempDirPath());
}

TBridgeResult TBrowserExternalModule::FoldersGetUserDocumentsDir(const TBridgeCall&) {
    return TBridgeResult::EscapedText(TSysUtils::GetUserDocumentsDirPath());
}

TBridgeResult TBrowserExternalModule::FoldersGetUserDesktopDir(const TBridgeCall&) {
    return TBridgeResult::EscapedText(TSysUtils::GetUserDesktopDirPath());
}

TBridgeResult TBrowserExternalModule::FoldersGetAppExecutableDir(const TBridgeCall&) {
    return TBridgeResult::EscapedText(FolderPart(Platform::ExecutablePath()));
}

TBridgeResult TBrowserExternalModule::FoldersGetAppDataDir(const TBridgeCall&) {
    return TBridgeResult::EscapedText(TSysUtils::GetUserAppDataDirPath());
}

} // namespace Norvane::Shared
