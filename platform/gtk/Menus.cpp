// Menus on GTK: a GtkMenuBar with GtkMenuItems.
#include "platform/ui/Menus.h"
#include "platform/gtk/GtkInternal.h"
#include "platform/ui/Forms.h"
#include "platform/ui/ImageList.h"

#include <algorithm>

namespace Norvane::Platform::Ui {

using namespace Gtk;

namespace {

constexpr const char* MenuItemKey = "norvane-menu-item";

void OnItemActivate(GtkMenuItem*, gpointer Data) {
    Guard([&] {
        auto* item = static_cast<TMenuItem*>(Data);
        if (item->Count() == 0)
            item->Click();
    });
}

bool EnabledUpward(const TMenuItem* Item) {
    for (; Item; Item = Item->Parent())
        if (!Item->Enabled())
            return false;
    return true;
}

} // namespace

std::string CaptionToMnemonic(const std::string& Caption) {
    return MnemonicFromCaption(Caption);
}

char32_t CaptionAccessKey(const std::string& Caption) {
    for (std::size_t i = 0; i + 1 < Caption.size(); ++i) {
        if (Caption[i] != '&')
            continue;
        if (Caption[i + 1] == '&') {
            ++i;
            continue;
        }
        gunichar c = g_utf8_get_char_validated(Caption.c_str() + i + 1, -1);
        if (c == static_cast<gunichar>(-1) || c == static_cast<gunichar>(-2))
            return 0;
        return static_cast<char32_t>(g_unichar_tolower(c));
    }
    return 0;
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
    if (FSubmenu) {
        if (FWidget)
            gtk_menu_item_set_submenu(GTK_MENU_ITEM(FWidget), nullptr);
        gtk_widget_destroy(W(FSubmenu));
        g_object_unref(FSubmenu);
    }
    if (FWidget) {
        g_signal_handlers_disconnect_matched(FWidget, G_SIGNAL_MATCH_DATA, 0, 0, nullptr, nullptr, this);
        gtk_widget_destroy(W(FWidget));
        g_object_unref(FWidget);
    }
}

void TMenuItem::RebuildWidget() {
    if (FIsRoot)
        return;
    GtkWidget* old = W(FWidget);
    GtkWidget* item;
    if (IsLine()) {
        item = gtk_separator_menu_item_new();
        FImage = nullptr;
        FLabel = nullptr;
    } else {
        item = gtk_menu_item_new();
        GtkWidget* box = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 6);
        GtkWidget* image = gtk_image_new();
        GtkWidget* label = gtk_accel_label_new("");
        gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
        gtk_label_set_use_underline(GTK_LABEL(label), TRUE);
        gtk_accel_label_set_accel_widget(GTK_ACCEL_LABEL(label), item);
        gtk_box_pack_start(GTK_BOX(box), image, FALSE, FALSE, 0);
        gtk_box_pack_start(GTK_BOX(box), label, TRUE, TRUE, 0);
        gtk_container_add(GTK_CONTAINER(item), box);
        gtk_widget_show(box);
        gtk_widget_show(label);
        FImage = image;
        FLabel = label;
    }
    g_object_ref_sink(item);
    g_object_set_data(G_OBJECT(item), MenuItemKey, this);
    Connect(item, "activate", OnItemActivate, this);
    gtk_widget_show(item);
    FWidget = item;
    if (old) {
        GtkWidget* shell = gtk_widget_get_parent(old);
        int position = -1;
        if (shell) {
            GList* children = gtk_container_get_children(GTK_CONTAINER(shell));
            position = g_list_index(children, old);
            g_list_free(children);
        }
        if (FSubmenu)
            gtk_menu_item_set_submenu(GTK_MENU_ITEM(old), nullptr);
        g_signal_handlers_disconnect_matched(old, G_SIGNAL_MATCH_DATA, 0, 0, nullptr, nullptr, this);
        if (shell) {
            gtk_container_remove(GTK_CONTAINER(shell), old);
            gtk_menu_shell_insert(GTK_MENU_SHELL(shell), item, position);
        }
        gtk_widget_destroy(old);
        g_object_unref(old);
    }
    if (FSubmenu && !IsLine())
        gtk_menu_item_set_submenu(GTK_MENU_ITEM(item), W(FSubmenu));
    UpdateNative();
}

