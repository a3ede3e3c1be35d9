// Pieces that the backends of the user-interface framework (GTK, Win32) share
// with its portable sources: exception guards for toolkit callbacks, the hook
// installation of platform/Ui.h and the register of live forms. Not for
// callers of the framework.
#pragma once

#include "platform/Ui.h"
#include "platform/ui/Application.h"
#include "platform/ui/Controls.h"
#include "platform/ui/Forms.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace Norvane::Platform::Ui {

// Runs a piece at a toolkit callback boundary; an exception goes to the
// application's error report.
template <class F> void Guard(F&& Piece) noexcept {
    Application().Guard(std::forward<F>(Piece));
}
template <class R, class F> R GuardOr(R Fallback, F&& Piece) noexcept {
    R result = Fallback;
    Application().Guard([&] { result = Piece(); });
    return result;
}

// Installs the hooks of platform/Ui.h: the backend fills in the ones that need
// the toolkit (waiting for messages, key presses, file icons, text widths);
// message boxes, message processing, termination and window captions are
// added here.
void InstallUiHooks(Platform::UiHooks Hooks);

// Whether a form exists (has been made and not yet destroyed); kept by the
// backend.
bool IsLiveForm(const TCustomForm* Form);

// The buttons inside a control, at any depth, in the order of the controls.
void CollectButtons(TWinControl* Parent, std::vector<TButton*>& List);
// Escape clicks the first shown, enabled cancel button inside Parent, Enter
// the first such default button unless the focus is on a button; true when a
// button was clicked.
bool ClickDefaultOrCancelButton(TWinControl* Parent, std::uint16_t Key, bool FocusOnButton);

} // namespace Norvane::Platform::Ui
