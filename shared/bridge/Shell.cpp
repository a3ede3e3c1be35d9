// The shell functions: execute, explore, command and windows.
#include "shared/bridge/BrowserExternalModule.h"

#include "platform/System.h"
#include "shared/SysUtils.h"

#include <thread>

namespace Norvane::Shared {

TBridgeResult TBrowserExternalModule::ShellExecute(const TBridgeCall& Call) {
    const std::string filePath = ReadTextArg(Call.Data, "filePath");
    const std::string arguments = ReadTextArg(Call.Data, "arguments");
    AcceptPath(filePath, "Missing filePath");
    if (TSysUtils::ShellExec(filePath, arguments))
        return TBridgeResult::Boolean(true);
    return TBridgeResult::Error(Platform::LastErrorMessage());
}

TBridgeResult TBrowserExternalModule::ShellExplore(const TBridgeCall& Call) {
    const std::string filePath = ReadPathArg(Call.Data, "filePath");
    if (TSysUtils::ShellExplore(filePath))
        return TBridgeResult::Boolean(true);
    return TBridgeResult::Error(Platform::LastErrorMessage());
}

TBridgeResult TBrowserExternalModule::ShellCommand(const TBridgeCall& Call) {
    const std::string command = ReadTextArg(Call.Data, "command");
    const std::string workingDir = ReadTextArg(Call.Data, "workingDir");
    const bool showWindow = ReadTextArg(Call.Data, "showWindow", "false") == "true";
    if (command.empty())
        return TBridgeResult::Error("Missing command");
    AcceptPath(workingDir);
    // The command runs beside the window, which goes on answering calls and
    // repainting; its output is the reply once it ends (replies go by their
    // ids, in any order). A window closed meanwhile gets no reply.
    // A thread of its own, not the bridge's worker: a command may run for as
    // long as it likes without holding back the file functions.
    std::thread([Uuid = Call.Uuid, command, workingDir, showWindow, this] {
        TBridgeResult result = TBridgeResult::NoReply();
        try {
            result = TBridgeResult::EscapedText(TSysUtils::GetDosOutput(command, workingDir, showWindow));
        } catch (const std::exception& error) {
            result = TBridgeResult::Error(error.what());
        }
        QueueReply(Uuid, std::move(result));
    }).detach();
    return TBridgeResult::NoReply();
}

TBridgeResult TBrowserExternalModule::ShellWindows(const TBridgeCall&) {
    std::vector<std::string> captions;
    TSysUtils::GetWindowsCaptions(captions);
    return TBridgeResult::Strings(captions);
}

} // namespace Norvane::Shared