void TMenuItem::UpdateNative() {
    if (!FWidget)
        return;
    gtk_widget_set_sensitive(W(FWidget), FEnabled);
    gtk_widget_set_visible(W(FWidget), FVisible);
    if (FLabel) {
        gtk_label_set_text_with_mnemonic(GTK_LABEL(FLabel), MnemonicFromCaption(FCaption).c_str());
        if (FShortCut != scNone)
            gtk_accel_label_set_accel(
                GTK_ACCEL_LABEL(FLabel), VirtualKeyToKeyval(ShortCutKey(FShortCut)),
                static_cast<GdkModifierType>(ShiftStateToNativeState(ShortCutShift(FShortCut))));
        else
            gtk_accel_label_set_accel(GTK_ACCEL_LABEL(FLabel), 0, static_cast<GdkModifierType>(0));
    }
    UpdateImage();
}

void TMenuItem::UpdateImage() {
    if (FImage) {
        TMainMenu* menu = GetMenu();
        TCustomImageList* images = menu ? menu->LiveImages() : nullptr;
        if (images && FImageIndex >= 0 && FImageIndex < images->Count()) {
            GdkPixbuf* pixbuf = BitmapToPixbuf(images->GetBitmap(FImageIndex, EnabledUpward(this)));
            gtk_image_set_from_pixbuf(GTK_IMAGE(FImage), pixbuf);
            g_object_unref(pixbuf);
            gtk_widget_show(W(FImage));
        } else {
            gtk_image_clear(GTK_IMAGE(FImage));
            gtk_widget_hide(W(FImage));
        }
    }
    for (TMenuItem* child : FItems)
        child->UpdateImage();
}

void TMenuItem::SetCaption(const std::string& Value) {
    bool wasLine = IsLine();
    FCaption = Value;
    if (wasLine != IsLine())
        RebuildWidget();
    else
        UpdateNative();
}

void TMenuItem::SetEnabled(bool Value) {
    FEnabled = Value;
    UpdateNative();
}

void TMenuItem::SetVisible(bool Value) {
    FVisible = Value;
    UpdateNative();
}

void TMenuItem::SetChecked(bool Value) {
    FChecked = Value;
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

void TMenuItem::Insert(int Index, TMenuItem* Item) {
    if (!Item || Item == this)
        throw EUiError("Invalid menu item");
    if (Item->FParentItem)
        Item->FParentItem->Remove(Item);
    Index = std::clamp(Index, 0, Count());
    FItems.insert(FItems.begin() + Index, Item);
    Item->FParentItem = this;
    UpdateSubmenu();
    AttachChildWidget(Item, Index);
    Item->UpdateImage();
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

void TMenuItem::UpdateSubmenu() {
    if (FIsRoot || !FWidget)
        return;
    if (!FItems.empty() && !FSubmenu) {
        FSubmenu = gtk_menu_new();
        g_object_ref_sink(FSubmenu);
        if (!IsLine())
            gtk_menu_item_set_submenu(GTK_MENU_ITEM(FWidget), W(FSubmenu));
    } else if (FItems.empty() && FSubmenu) {
        if (!IsLine())
            gtk_menu_item_set_submenu(GTK_MENU_ITEM(FWidget), nullptr);
        gtk_widget_destroy(W(FSubmenu));
        g_object_unref(FSubmenu);
        FSubmenu = nullptr;
    }
}

void TMenuItem::AttachChildWidget(TMenuItem* Item, int Index) {
    GtkWidget* shell = FIsRoot ? (FMenu ? W(FMenu->Widget()) : nullptr) : W(FSubmenu);
    if (shell && Item->FWidget)
        gtk_menu_shell_insert(GTK_MENU_SHELL(shell), W(Item->FWidget), Index);
}

void TMenuItem::DetachChildWidget(TMenuItem* Item) {
    if (Item->FWidget)
        if (GtkWidget* shell = gtk_widget_get_parent(W(Item->FWidget)))
            gtk_container_remove(GTK_CONTAINER(shell), W(Item->FWidget));
}

// TMainMenu.

TMainMenu::TMainMenu(TComponent* AOwner) : TComponent(AOwner) {
    EnsureToolkit();
    FBar = gtk_menu_bar_new();
    g_object_ref_sink(FBar);
    gtk_widget_show(W(FBar));
    FItems = new TMenuItem(nullptr);
    if (FItems->FWidget) {
        gtk_widget_destroy(W(FItems->FWidget));
        g_object_unref(FItems->FWidget);
        FItems->FWidget = nullptr;
        FItems->FImage = nullptr;
        FItems->FLabel = nullptr;
    }
    FItems->FIsRoot = true;
    FItems->FMenu = this;
}

TMainMenu::~TMainMenu() {
    if (FForm)
        FForm->SetMenu(nullptr);
    if (auto notifier = FImagesNotifier.lock())
        notifier->Remove(FImagesLink);
    delete FItems;
    gtk_widget_destroy(W(FBar));
    g_object_unref(FBar);
}

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
    if (!item || !EnabledUpward(item))
        return false;
    item->Click();
    return true;
}

} // namespace Norvane::Platform::Ui
