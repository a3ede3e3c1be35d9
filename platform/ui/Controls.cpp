// The portable part of the control bases: alignment, visibility, bounds from
// the layout, colours, cursors, the list of children, tab order and focus
// traversal, window commands. The backends (platform/gtk/Controls.cpp,
// platform/win32/ui/Controls.cpp) hold the native widgets.
#include "platform/ui/Controls.h"
#include "platform/ui/BackendInternal.h"
#include "platform/ui/Forms.h"

#include <algorithm>

namespace Norvane::Platform::Ui {

void TControl::SetAlign(TAlign Value) {
    if (FAlign == Value)
        return;
    FAlign = Value;
    RequestLayout();
}

void TControl::SetVisible(bool Value) {
    if (FVisible == Value)
        return;
    FVisible = Value;
    ApplyVisible();
    RequestLayout();
    VisibleChanged();
}

void TControl::UpdateBoundsFromLayout(int ALeft, int ATop, int AWidth, int AHeight) {
    bool resized = AWidth != FWidth || AHeight != FHeight;
    bool moved = ALeft != FLeft || ATop != FTop;
    FLeft = ALeft;
    FTop = ATop;
    FWidth = AWidth;
    FHeight = AHeight;
    if (resized)
        Guard([&] { Resize(); });
    if (moved && OnMove)
        Guard([&] { OnMove(this); });
}

void TControl::Resize() {
    if (OnResize)
        OnResize(this);
}

void TControl::SetColor(TColor Value) {
    FColor = Value;
    ApplyColor();
}

void TControl::SetCursor(TCursor Value) {
    FCursor = Value;
    ApplyCursor();
}

TCustomForm* TControl::GetParentForm() const {
    const TControl* control = this;
    while (control->FParent)
        control = control->FParent;
    return dynamic_cast<TCustomForm*>(const_cast<TControl*>(control));
}

void TWinControl::InsertControl(TControl* Control) {
    FControls.push_back(Control);
    Control->FParent = this;
}

void TWinControl::RemoveControl(TControl* Control) {
    auto it = std::find(FControls.begin(), FControls.end(), Control);
    if (it != FControls.end())
        FControls.erase(it);
    Control->FParent = nullptr;
}

void TWinControl::ReapplyColors() {
    ApplyColor();
    for (TControl* control : FControls) {
        if (auto* windowed = dynamic_cast<TWinControl*>(control))
            windowed->ReapplyColors();
        else
            control->ApplyColor();
    }
}

void TWinControl::SetTabStop(bool Value) {
    FTabStop = Value;
}

int TWinControl::TabOrder() const {
    if (!Parent())
        return -1;
    int order = 0;
    for (TControl* c : Parent()->FControls) {
        if (c == this)
            return order;
        if (dynamic_cast<TWinControl*>(c))
            ++order;
    }
    return -1;
}

void TWinControl::SetTabOrder(int Value) {
    if (!Parent())
        return;
    auto& list = Parent()->FControls;
    list.erase(std::find(list.begin(), list.end(), this));
    int order = 0;
    auto it = list.begin();
    for (; it != list.end(); ++it) {
        if (!dynamic_cast<TWinControl*>(*it))
            continue;
        if (order == Value)
            break;
        ++order;
    }
    list.insert(it, this);
}

void TWinControl::DoEnter() {
    if (OnEnter)
        OnEnter(this);
}

void TWinControl::DoExit() {
    if (OnExit)
        OnExit(this);
}

void TWinControl::CollectTabList(std::vector<TWinControl*>& List) const {
    for (TControl* c : FControls)
        if (auto* w = dynamic_cast<TWinControl*>(c)) {
            List.push_back(w);
            w->CollectTabList(List);
        }
}

TWinControl* TWinControl::FindNextControl(TWinControl* CurControl, bool GoForward, bool CheckTabStop) const {
    std::vector<TWinControl*> list;
    CollectTabList(list);
    int n = static_cast<int>(list.size());
    if (n == 0)
        return nullptr;
    auto found = std::find(list.begin(), list.end(), CurControl);
    int start = found == list.end() ? (GoForward ? n - 1 : 0) : static_cast<int>(found - list.begin());
    int i = start;
    do {
        i = GoForward ? (i + 1) % n : (i - 1 + n) % n;
        TWinControl* candidate = list[static_cast<std::size_t>(i)];
        if (candidate != CurControl && candidate->CanFocus() && (candidate->TabStop() || !CheckTabStop))
            return candidate;
    } while (i != start);
    return nullptr;
}

void TWinControl::SelectNext(TWinControl* CurControl, bool GoForward, bool CheckTabStop) {
    if (TWinControl* next = FindNextControl(CurControl, GoForward, CheckTabStop))
        next->SetFocus();
}

void TWinControl::NotifySysCommand(unsigned Command) {
    SysCommand(Command);
    auto copy = FControls;
    for (TControl* c : copy)
        if (auto* w = dynamic_cast<TWinControl*>(c))
            w->NotifySysCommand(Command);
}

} // namespace Norvane::Platform::Ui
