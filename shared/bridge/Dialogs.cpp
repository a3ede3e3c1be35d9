// The dialogs functions: openFile and saveFile.
#include "shared/bridge/BrowserExternalModule.h"

#include "shared/StrUtils.h"

namespace Norvane::Shared {

using namespace Platform::Ui;

TBridgeResult TBrowserExternalModule::RunFileDialog(const TJsonValue& Data, TCustomFileDialog& Dialog,
                                                    std::string_view DefaultTitle, bool Save) {
    const std::string fileName = ReadTextArg(Data, "fileName");
    const std::string title = ReadTextArg(Data, "title", DefaultTitle);
    const std::string fileTypes = ReadTextArg(Data, "fileTypes");
    const bool overwritePrompt = Save && ReadBoolArg(Data, "overwritePrompt", false);
    // A nested request while this dialog shows leaves the dialog alone, so
    // that the first request gets its own result.
    if (Dialog.Executing())
        return TBridgeResult::Error(FileDialogBusyText);
    Dialog.FileTypes().clear();
    Dialog.SetFileName(fileName);
    Dialog.SetTitle(title);
    if (!fileTypes.empty())
        for (const std::string& entry : TStrUtils::ExplodeStrings(";", fileTypes)) {
            TStringArray pieces = TStrUtils::ExplodeStrings("|", entry);
            if (pieces.size() == 2)
                Dialog.FileTypes().push_back({pieces[0], pieces[1]});
        }
    if (Save) {
        TFileDialogOptions options = Dialog.Options();
        options = overwritePrompt ? (options | fdoOverWritePrompt)
                                  : (options & ~TFileDialogOptions(fdoOverWritePrompt));
        Dialog.SetOptions(options);
    }
    return TBridgeResult::EscapedText(Dialog.Execute() ? Dialog.FileName() : std::string());
}

TBridgeResult TBrowserExternalModule::DialogsOpenFile(const TBridgeCall& Call) {
    return RunFileDialog(Call.Data, *FileOpenDialog, "Open file", false);
}

TBridgeResult TBrowserExternalModule::DialogsSaveFile(const TBridgeCall& Call) {
    return RunFileDialog(Call.Data, *FileSaveDialog, "Save file", true);
}

} // namespace Norvane::Shared
