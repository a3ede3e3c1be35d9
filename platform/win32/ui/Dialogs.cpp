// Dialogs on Win32: the message dialog as a form of the framework's own
// controls, message boxes of the system, and the shell's common item dialogs
// for opening and saving files.
#include "platform/ui/Dialogs.h"
#include "platform/ui/Application.h"
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

struct TButtonInfo {
    TMsgDlgBtn Button;
    const char* Caption;
    TModalResult Result;
};

// The fixed order in which the dialog creates its buttons.
const TButtonInfo ButtonOrder[] = {
    {TMsgDlgBtn::mbYes, "&Yes", mrYes},
    {TMsgDlgBtn::mbNo, "&No", mrNo},
    {TMsgDlgBtn::mbOK, "OK", mrOk},
    {TMsgDlgBtn::mbCancel, "Cancel", mrCancel},
    {TMsgDlgBtn::mbAbort, "&Abort", mrAbort},
    {TMsgDlgBtn::mbRetry, "&Retry", mrRetry},
    {TMsgDlgBtn::mbIgnore, "&Ignore", mrIgnore},
    {TMsgDlgBtn::mbAll, "&All", mrAll},
    {TMsgDlgBtn::mbNoToAll, "N&o to All", mrNoToAll},
    {TMsgDlgBtn::mbYesToAll, "Yes to &All", mrYesToAll},
    {TMsgDlgBtn::mbHelp, "&Help", mrHelp},
    {TMsgDlgBtn::mbClose, "&Close", mrClose},
};

const char* TypeCaption(TMsgDlgType Type) {
    switch (Type) {
    case TMsgDlgType::mtWarning:
        return "Warning";
    case TMsgDlgType::mtError:
        return "Error";
    case TMsgDlgType::mtInformation:
        return "Information";
    case TMsgDlgType::mtConfirmation:
        return "Confirm";
    case TMsgDlgType::mtCustom:
        break;
    }
    return "";
}

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

class TMessageForm : public TForm {
public:
    explicit TMessageForm(TComponent* AOwner) : TForm(AOwner) {}
    TMsgDlgType Kind = TMsgDlgType::mtCustom;

protected:
    void DoShow() override {
        TForm::DoShow();
        if (Kind == TMsgDlgType::mtError)
            ::MessageBeep(MB_ICONHAND);
        else if (Kind == TMsgDlgType::mtWarning)
            ::MessageBeep(MB_ICONEXCLAMATION);
    }
};

// The owner window of a dialog: the form's top-level window, else none.
HWND OwnerWindow(TCustomForm* Form) {
    return Form && !Form->IsEmbedded() ? static_cast<HWND>(Form->NativeWindow()) : nullptr;
}

std::vector<TCustomFileDialog*>& RunningDialogs() {
    static std::vector<TCustomFileDialog*> dialogs;
    return dialogs;
}

std::string Trim(const std::string& Text) {
    auto b = Text.find_first_not_of(" \t");
    auto e = Text.find_last_not_of(" \t");
    return b == std::string::npos ? std::string() : Text.substr(b, e - b + 1);
}

