// Menus on Win32: the menu bar is an HMENU of the form's window; an item with
// children has a pop-up HMENU of its own. A change to an item fills its
// parent's HMENU again. Items are told apart by command ids.
#include "platform/ui/MenuParts.h"
#include "platform/win32/ui/Win32Ui.h"

#include <algorithm>
#include <map>

namespace Norvane::Platform::Ui {

using namespace Win32Ui;

namespace {

// Command ids of the items (WM_COMMAND carries 16 bits; 0 is not used).
std::map<unsigned, TMenuItem*>& ItemsById() {
    static auto* items = new std::map<unsigned, TMenuItem*>();
    return *items;
}

unsigned NewCommandId(TMenuItem* Item) {
    static unsigned last = 0;
    auto& items = ItemsById();
    if (items.size() >= 0xFFFE)
        throw EUiError("Too many menu items");
    do
        last = last % 0xFFFF + 1;
    while (items.count(last));
    items[last] = Item;
    return last;
}

unsigned CommandIdOf(const TMenuItem* Item) {
    for (const auto& [id, item] : ItemsById())
        if (item == Item)
            return id;
    return 0;
}

} // namespace

// Win32 menus use the same "&" access keys as captions.
std::string CaptionToMnemonic(const std::string& Caption) {
    return Caption;
}

// The system lowers characters of the basic plane; others stay as they are.
char32_t MenuParts::LowerCase(char32_t Character) {
    if (Character >= 0x10000 || (Character >= 0xD800 && Character <= 0xDFFF))
        return Character;
    wchar_t lower = static_cast<wchar_t>(Character);
    CharLowerBuffW(&lower, 1);
    return lower;
}

void Win32Ui::HandleMenuCommand(unsigned Id) {
    auto it = ItemsById().find(Id);
    if (it == ItemsById().end())
        return;
    TMenuItem* item = it->second;
    if (item->Count() == 0)
        item->Click();
}

// TMenuItem.

TMenuItem::TMenuItem(TComponent* AOwner) : TComponent(AOwner) {
    EnsureToolkit();
    RebuildWidget();
}

TMenuItem::~TMenuItem() {
    Clear();
    if (FParentItem)
        FParentItem->Remove(this);
    if (unsigned id = CommandIdOf(this))
        ItemsById().erase(id);
    if (FSubmenu)
        DestroyMenu(static_cast<HMENU>(FSubmenu));
    if (FImage)
        DeleteObject(static_cast<HBITMAP>(FImage));
}

// Gives the item its command id (once).
void TMenuItem::RebuildWidget() {
    if (!FIsRoot && !CommandIdOf(this))
        NewCommandId(this);
}

// Fills the item's own HMENU with its visible children again.
void TMenuItem::UpdateSubmenu() {
    if (!FIsRoot && FItems.empty()) {
        if (FSubmenu) {
            // Taken out of the parent's menu first, so that destroying it
            // destroys nothing else.
            auto* submenu = static_cast<HMENU>(FSubmenu);
            FSubmenu = nullptr;
            if (FParentItem)
                FParentItem->UpdateSubmenu();
            while (GetMenuItemCount(submenu) > 0)
                RemoveMenu(submenu, 0, MF_BYPOSITION);
            DestroyMenu(submenu);
        }
        return;
    }
    bool created = false;
    if (!FSubmenu) {
        // The root's menu is the bar, made with the menu (TMainMenu).
        FSubmenu = FIsRoot ? CreateMenu() : CreatePopupMenu();
        created = true;
    }
    auto* menu = static_cast<HMENU>(FSubmenu);
    while (GetMenuItemCount(menu) > 0)
        RemoveMenu(menu, 0, MF_BYPOSITION);
    UINT position = 0;
    for (TMenuItem* child : FItems) {
        if (!child->FVisible)
            continue;
        if (child->IsLine()) {
            AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
            ++position;
            continue;
        }
        std::wstring text = Win32::Widen(child->FCaption);
        if (child->FShortCut != scNone)
            text += L"\t" + Win32::Widen(ShortCutToText(child->FShortCut));
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_STRING | MIIM_SUBMENU | MIIM_BITMAP;
        info.fType = MFT_STRING;
        info.fState = (child->FEnabled ? MFS_ENABLED : MFS_DISABLED) | (child->FChecked ? MFS_CHECKED : 0);
        info.wID = CommandIdOf(child);
        info.hSubMenu = child->FItems.empty() ? nullptr : static_cast<HMENU>(child->FSubmenu);
        info.hbmpItem = static_cast<HBITMAP>(child->FImage);
        info.dwTypeData = text.data();
        InsertMenuItemW(menu, position++, TRUE, &info);
    }
    if (FIsRoot) {
        TMainMenu* owner = FMenu;
        if (owner && owner->OwnerForm() && owner->OwnerForm()->NativeWindow())
            DrawMenuBar(H(owner->OwnerForm()->NativeWindow()));
    } else if (created && FParentItem) {
        FParentItem->UpdateSubmenu();
    }
}

// The item changed: its parent's menu shows it again.
void TMenuItem::UpdateNative() {
    if (FParentItem)
        FParentItem->UpdateSubmenu();
}

void TMenuItem::UpdateImage() {
    if (!FIsRoot) {
        HBITMAP bitmap = nullptr;
        TMainMenu* menu = GetMenu();
        TCustomImageList* images = menu ? menu->LiveImages() : nullptr;
        int index = FImageIndex;
        if (images && !FImageName.empty() && index < 0)
            index = images->IndexOfName(FImageName);
        if (images && index >= 0 && index < images->Count() && !IsLine())
            bitmap = BitmapToHbitmap(images->GetBitmap(index, EnabledUpward()));
        if (FImage)
            DeleteObject(static_cast<HBITMAP>(FImage));
        FImage = bitmap;
    }
    for (TMenuItem* child : FItems)
        child->UpdateImage();
    if (FIsRoot || !FItems.empty())
        UpdateSubmenu();
    if (!FIsRoot)
        UpdateNative();
}

void TMenuItem::SetCaption(const std::string& Value) {
    FCaption = Value;
    UpdateNative();
}

void TMenuItem::SetEnabled(bool Value) {
    FEnabled = Value;
    UpdateImage();
}

void TMenuItem::SetChecked(bool Value) {
    FChecked = Value;
    UpdateNative();
}

// The item, just inserted, gets its image and this item's menu shows it.
void TMenuItem::AttachChildWidget(TMenuItem* Item, int Index) {
    (void)Index;
    Item->UpdateImage(); // also fills this item's menu
    UpdateSubmenu();
}

// Nothing to do before an item leaves: the menu is filled again after.
void TMenuItem::DetachChildWidget(TMenuItem* Item) {
    (void)Item;
}

// TMainMenu.

TMainMenu::TMainMenu(TComponent* AOwner) : TComponent(AOwner) {
    EnsureToolkit();
    FItems = new TMenuItem(nullptr);
    FItems->FIsRoot = true;
    FItems->FMenu = this;
    if (unsigned id = CommandIdOf(FItems))
        ItemsById().erase(id);
    FItems->UpdateSubmenu();
    FBar = FItems->FSubmenu;
}

TMainMenu::~TMainMenu() {
    if (FForm)
        FForm->SetMenu(nullptr);
    if (auto notifier = FImagesNotifier.lock())
        notifier->Remove(FImagesLink);
    delete FItems;
}

} // namespace Norvane::Platform::Ui
