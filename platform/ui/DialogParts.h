// The dialogs' internals shared by the portable part (platform/ui/Dialogs.cpp)
// and each backend: what the portable part asks of the toolkit, implemented
// once per backend, and small helpers both file choosers use.
#pragma once

#include "platform/ui/Dialogs.h"

#include <string>
#include <vector>

namespace Norvane::Platform::Ui::DialogParts {

// Backend: starts the toolkit before a dialog is made.
void EnsureStarted();
// Backend: sounds the system's alert of a message dialog of the type.
void Alert(TMsgDlgType Type);
// Backend: the size in pixels of a message dialog's icon, and the type's icon
// (not mtCustom, which has none) put into Image at that size.
int IconSize();
void SetTypeIcon(TImage* Image, TMsgDlgType Type);
// Backend: makes the label (parented, with the message as caption) break its
// text into lines and gives the size of that text wrapped at MaxWidth.
void WrapMessage(TLabel* Label, const std::string& Msg, int MaxWidth, int& Width, int& Height);
// Backend: the width and height a dialog button (parented, with its caption)
// needs; the height is at least the toolkit's usual one.
void ButtonSize(TButton* Button, int& Width, int& Height);

// The masks of a file type's "*.txt; *.md", trimmed, without empty ones.
std::vector<std::string> FileMasks(const std::string& Masks);
// The default extension without leading dots.
std::string BareExtension(const std::string& Extension);

// Registers a file dialog as running (RunningFileDialog) and executing, with
// its native dialog, for as long as the object lives.
class TRunningScope {
public:
    TRunningScope(TCustomFileDialog* Dialog, bool& Executing, void*& Native, void* Value);
    ~TRunningScope();
    TRunningScope(const TRunningScope&) = delete;
    TRunningScope& operator=(const TRunningScope&) = delete;

private:
    TCustomFileDialog* FDialog;
    bool& FExecuting;
    void*& FNative;
};

} // namespace Norvane::Platform::Ui::DialogParts