// "*.txt; *.md" as the system's pattern list "*.txt;*.md".
std::wstring Patterns(const std::string& Masks) {
    std::wstring result;
    std::size_t start = 0;
    for (;;) {
        std::size_t end = Masks.find(';', start);
        std::string mask =
            Trim(Masks.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (!mask.empty()) {
            if (!result.empty())
                result += L';';
            result += Widen(mask);
        }
        if (end == std::string::npos)
            break;
        start = end + 1;
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

// Registers the dialog as running for as long as the object lives.
class TRunningScope {
public:
    TRunningScope(TCustomFileDialog* Dialog, bool& Executing, void*& Native, void* Value)
        : FDialog(Dialog), FExecuting(Executing), FNative(Native) {
        FExecuting = true;
        FNative = Value;
        RunningDialogs().push_back(FDialog);
    }
    ~TRunningScope() {
        auto& dialogs = RunningDialogs();
        dialogs.erase(std::find(dialogs.begin(), dialogs.end(), FDialog));
        FExecuting = false;
        FNative = nullptr;
    }
    TRunningScope(const TRunningScope&) = delete;
    TRunningScope& operator=(const TRunningScope&) = delete;

private:
    TCustomFileDialog* FDialog;
    bool& FExecuting;
    void*& FNative;
};

} // namespace

TModalResult ButtonModalResult(TMsgDlgBtn Button) {
    for (const auto& info : ButtonOrder)
        if (info.Button == Button)
            return info.Result;
    return mrNone;
}

TForm* CreateMessageDialog(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons) {
    Application().Initialize();
    auto* form = new TMessageForm(&Application());
    form->Kind = DlgType;
    form->SetBorderStyle(TBorderStyle::bsDialog);
    form->SetPosition(TPosition::poScreenCenter);
    std::string caption = TypeCaption(DlgType);
    form->SetCaption(caption.empty() ? Application().Title() : caption);

    const int margin = 16, iconSize = 32, gap = 12, buttonGap = 8;
    int textLeft = margin;
    if (unsigned iconId = TypeIcon(DlgType)) {
        auto* icon = new TImage(form);
        icon->SetParent(form);
        icon->SetPicture(Win32::IconToBitmap(
            ::LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(iconId))), iconSize));
        icon->SetBounds(margin, margin, iconSize, iconSize);
        textLeft = margin + iconSize + gap;
    }
    // The text in the message font, broken into lines at a sensible width.
    HFONT font = Win32::CreateMessageFont();
    const SIZE text = Win32::MeasureText(font, Msg, 400);
    auto* label = new TLabel(form);
    label->SetParent(form);
    label->SetWordWrap(true);
    label->SetCaption(Msg);
    label->SetBounds(textLeft, margin, text.cx + 2, text.cy);

    if (Buttons.Empty())
        Buttons.Include(TMsgDlgBtn::mbOK);
    TMsgDlgBtn defaultButton = Buttons.Contains(TMsgDlgBtn::mbOK)    ? TMsgDlgBtn::mbOK
                               : Buttons.Contains(TMsgDlgBtn::mbYes) ? TMsgDlgBtn::mbYes
                                                                     : TMsgDlgBtn::mbHelp;
    TMsgDlgBtn cancelButton = Buttons.Contains(TMsgDlgBtn::mbCancel) ? TMsgDlgBtn::mbCancel
                              : Buttons.Contains(TMsgDlgBtn::mbNo)   ? TMsgDlgBtn::mbNo
                                                                     : TMsgDlgBtn::mbOK;
    bool hasCancel = Buttons.Contains(cancelButton);
    bool defaultSet = false;
    std::vector<TButton*> buttons;
    int buttonH = 26, buttonsW = 0;
    for (const auto& info : ButtonOrder) {
        if (!Buttons.Contains(info.Button))
            continue;
        auto* button = new TButton(form);
        button->SetParent(form);
        button->SetCaption(info.Caption);
        button->SetModalResult(info.Result);
        if (info.Button == defaultButton || (!Buttons.Contains(defaultButton) && !defaultSet)) {
            button->SetDefault(true);
            defaultSet = true;
        }
        if (info.Button == cancelButton)
            button->SetCancel(true);
        const SIZE size = Win32::MeasureText(font, info.Caption);
        buttonH = std::max(buttonH, static_cast<int>(size.cy) + 12);
        button->SetWidth(std::max(88, static_cast<int>(size.cx) + 24));
        buttonsW += button->Width();
        buttons.push_back(button);
    }
    ::DeleteObject(font);
    buttonsW += buttonGap * (static_cast<int>(buttons.size()) - 1);
    int contentH = std::max(static_cast<int>(text.cy), TypeIcon(DlgType) ? iconSize : 0);
    int clientW = std::max(textLeft + static_cast<int>(text.cx) + 2 + margin, buttonsW + 2 * margin);
    clientW = std::max(clientW, 260);
    int buttonsTop = margin + contentH + 20;
    int x = clientW - margin - buttonsW;
    for (TButton* b : buttons) {
        b->SetBounds(x, buttonsTop, b->Width(), buttonH);
        x += b->Width() + buttonGap;
    }
    form->SetClientSize(clientW, buttonsTop + buttonH + margin);
    form->SetKeyPreview(true);
    form->OnKeyDown = [form, hasCancel](TObject*, std::uint16_t& Key, TShiftState) {
        // Without a cancel button Escape closes like the close box.
        if (Key == VK_ESCAPE && !hasCancel) {
            Key = 0;
            form->SetModalResult(mrCancel);
        }
    };
    for (TButton* b : buttons)
        if (b->Default())
            form->SetActiveControl(b);
    return form;
}

