// Dialogs: the standard message dialog, message and information boxes, and
// the open and save file dialogs.
#pragma once

#include "platform/ui/Forms.h"

#include <initializer_list>
#include <string>
#include <vector>

namespace Norvane::Platform::Ui {

enum class TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
enum class TMsgDlgBtn {
    mbYes,
    mbNo,
    mbOK,
    mbCancel,
    mbAbort,
    mbRetry,
    mbIgnore,
    mbAll,
    mbNoToAll,
    mbYesToAll,
    mbHelp,
    mbClose
};

class TMsgDlgButtons {
public:
    TMsgDlgButtons() = default;
    TMsgDlgButtons(std::initializer_list<TMsgDlgBtn> Buttons) {
        for (auto b : Buttons)
            Include(b);
    }
    void Include(TMsgDlgBtn B) { FBits |= 1u << static_cast<unsigned>(B); }
    bool Contains(TMsgDlgBtn B) const { return (FBits >> static_cast<unsigned>(B)) & 1u; }
    bool Empty() const { return FBits == 0; }

private:
    unsigned FBits = 0;
};

// The modal result of each standard button.
TModalResult ButtonModalResult(TMsgDlgBtn Button);

// The standard message dialog as a form. Its child controls, in creation
// order, are the icon (TImage), the text (TLabel) and one push button
// (TButton) per button of the set, in the fixed order Yes, No, OK, Cancel,
// Abort, Retry, Ignore, All, No to all, Yes to all, Help, Close. The default
// button is OK, else Yes, else the first; Escape presses the cancel button
// (Cancel, else No, else OK) or, without one, gives mrCancel, as the close box
// does. The dialog belongs to the application object unless freed earlier.
// Captions, when given, replace the buttons' captions in that order; every
// button is made wide enough for its caption.
TForm* CreateMessageDialog(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons,
                           const std::vector<std::string>& Captions = {});
TModalResult MessageDlg(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons);

enum class TMessageBoxKind { Ok, OkCancel, YesNo, YesNoCancel };
enum class TMessageBoxIcon { None, Error, Warning, Information, Question };
// A plain message box, centred on the active window; returns mrOk, mrCancel,
// mrYes or mrNo (the close box gives mrCancel, or mrNo when there is no Cancel).
TModalResult MessageBox(const std::string& Text, const std::string& Caption, TMessageBoxIcon Icon,
                        TMessageBoxKind Kind = TMessageBoxKind::Ok);
// An information box with the application's title and one OK button, centred
// on the screen.
void ShowMessage(const std::string& Text);

struct TFileTypeItem {
    std::string DisplayName;
    std::string FileMask; // "*.txt"; several masks separated by ";"; "*.*" is every file
};

// fdoAllowMultiSelect lets the open dialog take several files (Files()).
enum TFileDialogOption : unsigned {
    fdoOverWritePrompt = 1u << 0,
    fdoFileMustExist = 1u << 1,
    fdoAllowMultiSelect = 1u << 2
};
using TFileDialogOptions = unsigned;

// The toolkit's file chooser, open or save.
class TCustomFileDialog : public TComponent {
public:
    std::string FileName() const { return FFileName; }
    void SetFileName(const std::string& Value) { FFileName = Value; }
    std::string Title() const { return FTitle; }
    void SetTitle(const std::string& Value) { FTitle = Value; }
    std::vector<TFileTypeItem>& FileTypes() { return FFileTypes; }
    const std::vector<TFileTypeItem>& FileTypes() const { return FFileTypes; }
    TFileDialogOptions Options() const { return FOptions; }
    void SetOptions(TFileDialogOptions Value) { FOptions = Value; }
    // The extension (without the dot) a name typed without one gets in the
    // save dialog; empty (the default): the name stays as typed.
    std::string DefaultExtension() const { return FDefaultExtension; }
    void SetDefaultExtension(const std::string& Value) { FDefaultExtension = Value; }
    // Every chosen file's full path after Execute gave true (FileName() is
    // the first); several only with fdoAllowMultiSelect.
    const std::vector<std::string>& Files() const { return FFiles; }
    // Shows the dialog modally, owned by the active window (or Owner); true
    // when a file was chosen, its full path then in FileName().
    bool Execute(TCustomForm* OwnerForm = nullptr);
    bool Executing() const { return FExecuting; }
    // The native dialog while it runs (GtkFileChooser*; IFileDialog* on
    // Windows), for tests.
    void* NativeDialog() const { return FNative; }

protected:
    TCustomFileDialog(TComponent* AOwner, bool ASave) : TComponent(AOwner), FSave(ASave) {}

private:
    // Backend: runs the toolkit's dialog (owned by Owner's window where there
    // is one) and gives every chosen file's full path, none when cancelled.
    std::vector<std::string> RunNative(TCustomForm* Owner);

    bool FSave;
    std::string FFileName;
    std::string FTitle;
    std::vector<TFileTypeItem> FFileTypes;
    std::string FDefaultExtension;
    std::vector<std::string> FFiles;
    TFileDialogOptions FOptions = 0;
    bool FExecuting = false;
    void* FNative = nullptr;
};

class TFileOpenDialog : public TCustomFileDialog {
public:
    explicit TFileOpenDialog(TComponent* AOwner = nullptr) : TCustomFileDialog(AOwner, false) {}
};
class TFileSaveDialog : public TCustomFileDialog {
public:
    explicit TFileSaveDialog(TComponent* AOwner = nullptr) : TCustomFileDialog(AOwner, true) {}
};

// The file chooser running now (the innermost), or null: the hook through which
// tests answer a dialog.
TCustomFileDialog* RunningFileDialog();

} // namespace Norvane::Platform::Ui
