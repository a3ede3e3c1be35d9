// The menus' toolkit-free part: the item tree, its properties, short-cuts and
// the menu's image list. Each backend shows the tree (UpdateNative,
// UpdateImage, the child lists) in its own menu widgets.
#include "platform/ui/Menus.h"
#include "platform/Text.h"
#include "platform/ui/ImageList.h"
#include "platform/ui/MenuParts.h"

#include <algorithm>
#include <string_view>

namespace Norvane::Platform::Ui {

char32_t CaptionAccessKey(const std::string& Caption) {
    for (std::size_t i = 0; i + 1 < Caption.size(); ++i) {
        if (Caption[i] != '&')
            continue;
        if (Caption[i + 1] == '&') {
            ++i;
            continue;
        }
        std::size_t end = i + 1;
        char32_t c = Text::NextCodePoint(Caption, end);
        if (!Text::IsValidUtf8(std::string_view(Caption).substr(i + 1, end - i - 1)))
            return 0;
        return MenuParts::LowerCase(c);
    }
    return 0;
}

// TMenuItem.

bool TMenuItem::EnabledUpward() const {
    for (const TMenuItem* item = this; item; item = item->Parent())
        if (!item->Enabled())
            return false;
    return true;
}

void TMenuItem::SetVisible(bool Value) {
    FVisible = Value;
    UpdateNative();
}

void TMenuItem::SetImageIndex(int Value) {
    FImageIndex = Value;
    UpdateImage();
}

void TMenuItem::SetImageName(const std::string& Value) {
    FImageName = Value;
    TMainMenu* menu = GetMenu();
    if (TCustomImageList* images = menu ? menu->LiveImages() : nullptr) {
        int index = images->IndexOfName(Value);
        if (index >= 0)
            FImageIndex = index;
    }
    UpdateImage();
}

void TMenuItem::SetShortCut(TShortCut Value) {
    FShortCut = Value;
    UpdateNative();
}

void TMenuItem::Click() {
    if (FEnabled && OnClick)
        OnClick(this);
}

int TMenuItem::MenuIndex() const {
    if (!FParentItem)
        return -1;
    auto& list = FParentItem->FItems;
    return static_cast<int>(std::find(list.begin(), list.end(), this) - list.begin());
}

void TMenuItem::Add(TMenuItem* Item) {
    Insert(Count(), Item);
}

// An item can go under any item but itself and those above it.
void TMenuItem::Insert(int Index, TMenuItem* Item) {
    if (!Item)
        throw EUiError("Invalid menu item");
    for (const TMenuItem* up = this; up; up = up->FParentItem)
        if (up == Item)
            throw EUiError("Invalid menu item");
    if (Item->FParentItem)
        Item->FParentItem->Remove(Item);
    Index = std::clamp(Index, 0, Count());
    FItems.insert(FItems.begin() + Index, Item);
    Item->FParentItem = this;
    AttachChildWidget(Item, Index);
}

void TMenuItem::Remove(TMenuItem* Item) {
    auto it = std::find(FItems.begin(), FItems.end(), Item);
    if (it == FItems.end())
        return;
    DetachChildWidget(Item);
    FItems.erase(it);
    Item->FParentItem = nullptr;
    UpdateSubmenu();
}

void TMenuItem::Delete(int Index) {
    delete Items(Index);
}

void TMenuItem::Clear() {
    while (!FItems.empty())
        delete FItems.back();
}

TMenuItem* TMenuItem::FindItemByShortCut(TShortCut Value) {
    if (Value == scNone)
        return nullptr;
    if (!FIsRoot && FShortCut == Value)
        return this;
    for (TMenuItem* child : FItems)
        if (TMenuItem* found = child->FindItemByShortCut(Value))
            return found;
    return nullptr;
}

TMainMenu* TMenuItem::GetMenu() const {
    const TMenuItem* item = this;
    while (item->FParentItem)
        item = item->FParentItem;
    return item->FIsRoot ? item->FMenu : nullptr;
}

// TMainMenu.

void TMainMenu::SetImages(TCustomImageList* Value) {
    if (auto notifier = FImagesNotifier.lock())
        notifier->Remove(FImagesLink);
    FImagesNotifier.reset();
    FImages = Value;
    if (Value) {
        FImagesNotifier = Value->Notifier();
        if (auto notifier = FImagesNotifier.lock())
            FImagesLink = notifier->Add([this] { ImagesChanged(); });
    }
    ImagesChanged();
}

void TMainMenu::ImagesChanged() {
    FItems->UpdateImage();
}

bool TMainMenu::IsShortCut(TShortCut Value) {
    TMenuItem* item = FItems->FindItemByShortCut(Value);
    if (!item || !item->EnabledUpward())
        return false;
    item->Click();
    return true;
}

} // namespace Norvane::Platform::Ui
