// Dialogs on Win32: the system's part of the message dialog
// (platform/ui/DialogParts.h), message boxes of the system, and the shell's
// common item dialogs for opening and saving files.
#include "platform/ui/Dialogs.h"
#include "platform/ui/Application.h"
#include "platform/ui/DialogParts.h"
#include "platform/win32/ui/Win32Graphics.h"

#include <shobjidl.h>
// The framework has a MessageBox function of its own.
#undef MessageBox

#include <algorithm>
#include <filesystem>
#include <vector>

namespace Norvane::Platform::Ui {

using Platform::Win32::Narrow;
using Platform::Win32::Widen;

namespace {

// The system's icon of the type (the number of its resource), or 0.
unsigned TypeIcon(TMsgDlgType Type) {
    switch (Type) {
    case TMsgDlgType::mtWarning:
        return 32515; // IDI_WARNING
    case TMsgDlgType::mtError:
        return 32513; // IDI_ERROR
    case TMsgDlgType::mtInformation:
        return 32516; // IDI_INFORMATION
    case TMsgDlgType::mtConfirmation:
        return 32514; // IDI_QUESTION
    case TMsgDlgType::mtCustom:
        break;
    }
    return 0;
}

// The owner window of a dialog: the form's top-level window, else none.
HWND OwnerWindow(TCustomForm* Form) {
    return Form && !Form->IsEmbedded() ? static_cast<HWND>(Form->NativeWindow()) : nullptr;
}

// "*.txt; *.md" as the system's pattern list "*.txt;*.md".
std::wstring Patterns(const std::string& Masks) {
    std::wstring result;
    for (const std::string& mask : DialogParts::FileMasks(Masks)) {
        if (!result.empty())
            result += L';';
        result += Widen(mask);
    }
    return result.empty() ? std::wstring(L"*.*") : result;
}

// The item's path in the file system, empty when it has none.
std::string FileSystemPath(IShellItem* Item) {
    PWSTR name = nullptr;
    if (FAILED(Item->GetDisplayName(SIGDN_FILESYSPATH, &name)) || !name)
        return {};
    std::string path = Narrow(name);
    ::CoTaskMemFree(name);
    return path;
}

} // namespace

namespace DialogParts {

void EnsureStarted() {
    Application().Initialize();
}

void Alert(TMsgDlgType Type) {
    if (Type == TMsgDlgType::mtError)
        ::MessageBeep(MB_ICONHAND);
    else if (Type == TMsgDlgType::mtWarning)
        ::MessageBeep(MB_ICONEXCLAMATION);
}

int IconSize() {
    return 32;
}

void SetTypeIcon(TImage* Image, TMsgDlgType Type) {
    Image->SetPicture(Win32Ui::IconToBitmap(
        ::LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(TypeIcon(Type)))), IconSize()));
}

void WrapMessage(TLabel* Label, const std::string& Msg, int MaxWidth, int& Width, int& Height) {
    HFONT font = Win32Ui::CreateMessageFont();
    const SIZE text = Win32Ui::MeasureText(font, Msg, MaxWidth);
    ::DeleteObject(font);
    Label->SetWordWrap(true);
    Width = static_cast<int>(text.cx);
    Height = static_cast<int>(text.cy);
}

void ButtonSize(TButton* Button, int& Width, int& Height) {
    HFONT font = Win32Ui::CreateMessageFont();
    const SIZE size = Win32Ui::MeasureText(font, Button->Caption());
    ::DeleteObject(font);
    Width = static_cast<int>(size.cx) + 24;
    Height = std::max(26, static_cast<int>(size.cy) + 12);
}

} // namespace DialogParts

TModalResult MessageBox(const std::string& Text, const std::string& Caption, TMessageBoxIcon Icon,
                        TMessageBoxKind Kind) {
    Application().Initialize();
    UINT flags = 0;
    switch (Icon) {
    case TMessageBoxIcon::Error:
        flags |= MB_ICONERROR;
        break;
    case TMessageBoxIcon::Warning:
        flags |= MB_ICONWARNING;
        break;
    case TMessageBoxIcon::Information:
        flags |= MB_ICONINFORMATION;
        break;
    case TMessageBoxIcon::Question:
        flags |= MB_ICONQUESTION;
        break;
    case TMessageBoxIcon::None:
        break;
    }
    switch (Kind) {
    case TMessageBoxKind::Ok:
        flags |= MB_OK;
        break;
    case TMessageBoxKind::OkCancel:
        flags |= MB_OKCANCEL;
        break;
    case TMessageBoxKind::YesNo:
        flags |= MB_YESNO;
        break;
    case TMessageBoxKind::YesNoCancel:
        flags |= MB_YESNOCANCEL;
        break;
    }
    HWND owner = OwnerWindow(Application().ActiveForm());
    if (!owner)
        flags |= MB_TASKMODAL;
    switch (::MessageBoxW(owner, Widen(Text).c_str(), Widen(Caption).c_str(), flags)) {
    case IDOK:
        return mrOk;
    case IDYES:
        return mrYes;
    case IDNO:
        return mrNo;
    default:
        // The close box (or a failure): Cancel, or what stands for it.
        return Kind == TMessageBoxKind::YesNo ? mrNo : (Kind == TMessageBoxKind::Ok ? mrOk : mrCancel);
    }
}

