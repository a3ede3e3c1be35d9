// The portable part of forms: creation and destruction events, constraints,
// short-cuts, the active control, showing, closing and releasing. The
// backends (platform/gtk/Forms.cpp, platform/win32/ui/Forms.cpp) hold the
// native window.
#include "platform/ui/Forms.h"
#include "platform/ui/Application.h"
#include "platform/ui/BackendInternal.h"
#include "platform/ui/Menus.h"

#include <algorithm>

namespace Norvane::Platform::Ui {

void CollectButtons(TWinControl* Parent, std::vector<TButton*>& List) {
    for (int i = 0; i < Parent->ControlCount(); ++i) {
        if (auto* b = dynamic_cast<TButton*>(Parent->Controls(i)))
            List.push_back(b);
        if (auto* w = dynamic_cast<TWinControl*>(Parent->Controls(i)))
            CollectButtons(w, List);
    }
}

bool ClickDefaultOrCancelButton(TWinControl* Parent, std::uint16_t Key, bool FocusOnButton) {
    std::vector<TButton*> buttons;
    CollectButtons(Parent, buttons);
    for (TButton* b : buttons) {
        if (!b->Showing() || !b->Enabled())
            continue;
        if ((Key == VK_ESCAPE && b->Cancel()) || (Key == VK_RETURN && b->Default() && !FocusOnButton)) {
            b->Click();
            return true;
        }
    }
    return false;
}

void TCustomForm::AfterConstruction() {
    if (FCreated)
        return;
    FCreated = true;
    if (OnCreate)
        OnCreate(this);
}

void TCustomForm::BeforeDestruction() {
    if (FDestroyed)
        return;
    FDestroyed = true;
    if (OnDestroy)
        Guard([&] { OnDestroy(this); });
}

void TCustomForm::ClampToConstraints(int& Width, int& Height) const {
    if (FConstraints.MaxWidth > 0)
        Width = std::min(Width, FConstraints.MaxWidth);
    if (FConstraints.MaxHeight > 0)
        Height = std::min(Height, FConstraints.MaxHeight);
    if (FConstraints.MinWidth > 0)
        Width = std::max(Width, FConstraints.MinWidth);
    if (FConstraints.MinHeight > 0)
        Height = std::max(Height, FConstraints.MinHeight);
}

void TCustomForm::RememberNormalPlace() {
    FNormalLeft = Left();
    FNormalTop = Top();
}

void TCustomForm::SetBorderStyle(TBorderStyle Value) {
    if (FBorderStyle == Value)
        return;
    FBorderStyle = Value;
    ApplyBorderStyle();
}

void TCustomForm::SetColor(TColor Value) {
    TWinControl::SetColor(Value);
}

bool TCustomForm::IsShortCut(const TWMKey& Message) {
    if (Message.Msg != WM_KEYDOWN && Message.Msg != WM_SYSKEYDOWN)
        return false;
    if (OnShortCut) {
        bool handled = false;
        OnShortCut(Message, handled);
        if (handled)
            return true;
    }
    return FMenu && FMenu->IsShortCut(Message);
}

void TCustomForm::HandleFocusWidget(void* Widget) {
    TControl* control = Widget ? TControl::FromWidget(Widget) : nullptr;
    while (control && (!dynamic_cast<TWinControl*>(control) || dynamic_cast<TCustomForm*>(control)))
        control = control->Parent();
    SetActiveControl(static_cast<TWinControl*>(control));
}

void TCustomForm::SetActiveControl(TWinControl* Control) {
    if (Control == FActiveControl)
        return;
    TWinControl* old = FActiveControl;
    FActiveControl = Control;
    if (old)
        old->DoExit();
    if (Control) {
        Control->DoEnter();
        if (!Control->Focused() && Control->CanFocus() && FActiveControl == Control)
            Control->SetFocus();
    }
}

void TCustomForm::ControlDestroyed(const TControl* Control) {
    if (Control && FActiveControl == Control)
        FActiveControl = nullptr;
}

void TCustomForm::Show() {
    AfterConstruction();
    SetVisible(true);
    BringToFront();
}

void TCustomForm::Hide() {
    SetVisible(false);
}

void TCustomForm::DoShow() {
    if (OnShow)
        OnShow(this);
}

void TCustomForm::DoHide() {
    if (OnHide)
        OnHide(this);
}

void TCustomForm::CloseModal() {
    TCloseAction action = TCloseAction::caHide;
    if (CloseQuery())
        DoClose(action);
    else
        action = TCloseAction::caNone;
    if (action == TCloseAction::caNone)
        FModalResult = mrNone;
}

bool TCustomForm::CloseQuery() {
    bool canClose = true;
    if (OnCloseQuery)
        OnCloseQuery(this, canClose);
    return canClose;
}

void TCustomForm::DoClose(TCloseAction& Action) {
    if (OnClose)
        OnClose(this, Action);
}

void TCustomForm::Close() {
    if (FModalLoop) {
        SetModalResult(mrCancel);
        return;
    }
    if (!CloseQuery())
        return;
    bool isMain = Application().MainForm() == this;
    TCloseAction action = isMain ? TCloseAction::caFree : TCloseAction::caHide;
    DoClose(action);
    if (action == TCloseAction::caNone)
        return;
    if (isMain) {
        Application().Terminate();
        return;
    }
    switch (action) {
    case TCloseAction::caHide:
        Hide();
        break;
    case TCloseAction::caMinimize:
        SetWindowState(TWindowState::wsMinimized);
        break;
    case TCloseAction::caFree:
        Release();
        break;
    case TCloseAction::caNone:
        break;
    }
}

void TCustomForm::Release() {
    Hide();
    Application().Queue([this] {
        if (IsLiveForm(this))
            delete this;
    });
}

void TCustomForm::HandleDeleteRequest() {
    Close();
}

} // namespace Norvane::Platform::Ui
