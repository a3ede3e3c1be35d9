// The dialogs' toolkit-free part: the message dialog as a form of the
// framework's own controls, the file dialogs' bookkeeping, and the helpers
// of platform/ui/DialogParts.h.
#include "platform/ui/Dialogs.h"
#include "platform/ui/Application.h"
#include "platform/ui/DialogParts.h"

#include <algorithm>

namespace Norvane::Platform::Ui {
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

class TMessageForm : public TForm {
public:
    explicit TMessageForm(TComponent* AOwner) : TForm(AOwner) {}
    TMsgDlgType Kind = TMsgDlgType::mtCustom;

protected:
    void DoShow() override {
        TForm::DoShow();
        DialogParts::Alert(Kind);
    }
};

std::vector<TCustomFileDialog*>& RunningDialogs() {
    static std::vector<TCustomFileDialog*> dialogs;
    return dialogs;
}

std::string Trim(const std::string& Text) {
    auto b = Text.find_first_not_of(" \t");
    auto e = Text.find_last_not_of(" \t");
    return b == std::string::npos ? std::string() : Text.substr(b, e - b + 1);
}

} // namespace

namespace DialogParts {

std::vector<std::string> FileMasks(const std::string& Masks) {
    std::vector<std::string> result;
    std::size_t start = 0;
    for (;;) {
        std::size_t end = Masks.find(';', start);
        std::string mask =
            Trim(Masks.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (!mask.empty())
            result.push_back(std::move(mask));
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return result;
}

std::string BareExtension(const std::string& Extension) {
    std::string result = Extension;
    result.erase(0, std::min(result.find_first_not_of('.'), result.size()));
    return result;
}

TRunningScope::TRunningScope(TCustomFileDialog* Dialog, bool& Executing, void*& Native, void* Value)
    : FDialog(Dialog), FExecuting(Executing), FNative(Native) {
    FExecuting = true;
    FNative = Value;
    RunningDialogs().push_back(FDialog);
}

TRunningScope::~TRunningScope() {
    auto& dialogs = RunningDialogs();
    dialogs.erase(std::find(dialogs.begin(), dialogs.end(), FDialog));
    FExecuting = false;
    FNative = nullptr;
}

} // namespace DialogParts

TModalResult ButtonModalResult(TMsgDlgBtn Button) {
    for (const auto& info : ButtonOrder)
        if (info.Button == Button)
            return info.Result;
    return mrNone;
}

TForm* CreateMessageDialog(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons,
                           const std::vector<std::string>& Captions) {
    DialogParts::EnsureStarted();
    auto* form = new TMessageForm(&Application());
    form->Kind = DlgType;
    form->SetBorderStyle(TBorderStyle::bsDialog);
    form->SetPosition(TPosition::poScreenCenter);
    std::string caption = TypeCaption(DlgType);
    form->SetCaption(caption.empty() ? Application().Title() : caption);

    const int margin = 16, gap = 12, buttonGap = 8;
    const bool hasIcon = DlgType != TMsgDlgType::mtCustom;
    const int iconSize = DialogParts::IconSize();
    int textLeft = margin;
    if (hasIcon) {
        auto* icon = new TImage(form);
        icon->SetParent(form);
        DialogParts::SetTypeIcon(icon, DlgType);
        icon->SetBounds(margin, margin, iconSize, iconSize);
        textLeft = margin + iconSize + gap;
    }
    auto* label = new TLabel(form);
    label->SetParent(form);
    label->SetCaption(Msg);
    // The text in the label's font, broken into lines at a sensible width.
    int textW = 0, textH = 0;
    DialogParts::WrapMessage(label, Msg, 400, textW, textH);
    label->SetBounds(textLeft, margin, textW + 2, textH);

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
    for (const auto& info : ButtonOrder) {
        if (!Buttons.Contains(info.Button))
            continue;
        auto* button = new TButton(form);
        button->SetParent(form);
        button->SetCaption(buttons.size() < Captions.size() ? Captions[buttons.size()] : info.Caption);
        button->SetModalResult(info.Result);
        if (info.Button == defaultButton || (!Buttons.Contains(defaultButton) && !defaultSet)) {
            button->SetDefault(true);
            defaultSet = true;
        }
        if (info.Button == cancelButton)
            button->SetCancel(true);
        buttons.push_back(button);
    }
    int buttonH = 0, buttonsW = 0;
    for (TButton* b : buttons) {
        int w = 0, h = 0;
        DialogParts::ButtonSize(b, w, h);
        buttonH = std::max(buttonH, h);
        b->SetWidth(std::max(88, w));
        buttonsW += b->Width();
    }
    buttonsW += buttonGap * (static_cast<int>(buttons.size()) - 1);
    int contentH = std::max(textH, hasIcon ? iconSize : 0);
    int clientW = std::max(textLeft + textW + 2 + margin, buttonsW + 2 * margin);
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

// File dialogs.

TCustomFileDialog* RunningFileDialog() {
    return RunningDialogs().empty() ? nullptr : RunningDialogs().back();
}

bool TCustomFileDialog::Execute(TCustomForm* OwnerForm) {
    DialogParts::EnsureStarted();
    if (FExecuting)
        throw EUiError("The dialog is already open");
    FFiles.clear();
    TCustomForm* owner = OwnerForm ? OwnerForm : Application().ActiveForm();
    std::vector<std::string> files = RunNative(owner);
    if (files.empty())
        return false;
    FFileName = files.front();
    FFiles = std::move(files);
    return true;
}

} // namespace Norvane::Platform::Ui
