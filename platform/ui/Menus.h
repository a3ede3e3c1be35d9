// Menus: the main menu bar of a form and its items.
#pragma once

#include "platform/ui/Keys.h"
#include "platform/ui/Types.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Norvane::Platform::Ui {

class TCustomImageList;
class TCustomForm;
class TMainMenu;

// A menu item. Caption "-" makes a separator line; "&" marks the access key
// ("&&" is a literal ampersand). Items are owned by their parent item; the
// root item belongs to the menu.
class TMenuItem : public TComponent {
public:
    explicit TMenuItem(TComponent* AOwner = nullptr);
    ~TMenuItem() override;

    std::string Caption() const { return FCaption; }
    void SetCaption(const std::string& Value);
    bool IsLine() const { return FCaption == "-"; }
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool Value);
    bool Visible() const { return FVisible; }
    void SetVisible(bool Value);
    bool Checked() const { return FChecked; }
    void SetChecked(bool Value);
    int ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int Value);
    std::string ImageName() const { return FImageName; }
    // Sets the name and, when the menu's image list knows it, the index.
    void SetImageName(const std::string& Value);
    TShortCut ShortCut() const { return FShortCut; }
    void SetShortCut(TShortCut Value);

    TNotifyEvent OnClick;
    // Raises OnClick (only for enabled items).
    virtual void Click();

    int Count() const { return static_cast<int>(FItems.size()); }
    TMenuItem* Items(int Index) const { return FItems.at(static_cast<std::size_t>(Index)); }
    TMenuItem* Parent() const { return FParentItem; }
    int MenuIndex() const;
    void Add(TMenuItem* Item);
    // Moves the item here from any parent it had; EUiError for null, this
    // item or an item above it.
    void Insert(int Index, TMenuItem* Item);
    // Removes the item from this item without freeing it.
    void Remove(TMenuItem* Item);
    // Frees the item at Index.
    void Delete(int Index);
    // Frees all child items.
    void Clear();
    // The first item of this subtree (this one first, then the children in
    // order, depth first) with the short-cut, or null.
    TMenuItem* FindItemByShortCut(TShortCut Value);

    TMainMenu* GetMenu() const;
    // Native widgets (GtkMenuItem*, GtkMenu* of the children; on Windows no
    // widget of the item and the children's HMENU).
    void* Widget() const { return FWidget; }
    void* SubmenuWidget() const { return FSubmenu; }

    // Framework use.
    void RebuildWidget();
    void UpdateImage();
    void SetMenu(TMainMenu* Menu) { FMenu = Menu; }

private:
    // Whether this item and every item above it are enabled.
    bool EnabledUpward() const;
    // Backend: shows the item's state in its native menu.
    void UpdateNative();
    // Backend: a child just inserted at Index, and one about to be removed
    // (whose parent's menu is brought up to date by UpdateSubmenu after).
    void AttachChildWidget(TMenuItem* Item, int Index);
    void DetachChildWidget(TMenuItem* Item);
    // Backend: brings the native menu of the children up to date (made or
    // dropped as needed).
    void UpdateSubmenu();

    std::string FCaption;
    bool FEnabled = true;
    bool FVisible = true;
    bool FChecked = false;
    int FImageIndex = -1;
    std::string FImageName;
    TShortCut FShortCut = scNone;
    std::vector<TMenuItem*> FItems;
    TMenuItem* FParentItem = nullptr;
    TMainMenu* FMenu = nullptr;
    void* FWidget = nullptr;  // GtkMenuItem or GtkSeparatorMenuItem
    void* FImage = nullptr;   // GtkImage inside the item
    void* FLabel = nullptr;   // GtkAccelLabel
    void* FSubmenu = nullptr; // GtkMenu
    bool FIsRoot = false;
    friend class TMainMenu;
};

// The menu bar of a form. Items() is the root whose children are the bar's
// top-level items.
class TMainMenu : public TComponent {
public:
    explicit TMainMenu(TComponent* AOwner = nullptr);
    ~TMainMenu() override;
    TMenuItem* Items() const { return FItems; }
    TCustomImageList* Images() const { return FImages; }
    void SetImages(TCustomImageList* Value);
    // Clicks the enabled item with the short-cut; true when there was one.
    bool IsShortCut(TShortCut Value);
    bool IsShortCut(const TWMKey& Message) { return IsShortCut(ShortCutFromMessage(Message)); }
    // The native menu bar (GtkMenuBar*; HMENU on Windows).
    void* Widget() const { return FBar; }
    // The form the menu bar is attached to (framework use for the setter).
    TCustomForm* OwnerForm() const { return FForm; }
    void SetOwnerForm(TCustomForm* Form) { FForm = Form; }
    // The image list when it still exists.
    TCustomImageList* LiveImages() const { return FImagesNotifier.expired() ? nullptr : FImages; }
    // Framework use.
    void ImagesChanged();

private:
    TMenuItem* FItems = nullptr;
    TCustomImageList* FImages = nullptr;
    std::weak_ptr<TChangeNotifier> FImagesNotifier;
    int FImagesLink = 0;
    void* FBar = nullptr;
    TCustomForm* FForm = nullptr;
};

// The text shown for a caption: "&" access keys in the toolkit's mnemonic form.
std::string CaptionToMnemonic(const std::string& Caption);
// The access key character of a caption (lower case), 0 when none.
char32_t CaptionAccessKey(const std::string& Caption);

} // namespace Norvane::Platform::Ui