void ShowMessage(const std::string& Text) {
    Application().Initialize();
    ::MessageBoxW(nullptr, Widen(Text).c_str(), Widen(Application().Title()).c_str(),
                  MB_OK | MB_ICONINFORMATION | MB_TASKMODAL | MB_SETFOREGROUND);
}

// File dialogs.

std::vector<std::string> TCustomFileDialog::RunNative(TCustomForm* Owner) {
    Win32Ui::ComApartment com;
    if (!com.Usable())
        throw EUiError("The file dialog cannot start: COM is not available");
    Win32Ui::ComRef<IFileDialog> dialog;
    if (FAILED(::CoCreateInstance(FSave ? CLSID_FileSaveDialog : CLSID_FileOpenDialog, nullptr,
                                  CLSCTX_INPROC_SERVER, FSave ? IID_IFileSaveDialog : IID_IFileOpenDialog,
                                  reinterpret_cast<void**>(&dialog))))
        throw EUiError("The file dialog cannot be created");

    // File types: the strings stay alive until the dialog has copied them.
    std::vector<std::wstring> names, patterns;
    std::vector<COMDLG_FILTERSPEC> specs;
    for (const auto& type : FFileTypes) {
        names.push_back(Widen(type.DisplayName));
        patterns.push_back(Patterns(type.FileMask));
    }
    for (std::size_t i = 0; i < names.size(); ++i)
        specs.push_back(COMDLG_FILTERSPEC{names[i].c_str(), patterns[i].c_str()});
    if (!specs.empty()) {
        dialog->SetFileTypes(static_cast<UINT>(specs.size()), specs.data());
        dialog->SetFileTypeIndex(1);
    }
    // A name typed without an extension gets the default one (the system
    // asks before overwriting under the completed name).
    if (FSave) {
        const std::string extension = DialogParts::BareExtension(FDefaultExtension);
        if (!extension.empty())
            dialog->SetDefaultExtension(Widen(extension).c_str());
    }

    FILEOPENDIALOGOPTIONS options = 0;
    dialog->GetOptions(&options);
    options |= FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST | FOS_NOCHANGEDIR;
    if (FSave)
        options = (FOptions & fdoOverWritePrompt) ? (options | FOS_OVERWRITEPROMPT)
                                                  : (options & ~FOS_OVERWRITEPROMPT);
    if (FOptions & fdoFileMustExist)
        options |= FOS_FILEMUSTEXIST;
    if (!FSave && (FOptions & fdoAllowMultiSelect))
        options |= FOS_ALLOWMULTISELECT;
    dialog->SetOptions(options);
    if (!FTitle.empty())
        dialog->SetTitle(Widen(FTitle).c_str());

    // The initial folder and name from FileName.
    if (!FFileName.empty()) {
        std::filesystem::path path(Widen(FFileName));
        std::error_code ec;
        if (path.has_parent_path() && std::filesystem::is_directory(path.parent_path(), ec)) {
            Win32Ui::ComRef<IShellItem> folder;
            std::wstring folderName = std::filesystem::absolute(path.parent_path(), ec).wstring();
            if (!ec && SUCCEEDED(::SHCreateItemFromParsingName(folderName.c_str(), nullptr, IID_IShellItem,
                                                               reinterpret_cast<void**>(&folder))))
                dialog->SetFolder(folder.Get());
        }
        if (path.has_filename())
            dialog->SetFileName(path.filename().wstring().c_str());
    }

    HRESULT shown = E_FAIL;
    {
        DialogParts::TRunningScope running(this, FExecuting, FNative, dialog.Get());
        shown = dialog->Show(OwnerWindow(Owner));
    }
    if (FAILED(shown))
        return {}; // cancelled (or the dialog could not be shown)
    std::vector<std::string> files;
    Win32Ui::ComRef<IFileOpenDialog> open;
    Win32Ui::ComRef<IShellItemArray> items;
    if (!FSave && SUCCEEDED(dialog->QueryInterface(IID_IFileOpenDialog, reinterpret_cast<void**>(&open))) &&
        SUCCEEDED(open->GetResults(&items))) {
        DWORD count = 0;
        items->GetCount(&count);
        for (DWORD i = 0; i < count; ++i) {
            Win32Ui::ComRef<IShellItem> item;
            if (SUCCEEDED(items->GetItemAt(i, &item)))
                if (std::string path = FileSystemPath(item.Get()); !path.empty())
                    files.push_back(std::move(path));
        }
    } else {
        Win32Ui::ComRef<IShellItem> item;
        if (SUCCEEDED(dialog->GetResult(&item)))
            if (std::string path = FileSystemPath(item.Get()); !path.empty())
                files.push_back(std::move(path));
    }
    return files;
}

} // namespace Norvane::Platform::Ui
