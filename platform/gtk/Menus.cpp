// Menus on GTK: a GtkMenuBar with GtkMenuItems.
#include "platform/ui/Menus.h"
#include "platform/gtk/GtkInternal.h"
#include "platform/ui/Forms.h"
#include "platform/ui/ImageList.h"
#include "platform/ui/MenuParts.h"

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

} // namespace

std::string CaptionToMnemonic(const std::string& Caption) {
    return MnemonicFromCaption(Caption);
}

char32_t MenuParts::LowerCase(char32_t Character) {
    return static_cast<char32_t>(g_unichar_tolower(static_cast<gunichar>(Character)));
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
            GdkPixbuf* pixbuf = BitmapToPixbuf(images->GetBitmap(FImageIndex, EnabledUpward()));
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
    // The texts of one menu start in one column, as in GTK's own menus: when
    // some items have a picture, those without keep an empty place as wide.
    auto alignTexts = [](TMenuItem* Parent) {
        if (!Parent || Parent->FIsRoot)
            return;
        auto pictureWidth = [](TMenuItem* Item) {
            if (!Item->FImage || gtk_image_get_storage_type(GTK_IMAGE(Item->FImage)) != GTK_IMAGE_PIXBUF)
                return 0;
            return gdk_pixbuf_get_width(gtk_image_get_pixbuf(GTK_IMAGE(Item->FImage)));
        };
        int column = 0;
        for (TMenuItem* item : Parent->FItems)
            column = std::max(column, pictureWidth(item));
        for (TMenuItem* item : Parent->FItems) {
            if (!item->FImage)
                continue;
            const bool pictured = pictureWidth(item) > 0;
            gtk_widget_set_size_request(W(item->FImage), pictured || column == 0 ? -1 : column, -1);
            gtk_widget_set_visible(W(item->FImage), pictured || column > 0);
        }
    };
    alignTexts(this);
    alignTexts(FParentItem);
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

void TMenuItem::SetChecked(bool Value) {
    FChecked = Value;
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

// The item, just inserted at Index, goes into this item's menu shell.
void TMenuItem::AttachChildWidget(TMenuItem* Item, int Index) {
    UpdateSubmenu();
    GtkWidget* shell = FIsRoot ? (FMenu ? W(FMenu->Widget()) : nullptr) : W(FSubmenu);
    if (shell && Item->FWidget)
        gtk_menu_shell_insert(GTK_MENU_SHELL(shell), W(Item->FWidget), Index);
    Item->UpdateImage();
}

// The item, about to be removed, leaves its menu shell.
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

} // namespace Norvane::Platform::Ui