TModalResult MessageDlg(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons) {
    TForm* dialog = CreateMessageDialog(Msg, DlgType, Buttons);
    TModalResult result = mrCancel;
    try {
        result = dialog->ShowModal();
    } catch (...) {
        delete dialog;
        throw;
    }
    delete dialog;
    return result;
}

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

TCustomFileDialog* RunningFileDialog() {
    return RunningDialogs().empty() ? nullptr : RunningDialogs().back();
}

bool TCustomFileDialog::Execute(TCustomForm* OwnerForm) {
    Application().Initialize();
    if (FExecuting)
        throw EUiError("The dialog is already open");
    FFiles.clear();
    Win32::ComApartment com;
    if (!com.Usable())
        throw EUiError("The file dialog cannot start: COM is not available");
    Win32::ComRef<IFileDialog> dialog;
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
        std::string extension = FDefaultExtension;
        extension.erase(0, std::min(extension.find_first_not_of('.'), extension.size()));
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
            Win32::ComRef<IShellItem> folder;
            std::wstring folderName = std::filesystem::absolute(path.parent_path(), ec).wstring();
            if (!ec && SUCCEEDED(::SHCreateItemFromParsingName(folderName.c_str(), nullptr, IID_IShellItem,
                                                               reinterpret_cast<void**>(&folder))))
                dialog->SetFolder(folder.Get());
        }
        if (path.has_filename())
            dialog->SetFileName(path.filename().wstring().c_str());
    }

    TCustomForm* owner = OwnerForm ? OwnerForm : Application().ActiveForm();
    HRESULT shown = E_FAIL;
    {
        TRunningScope running(this, FExecuting, FNative, dialog.Get());
        shown = dialog->Show(OwnerWindow(owner));
    }
    if (FAILED(shown))
        return false; // cancelled (or the dialog could not be shown)
    std::vector<std::string> files;
    Win32::ComRef<IFileOpenDialog> open;
    Win32::ComRef<IShellItemArray> items;
    if (!FSave && SUCCEEDED(dialog->QueryInterface(IID_IFileOpenDialog, reinterpret_cast<void**>(&open))) &&
        SUCCEEDED(open->GetResults(&items))) {
        DWORD count = 0;
        items->GetCount(&count);
        for (DWORD i = 0; i < count; ++i) {
            Win32::ComRef<IShellItem> item;
            if (SUCCEEDED(items->GetItemAt(i, &item)))
                if (std::string path = FileSystemPath(item.Get()); !path.empty())
                    files.push_back(std::move(path));
        }
    } else {
        Win32::ComRef<IShellItem> item;
        if (SUCCEEDED(dialog->GetResult(&item)))
            if (std::string path = FileSystemPath(item.Get()); !path.empty())
                files.push_back(std::move(path));
    }
    if (files.empty())
        return false;
    FFileName = files.front();
    FFiles = std::move(files);
    return true;
}

} // namespace Norvane::Platform::Ui
